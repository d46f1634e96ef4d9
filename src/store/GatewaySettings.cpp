#include "GatewaySettings.h"

#include <QRegularExpression>

#include <cmath>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// A 16-bit setting that is not a number reads as 0 instead of stopping the start-up. A decimal
// (a time typed as "12.5") is rounded to the whole number rather than lost.
qint16 toInt16(const QString& text)
{
    bool ok = false;
    const double value = trimBlanks(text).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    const long whole = std::lround(value);
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        return 0;
    return qint16(whole);
}

// A stored word read through its table; one the table does not know is reported and leaves the
// setting as not chosen.
template <typename Value>
void readWord(Value& setting, std::optional<Value> (*parse)(const QString&), const QString& column,
              const QString& stored, QStringList& unknownWords)
{
    if (const std::optional<Value> value = parse(stored)) {
        setting = *value;
        return;
    }
    setting = Value::None;
    unknownWords << u"**WARNING** The stored setting %1 holds '%2', which this version does not know; it counts as "
                    u"not chosen until the settings are saved again."_s.arg(column, stored);
}

// Assigns a trimmed text setting only when the column holds something, as the loading does.
void setIfNotEmpty(QString& setting, const QString& raw)
{
    if (!raw.isEmpty())
        setting = trimBlanks(raw);
}

} // namespace

QString mailboxKey(const QString& userName, const QString& host)
{
    const auto compact = [](const QString& text) {
        QString kept;
        for (const QChar c : text) {
            if (!c.isSpace())
                kept += c;
        }
        return kept.toLower();
    };
    QString server = compact(host);
    // "mail.example.org." is the same host as "mail.example.org".
    while (server.endsWith(u'.'))
        server.chop(1);
    return compact(userName) + u"@"_s + server;
}

int GatewaySettings::emailCheckIntervalMs() const
{
    bool ok = false;
    const double value = trimBlanks(EmailCheckInterval).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    const qint64 seconds = std::llround(std::min(value, 1e12));
    if (seconds <= 0)
        return 0;
    // 86400 s is the longest allowed interval, well within a QTimer's int milliseconds.
    return int(std::min<qint64>(seconds, 86400) * 1000);
}

QString maskingDomainOf(const QString& address)
{
    const qsizetype at = address.indexOf(u'@');
    return at < 0 ? address : address.mid(at + 1);
}

QString cleanMixModeNumbers(const QString& numbers)
{
    QString cleaned = trimBlanks(numbers);
    cleaned.remove(u'+');
    cleaned.remove(u' ');
    cleaned.replace(u';', u',');
    return cleaned;
}

void applyMailbox(GatewaySettings& s, const std::optional<Pop3SettingsRow>& row)
{
    if (!row)
        return;
    s.POP3MailServer = trimBlanks(row->POP3MailServer);
    s.POP3Port = trimBlanks(row->POP3Port);
    s.POP3UserName = trimBlanks(row->POP3UserName);
    s.POP3Password = trimBlanks(row->POP3Password);
    s.EmailCheckInterval = trimBlanks(row->EmailCheckInterval);
    s.IsEnabled = row->IsEnabled;
    s.POP3AllowPlainLogin = row->POP3AllowPlainLogin;
}

void applyDelivery(GatewaySettings& s, const std::optional<TimerSettingRow>& row)
{
    if (!row)
        return;
    if (!row->SMSDeliveryMedia.isEmpty())
        readWord(s.deliveryMedia, &parseDeliveryMedia, u"SMSDeliveryMedia"_s, row->SMSDeliveryMedia, s.unknownWords);
    if (s.deliveryMedia == DeliveryMedia::MixMode) {
        s.MixModeMobileNumbers = cleanMixModeNumbers(row->MixModeMobileNumbers);
        // Empty entries are kept: the prefix list mirrors the field the operator typed.
        s.MixModePrefixes = s.MixModeMobileNumbers.isEmpty() ? QStringList{} : s.MixModeMobileNumbers.split(u',');
        readWord(s.mixModeRoute, &parseMixModeRoute, u"MixModeDeliveryMedia"_s, row->MixModeDeliveryMedia,
                 s.unknownWords);
    }
    s.IsSMSSMTPAuthenticationRequired = row->IsSMSSMTPAuthenticationRequired;
    setIfNotEmpty(s.SMSSMTPFromName, row->SMSSMTPFromName);
    setIfNotEmpty(s.SMSSMTPYourEmailAddress, row->SMSSMTPYourEmailAddress);
    setIfNotEmpty(s.SMSSMTPServer, row->SMSSMTPServer);
    if (!row->SMSSMTPPort.isEmpty())
        s.SMSSMTPPort = portNumber(row->SMSSMTPPort).value_or(0);
    setIfNotEmpty(s.SMSSMTPUserName, row->SMSSMTPUserName);
    setIfNotEmpty(s.SMSSMTPPassword, row->SMSSMTPPassword);
    setIfNotEmpty(s.SMSSMTPEmailPostfix, row->SMSSMTPEmailPostfix);
    s.MaskingDomain = row->IsFromNameSentByMaskingYourEmail ? maskingDomainOf(s.SMSSMTPYourEmailAddress) : QString();
    s.SMSSMTPEncodeType = toInt16(row->SMSSMTPEncodeType);
    s.SMSSMTPAuthenticationType = toInt16(row->SMSSMTPAuthenticationType);
    s.SMSSMTPAllowPlainLogin = row->SMSSMTPAllowPlainLogin;
    if (!row->SIMCardDeliveryMode.isEmpty())
        readWord(s.simDeliveryMode, &parseSimDeliveryMode, u"SIMCardDeliveryMode"_s, row->SIMCardDeliveryMode,
                 s.unknownWords);
}

