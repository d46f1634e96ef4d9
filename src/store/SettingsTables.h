#pragma once

#include "Database.h"

#include <optional>

namespace store {

// Raw single-row settings as stored: texts untrimmed, Null as a null QString, numbers as the
// text SQLite gives them. Cleaning and converting is GatewaySettings' job.
struct Pop3SettingsRow
{
    QString POP3MailServer;
    QString POP3Port;
    QString POP3UserName;
    QString POP3Password;
    QString EmailCheckInterval;
    bool IsEnabled = false;
    // The operator's explicit consent to log in without TLS where the server offers none.
    bool POP3AllowPlainLogin = false;
};

struct TimerSettingRow
{
    QString ReceiveAllMessagesTime;
    QString SendAllMessagesTime;
    bool EnableReceiveTimer = false;
    bool EnableSendTimer = false;
    QString SMSDeliveryMedia;
    QString MixModeMobileNumbers;
    QString MixModeDeliveryMedia;
    QString SIMCardDeliveryMode;
    QString SMSSMTPFromName;
    QString SMSSMTPYourEmailAddress;
    QString SMSSMTPServer;
    QString SMSSMTPPort;
    QString SMSSMTPEmailPostfix;
    bool IsFromNameSentByMaskingYourEmail = false;
    bool IsSMSSMTPAuthenticationRequired = false;
    QString SMSSMTPUserName;
    QString SMSSMTPPassword;
    QString SMSSMTPAuthenticationType;
    QString SMSSMTPEncodeType;
    // The operator's explicit consent to log in (AUTH, or POP3 before SMTP) without TLS.
    bool SMSSMTPAllowPlainLogin = false;
};

struct ModemSettingsRow
{
    QString CommPortNo;
    QString CommPortName;
    QString BitsPerSecond;
    QString DataBits;
    QString Parity;
    QString StopBits;
    QString FlowControl;
    QString CharacterSet;
    bool EnabledCallerId = false;
    QString ModemDelayFactor;
};

struct MissedCallReplyRow
{
    QString Message;
    bool IsActive = false;
};

// The single-row settings tables: Timer_Setting, ModemSettings, WebMailToSMS_POP3Settings,
// AutoReply_OnMissedCall. A missing row reads as std::nullopt.
class SettingsTables
{
public:
    explicit SettingsTables(const Database& db) : m_db(db) {}

    std::expected<std::optional<Pop3SettingsRow>, StoreError> pop3Settings() const;
    std::expected<std::optional<TimerSettingRow>, StoreError> timerSetting() const;
    std::expected<std::optional<ModemSettingsRow>, StoreError> modemSettings() const;
    // The first reply switched on, if any.
    std::expected<std::optional<MissedCallReplyRow>, StoreError> activeMissedCallReply() const;
    // The reply as stored, switched on or not.
    std::expected<std::optional<MissedCallReplyRow>, StoreError> missedCallReply() const;

    // Replace the single row (writes by the settings screens and tests).
    std::expected<void, StoreError> savePop3Settings(const Pop3SettingsRow& row) const;
    std::expected<void, StoreError> saveTimerSetting(const TimerSettingRow& row) const;
    std::expected<void, StoreError> saveModemSettings(const ModemSettingsRow& row) const;
    std::expected<void, StoreError> saveMissedCallReply(const MissedCallReplyRow& row) const;

private:
    const Database& m_db;
};

} // namespace store
