#include "SettingsTables.h"

using namespace Qt::StringLiterals;

namespace store {

namespace {

// A numeric setting column may hold text a person typed; it is bound as the number it reads
// as, and kept as text otherwise, so nothing the screens wrote is lost.
QVariant numberOrText(const QString& text)
{
    if (text.isNull())
        return {};
    bool ok = false;
    const qint64 whole = text.trimmed().toLongLong(&ok);
    if (ok)
        return whole;
    const double decimal = text.trimmed().toDouble(&ok);
    if (ok)
        return decimal;
    return text;
}

// Replacing a single-row table is a delete and an insert; together in one transaction.
template <typename Bind>
std::expected<void, StoreError> replaceRow(const Database& db, const QString& table, const QString& insertSql,
                                           Bind bindValues)
{
    Transaction transaction(db);
    if (!transaction.started())
        return transaction.started();
    if (auto r = db.exec(u"DELETE FROM "_s + table); !r)
        return r;
    auto st = db.prepare(insertSql);
    bindValues(st);
    if (auto r = st.run(); !r)
        return r;
    return transaction.commit();
}

} // namespace

std::expected<std::optional<Pop3SettingsRow>, StoreError> SettingsTables::pop3Settings() const
{
    auto st =
        m_db.prepare(u"SELECT POP3MailServer, POP3Port, POP3UserName, POP3Password, EmailCheckInterval, IsEnabled, "
                     u"POP3AllowPlainLogin FROM WebMailToSMS_POP3Settings LIMIT 1"_s);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    return Pop3SettingsRow{st.text(0), st.text(1), st.text(2), st.text(3), st.text(4), st.boolean(5), st.boolean(6)};
}

std::expected<std::optional<TimerSettingRow>, StoreError> SettingsTables::timerSetting() const
{
    auto st = m_db.prepare(
        u"SELECT ReceiveAllMessagesTime, SendAllMessagesTime, EnableReceiveTimer, EnableSendTimer, SMSDeliveryMedia, "
        u"MixModeMobileNumbers, MixModeDeliveryMedia, SIMCardDeliveryMode, SMSSMTPFromName, SMSSMTPYourEmailAddress, "
        u"SMSSMTPServer, SMSSMTPPort, SMSSMTPEmailPostfix, IsFromNameSentByMaskingYourEmail, "
        u"IsSMSSMTPAuthenticationRequired, SMSSMTPUserName, SMSSMTPPassword, SMSSMTPAuthenticationType, "
        u"SMSSMTPEncodeType, SMSSMTPAllowPlainLogin "
        u"FROM Timer_Setting LIMIT 1"_s);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    TimerSettingRow row;
    row.ReceiveAllMessagesTime = st.text(0);
    row.SendAllMessagesTime = st.text(1);
    row.EnableReceiveTimer = st.boolean(2);
    row.EnableSendTimer = st.boolean(3);
    row.SMSDeliveryMedia = st.text(4);
    row.MixModeMobileNumbers = st.text(5);
    row.MixModeDeliveryMedia = st.text(6);
    row.SIMCardDeliveryMode = st.text(7);
    row.SMSSMTPFromName = st.text(8);
    row.SMSSMTPYourEmailAddress = st.text(9);
    row.SMSSMTPServer = st.text(10);
    row.SMSSMTPPort = st.text(11);
    row.SMSSMTPEmailPostfix = st.text(12);
    row.IsFromNameSentByMaskingYourEmail = st.boolean(13);
    row.IsSMSSMTPAuthenticationRequired = st.boolean(14);
    row.SMSSMTPUserName = st.text(15);
    row.SMSSMTPPassword = st.text(16);
    row.SMSSMTPAuthenticationType = st.text(17);
    row.SMSSMTPEncodeType = st.text(18);
    row.SMSSMTPAllowPlainLogin = st.boolean(19);
    return row;
}

std::expected<std::optional<ModemSettingsRow>, StoreError> SettingsTables::modemSettings() const
{
    auto st = m_db.prepare(u"SELECT CommPortNo, CommPortName, BitsPerSecond, DataBits, Parity, StopBits, FlowControl, "
                           u"CharacterSet, EnabledCallerId, ModemDelayFactor FROM ModemSettings LIMIT 1"_s);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    return ModemSettingsRow{st.text(0), st.text(1), st.text(2), st.text(3),    st.text(4),
                            st.text(5), st.text(6), st.text(7), st.boolean(8), st.text(9)};
}

namespace {

std::expected<std::optional<MissedCallReplyRow>, StoreError> firstMissedCallReply(const Database& db,
                                                                                  const QString& where)
{
    auto st = db.prepare(u"SELECT Message, IsActive FROM AutoReply_OnMissedCall "_s + where + u" LIMIT 1"_s);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    return MissedCallReplyRow{st.text(0), st.boolean(1)};
}

} // namespace

std::expected<std::optional<MissedCallReplyRow>, StoreError> SettingsTables::activeMissedCallReply() const
{
    return firstMissedCallReply(m_db, u"WHERE IsActive<>0"_s);
}

std::expected<std::optional<MissedCallReplyRow>, StoreError> SettingsTables::missedCallReply() const
{
    return firstMissedCallReply(m_db, QString());
}

std::expected<void, StoreError> SettingsTables::savePop3Settings(const Pop3SettingsRow& row) const
{
    return replaceRow(m_db, u"WebMailToSMS_POP3Settings"_s,
                      u"INSERT INTO WebMailToSMS_POP3Settings (POP3MailServer, POP3Port, POP3UserName, POP3Password, "
                      u"EmailCheckInterval, IsEnabled, POP3AllowPlainLogin) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"_s,
                      [&](Statement& st) {
                          st.bind(1, row.POP3MailServer);
                          st.bind(2, numberOrText(row.POP3Port));
                          st.bind(3, row.POP3UserName);
                          st.bind(4, row.POP3Password);
                          st.bind(5, numberOrText(row.EmailCheckInterval));
                          st.bind(6, row.IsEnabled);
                          st.bind(7, row.POP3AllowPlainLogin);
                      });
}

std::expected<void, StoreError> SettingsTables::saveTimerSetting(const TimerSettingRow& row) const
{
    return replaceRow(
        m_db, u"Timer_Setting"_s,
        u"INSERT INTO Timer_Setting (ReceiveAllMessagesTime, SendAllMessagesTime, EnableReceiveTimer, EnableSendTimer, "
        u"SMSDeliveryMedia, MixModeMobileNumbers, MixModeDeliveryMedia, SIMCardDeliveryMode, SMSSMTPFromName, "
        u"SMSSMTPYourEmailAddress, SMSSMTPServer, SMSSMTPPort, SMSSMTPEmailPostfix, IsFromNameSentByMaskingYourEmail, "
        u"IsSMSSMTPAuthenticationRequired, SMSSMTPUserName, SMSSMTPPassword, SMSSMTPAuthenticationType, "
        u"SMSSMTPEncodeType, SMSSMTPAllowPlainLogin) "
        u"VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)"_s,
        [&](Statement& st) {
            st.bind(1, numberOrText(row.ReceiveAllMessagesTime));
            st.bind(2, numberOrText(row.SendAllMessagesTime));
            st.bind(3, row.EnableReceiveTimer);
            st.bind(4, row.EnableSendTimer);
            st.bind(5, row.SMSDeliveryMedia);
            st.bind(6, row.MixModeMobileNumbers);
            st.bind(7, row.MixModeDeliveryMedia);
            st.bind(8, row.SIMCardDeliveryMode);
            st.bind(9, row.SMSSMTPFromName);
            st.bind(10, row.SMSSMTPYourEmailAddress);
            st.bind(11, row.SMSSMTPServer);
            st.bind(12, numberOrText(row.SMSSMTPPort));
            st.bind(13, row.SMSSMTPEmailPostfix);
            st.bind(14, row.IsFromNameSentByMaskingYourEmail);
            st.bind(15, row.IsSMSSMTPAuthenticationRequired);
            st.bind(16, row.SMSSMTPUserName);
            st.bind(17, row.SMSSMTPPassword);
            st.bind(18, numberOrText(row.SMSSMTPAuthenticationType));
            st.bind(19, numberOrText(row.SMSSMTPEncodeType));
            st.bind(20, row.SMSSMTPAllowPlainLogin);
        });
}

std::expected<void, StoreError> SettingsTables::saveModemSettings(const ModemSettingsRow& row) const
{
    return replaceRow(
        m_db, u"ModemSettings"_s,
        u"INSERT INTO ModemSettings (CommPortNo, CommPortName, BitsPerSecond, DataBits, Parity, StopBits, "
        u"FlowControl, CharacterSet, EnabledCallerId, ModemDelayFactor) "
        u"VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"_s,
        [&](Statement& st) {
            st.bind(1, numberOrText(row.CommPortNo));
            st.bind(2, row.CommPortName);
            st.bind(3, row.BitsPerSecond);
            st.bind(4, row.DataBits);
            st.bind(5, row.Parity);
            st.bind(6, row.StopBits);
            st.bind(7, row.FlowControl);
            st.bind(8, row.CharacterSet);
            st.bind(9, row.EnabledCallerId);
            st.bind(10, numberOrText(row.ModemDelayFactor));
        });
}

std::expected<void, StoreError> SettingsTables::saveMissedCallReply(const MissedCallReplyRow& row) const
{
    return replaceRow(m_db, u"AutoReply_OnMissedCall"_s,
                      u"INSERT INTO AutoReply_OnMissedCall (Message, IsActive) VALUES (?1, ?2)"_s, [&](Statement& st) {
                          st.bind(1, row.Message);
                          st.bind(2, row.IsActive);
                      });
}

} // namespace store
