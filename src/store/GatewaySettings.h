#pragma once

#include "DeliveryOptions.h"
#include "SettingsTables.h"
#include "TextRules.h"

#include <QStringList>

namespace store {

// The settings the engine holds for a run, named after their store columns. Loaded once at
// start-up; later changed only when a settings screen saves.
struct GatewaySettings
{
    // Mailbox (WebMailToSMS_POP3Settings)
    QString POP3MailServer;
    QString POP3Port;
    QString POP3UserName;
    QString POP3Password;
    QString EmailCheckInterval;
    bool IsEnabled = false;
    bool POP3AllowPlainLogin = false;

    // Delivery (Timer_Setting)
    DeliveryMedia deliveryMedia = DeliveryMedia::None;
    QString MixModeMobileNumbers;
    QStringList MixModePrefixes;
    MixModeRoute mixModeRoute = MixModeRoute::None;
    bool IsSMSSMTPAuthenticationRequired = false;
    QString SMSSMTPFromName;
    QString SMSSMTPYourEmailAddress;
    QString SMSSMTPServer;
    int SMSSMTPPort = 0; // 0 when the stored port is no port number
    QString SMSSMTPUserName;
    QString SMSSMTPPassword;
    QString SMSSMTPEmailPostfix;
    QString MaskingDomain;
    qint16 SMSSMTPEncodeType = 0;
    qint16 SMSSMTPAuthenticationType = 0;
    bool SMSSMTPAllowPlainLogin = false;
    SimDeliveryMode simDeliveryMode = SimDeliveryMode::None;

    // Missed-call reply (AutoReply_OnMissedCall)
    bool MissedCallReplyOn = false;
    QString MissedCallReplyText;

    // Modem (ModemSettings)
    double ModemDelayFactor = 1.0;

    // Timers (Timer_Setting)
    int ReceiveIntervalSeconds = 0;
    int SendIntervalSeconds = 0;

    // Stored words the last loading did not know, one line each for the log. The store keeps
    // them as they are; the setting counts as not chosen until the operator saves it again.
    QStringList unknownWords;

    // The mailbox timer's period; 0 when polling is off or the interval is no number.
    int emailCheckIntervalMs() const;
};

// The key under which the mailbox poll remembers handled messages: user name and host without
// white space, case or a trailing dot, so a retyped host or another port of the same server
// still finds them.
QString mailboxKey(const QString& userName, const QString& host);

// Each step applies one settings group, exactly as start-up loads it; a missing row leaves
// that group's values at their starting values.
void applyMailbox(GatewaySettings& settings, const std::optional<Pop3SettingsRow>& row);
void applyDelivery(GatewaySettings& settings, const std::optional<TimerSettingRow>& row);
// The delivery values back to their starting values, before a saved row is applied again.
void resetDelivery(GatewaySettings& settings);
void applyMissedCallReply(GatewaySettings& settings, const std::optional<MissedCallReplyRow>& row);
void applyModemDelayFactor(GatewaySettings& settings, const std::optional<ModemSettingsRow>& row);
void applyTimerPeriods(GatewaySettings& settings, const std::optional<TimerSettingRow>& row);

// The masking domain: what follows the first "@", or the whole address without one.
QString maskingDomainOf(const QString& address);
// The mixed-mode prefix field as stored: "+" and blanks removed, ";" made ",".
QString cleanMixModeNumbers(const QString& numbers);

// The same steps reading the store.
std::expected<void, StoreError> loadMailbox(const Database& db, GatewaySettings& settings);
std::expected<void, StoreError> loadDelivery(const Database& db, GatewaySettings& settings);
std::expected<void, StoreError> loadMissedCallReply(const Database& db, GatewaySettings& settings);
std::expected<void, StoreError> loadModemDelayFactor(const Database& db, GatewaySettings& settings);
std::expected<void, StoreError> loadTimerPeriods(const Database& db, GatewaySettings& settings);

} // namespace store