void resetDelivery(GatewaySettings& s)
{
    const GatewaySettings fresh;
    s.deliveryMedia = fresh.deliveryMedia;
    s.MixModeMobileNumbers = fresh.MixModeMobileNumbers;
    s.MixModePrefixes = fresh.MixModePrefixes;
    s.mixModeRoute = fresh.mixModeRoute;
    s.IsSMSSMTPAuthenticationRequired = fresh.IsSMSSMTPAuthenticationRequired;
    s.SMSSMTPFromName = fresh.SMSSMTPFromName;
    s.SMSSMTPYourEmailAddress = fresh.SMSSMTPYourEmailAddress;
    s.SMSSMTPServer = fresh.SMSSMTPServer;
    s.SMSSMTPPort = fresh.SMSSMTPPort;
    s.SMSSMTPUserName = fresh.SMSSMTPUserName;
    s.SMSSMTPPassword = fresh.SMSSMTPPassword;
    s.SMSSMTPEmailPostfix = fresh.SMSSMTPEmailPostfix;
    s.MaskingDomain = fresh.MaskingDomain;
    s.SMSSMTPEncodeType = fresh.SMSSMTPEncodeType;
    s.SMSSMTPAuthenticationType = fresh.SMSSMTPAuthenticationType;
    s.SMSSMTPAllowPlainLogin = fresh.SMSSMTPAllowPlainLogin;
    s.simDeliveryMode = fresh.simDeliveryMode;
}

void applyMissedCallReply(GatewaySettings& s, const std::optional<MissedCallReplyRow>& row)
{
    s.MissedCallReplyOn = row.has_value();
    s.MissedCallReplyText = row ? trimBlanks(row->Message) : QString();
}

void applyModemDelayFactor(GatewaySettings& s, const std::optional<ModemSettingsRow>& row)
{
    s.ModemDelayFactor = 1.0;
    if (!row)
        return;
    bool ok = false;
    const double factor = trimBlanks(row->ModemDelayFactor).toDouble(&ok);
    // A zero or negative factor would turn every modem wait into no wait at all.
    if (ok && factor > 0)
        s.ModemDelayFactor = factor;
}

void applyTimerPeriods(GatewaySettings& s, const std::optional<TimerSettingRow>& row)
{
    if (!row)
        return;
    s.ReceiveIntervalSeconds = row->EnableReceiveTimer ? std::max<int>(0, toInt16(row->ReceiveAllMessagesTime)) : 0;
    s.SendIntervalSeconds = row->EnableSendTimer ? std::max<int>(0, toInt16(row->SendAllMessagesTime)) : 0;
}

namespace {

template <typename Row, typename Apply>
std::expected<void, StoreError> loadWith(const std::expected<std::optional<Row>, StoreError>& row, GatewaySettings& s,
                                         Apply apply)
{
    if (!row)
        return std::unexpected(row.error());
    apply(s, *row);
    return {};
}

} // namespace

std::expected<void, StoreError> loadMailbox(const Database& db, GatewaySettings& s)
{
    return loadWith(SettingsTables(db).pop3Settings(), s, applyMailbox);
}

std::expected<void, StoreError> loadDelivery(const Database& db, GatewaySettings& s)
{
    return loadWith(SettingsTables(db).timerSetting(), s, applyDelivery);
}

std::expected<void, StoreError> loadMissedCallReply(const Database& db, GatewaySettings& s)
{
    return loadWith(SettingsTables(db).activeMissedCallReply(), s, applyMissedCallReply);
}

std::expected<void, StoreError> loadModemDelayFactor(const Database& db, GatewaySettings& s)
{
    return loadWith(SettingsTables(db).modemSettings(), s, applyModemDelayFactor);
}

std::expected<void, StoreError> loadTimerPeriods(const Database& db, GatewaySettings& s)
{
    return loadWith(SettingsTables(db).timerSetting(), s, applyTimerPeriods);
}

} // namespace store
