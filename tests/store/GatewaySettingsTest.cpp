#include "GatewaySettings.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::TempFolder;

namespace {

store::TimerSettingRow timerRow()
{
    store::TimerSettingRow row;
    row.ReceiveAllMessagesTime = u"15"_s;
    row.SendAllMessagesTime = u"20"_s;
    row.EnableReceiveTimer = true;
    row.EnableSendTimer = true;
    row.SMSDeliveryMedia = u"MODEM"_s;
    row.SIMCardDeliveryMode = u"DIRECT DELIVER"_s;
    row.SMSSMTPPort = u"25"_s;
    row.SMSSMTPEncodeType = u"0"_s;
    row.SMSSMTPAuthenticationType = u"0"_s;
    return row;
}

store::GatewaySettings delivered(const store::TimerSettingRow& row)
{
    store::GatewaySettings settings;
    store::applyDelivery(settings, row);
    return settings;
}

} // namespace

TEST(GatewaySettings, MixModePrefixesAreCleanedAndSplit)
{
    auto row = timerRow();
    row.SMSDeliveryMedia = u"MIXMODE"_s;
    row.MixModeMobileNumbers = u"  +91 98;97  "_s;
    row.MixModeDeliveryMedia = u" modem "_s;
    const auto settings = delivered(row);
    EXPECT_EQ(settings.MixModeMobileNumbers, u"9198,97"_s);
    EXPECT_EQ(settings.MixModePrefixes, (QStringList{u"9198"_s, u"97"_s}));
    EXPECT_EQ(store::storedText(settings.mixModeRoute), u"MODEM"_s);

    row.MixModeMobileNumbers = u"+98; +97"_s;
    EXPECT_EQ(delivered(row).MixModePrefixes, (QStringList{u"98"_s, u"97"_s}));
    row.MixModeMobileNumbers = u"98,,97"_s; // empty entries are kept in place
    EXPECT_EQ(delivered(row).MixModePrefixes, (QStringList{u"98"_s, QString(), u"97"_s}));
    row.MixModeMobileNumbers = u"   "_s;
    EXPECT_TRUE(delivered(row).MixModePrefixes.isEmpty());
    row.MixModeDeliveryMedia = u"PIGEON"_s;
    EXPECT_TRUE(store::storedText(delivered(row).mixModeRoute).isEmpty());
}

TEST(GatewaySettings, MixModeValuesAreReadOnlyInMixMode)
{
    auto row = timerRow();
    row.SMSDeliveryMedia = u"MODEM"_s;
    row.MixModeMobileNumbers = u"98"_s;
    row.MixModeDeliveryMedia = u"MODEM"_s;
    const auto settings = delivered(row);
    EXPECT_TRUE(settings.MixModePrefixes.isEmpty());
    EXPECT_TRUE(store::storedText(settings.mixModeRoute).isEmpty());
}

TEST(GatewaySettings, DeliveryMediaIsTrimmedUpperCasedAndChecked)
{
    auto row = timerRow();
    const std::pair<QString, QString> cases[] = {
        {u"mixmode "_s, u"MIXMODE"_s}, {u" SmtpSmsGateway"_s, u"SMTPSMSGATEWAY"_s},
        {u"modem"_s, u"MODEM"_s},      {u"MODEMS"_s, QString()},
        {u"e-mail"_s, QString()},
    };
    for (const auto& [stored, loaded] : cases) {
        row.SMSDeliveryMedia = stored;
        EXPECT_EQ(store::storedText(delivered(row).deliveryMedia), loaded) << stored.toStdString();
    }
    row.SIMCardDeliveryMode = u" store and deliver"_s;
    EXPECT_EQ(store::storedText(delivered(row).simDeliveryMode), u"STORE AND DELIVER"_s);
    row.SIMCardDeliveryMode = u"deliver later"_s;
    EXPECT_TRUE(store::storedText(delivered(row).simDeliveryMode).isEmpty());
}

// A word the program does not know is said, not guessed: the setting counts as not chosen and
// the log names the column and the word as stored.
TEST(GatewaySettings, UnknownStoredWordsAreReportedOnce)
{
    auto row = timerRow();
    row.SMSDeliveryMedia = u"MIXMODE"_s;
    row.MixModeMobileNumbers = u"98"_s;
    row.MixModeDeliveryMedia = u"Carrier pigeon"_s;
    row.SIMCardDeliveryMode = u"DIRECT\tDELIVER"_s;
    const auto settings = delivered(row);
    EXPECT_EQ(settings.mixModeRoute, store::MixModeRoute::None);
    EXPECT_EQ(settings.simDeliveryMode, store::SimDeliveryMode::None);
    ASSERT_EQ(settings.unknownWords.size(), 2);
    EXPECT_TRUE(settings.unknownWords[0].contains(u"MixModeDeliveryMedia holds 'Carrier pigeon'"_s));
    EXPECT_TRUE(settings.unknownWords[1].contains(u"SIMCardDeliveryMode"_s));

    row.MixModeDeliveryMedia = u" modem"_s;
    row.SIMCardDeliveryMode = u"Direct Deliver "_s;
    EXPECT_TRUE(delivered(row).unknownWords.isEmpty());
}

TEST(DeliveryOptions, EveryValueReadsBackFromTheWordItIsStoredAs)
{
    using namespace store;
    for (DeliveryMedia media : {DeliveryMedia::Modem, DeliveryMedia::SmtpGateway, DeliveryMedia::MixMode})
        EXPECT_EQ(parseDeliveryMedia(u" "_s + storedText(media).toLower()), media) << storedText(media).toStdString();
    for (SimDeliveryMode mode : {SimDeliveryMode::StoreAndDeliver, SimDeliveryMode::DirectDeliver})
        EXPECT_EQ(parseSimDeliveryMode(storedText(mode)), mode);
    for (MixModeRoute route : {MixModeRoute::Modem, MixModeRoute::SmtpGateway})
        EXPECT_EQ(parseMixModeRoute(storedText(route) + u"  "_s), route);
    EXPECT_EQ(parseDeliveryMedia(u"   "_s), DeliveryMedia::None);
    EXPECT_EQ(parseDeliveryMedia(u"MIX MODE"_s), std::nullopt);
    EXPECT_TRUE(storedText(DeliveryMedia::None).isEmpty());
    EXPECT_TRUE(sendsWithoutModem(DeliveryMedia::MixMode) && sendsWithoutModem(DeliveryMedia::SmtpGateway));
    EXPECT_FALSE(sendsWithoutModem(DeliveryMedia::Modem) || sendsWithoutModem(DeliveryMedia::None));
}

TEST(GatewaySettings, MaskingDomain)
{
    auto row = timerRow();
    row.SMSSMTPYourEmailAddress = u" gateway@sms.example.org "_s;
    row.IsFromNameSentByMaskingYourEmail = true;
    EXPECT_EQ(delivered(row).MaskingDomain, u"sms.example.org"_s);

    row.SMSSMTPYourEmailAddress = u"a@b@c"_s; // after the first "@"
    EXPECT_EQ(delivered(row).MaskingDomain, u"b@c"_s);

    row.SMSSMTPYourEmailAddress = u"gateway"_s;
    EXPECT_EQ(delivered(row).MaskingDomain, u"gateway"_s);

    row.IsFromNameSentByMaskingYourEmail = false;
    EXPECT_TRUE(delivered(row).MaskingDomain.isEmpty());
}

TEST(GatewaySettings, SmtpValuesTrimBlanksOnly)
{
    auto row = timerRow();
    row.SMSSMTPServer = u"  smtp.example.org \t"_s;
    row.SMSSMTPFromName = u" Office "_s;
    row.SMSSMTPPort = u" 587 "_s;
    row.SMSSMTPUserName = QString();
    const auto settings = delivered(row);
    EXPECT_EQ(settings.SMSSMTPServer, u"smtp.example.org \t"_s);
    EXPECT_EQ(settings.SMSSMTPFromName, u"Office"_s);
    EXPECT_EQ(settings.SMSSMTPPort, 587);
    EXPECT_TRUE(settings.SMSSMTPUserName.isEmpty());

    row.SMSSMTPPort = u"twenty-five"_s; // not a number: no port rather than a failed start
    EXPECT_EQ(delivered(row).SMSSMTPPort, 0);
    row.SMSSMTPPort = u"70000"_s;
    EXPECT_EQ(delivered(row).SMSSMTPPort, 0);
    row.SMSSMTPPort = u"40000"_s; // above 32767 is still a port
    EXPECT_EQ(delivered(row).SMSSMTPPort, 40000);
    row.SMSSMTPPort = u"25.5"_s; // not rounded to some other port
    EXPECT_EQ(delivered(row).SMSSMTPPort, 0);
}

TEST(GatewaySettings, PortIsAWholeNumberFrom1To65535)
{
    const std::pair<QString, std::optional<int>> cases[] = {
        {u"995"_s, 995},
        {u"995.0"_s, std::nullopt},
        {u"1,10"_s, std::nullopt},
        {u"-5"_s, std::nullopt},
        {u"0"_s, std::nullopt},
        {u"65535"_s, 65535},
        {u"65536"_s, std::nullopt},
        {u" 110 "_s, 110},
        {u"1"_s, 1},
        {u"+25"_s, std::nullopt},
        {u""_s, std::nullopt},
        {u"0110"_s, 110},
        {u"9e2"_s, std::nullopt},
        {u"\t587\n"_s, 587},
        {u"999999"_s, std::nullopt},
        {u"１１０"_s, std::nullopt},
    };
    for (const auto& [text, port] : cases)
        EXPECT_EQ(store::portNumber(text), port) << text.toStdString();
}

TEST(GatewaySettings, SendableNumbersAndMailboxKeys)
{
    const std::pair<QString, bool> numbers[] = {
        {u"+15550100"_s, true}, {u"15550101"_s, true}, {u"12ab"_s, false}, {u"+"_s, false},
        {u""_s, false},         {u"++1"_s, false},     {u"1+2"_s, false},  {u"1555\r\n"_s, false},
    };
    for (const auto& [number, sendable] : numbers)
        EXPECT_EQ(store::isSendableNumber(number), sendable) << number.toStdString();

    const QString key = store::mailboxKey(u"sms"_s, u"pop.example.org"_s);
    EXPECT_EQ(key, u"sms@pop.example.org"_s);
    EXPECT_EQ(store::mailboxKey(u" SMS "_s, u"POP.Example.org."_s), key);
    EXPECT_EQ(store::mailboxKey(u"sms"_s, u" pop.example .org"_s), key);
    EXPECT_NE(store::mailboxKey(u"sms2"_s, u"pop.example.org"_s), key);
    EXPECT_NE(store::mailboxKey(u"sms"_s, u"pop.example.net"_s), key);
}

TEST(GatewaySettings, TimerPeriodsFollowTheirSwitches)
{
    auto row = timerRow();
    store::GatewaySettings settings;
    store::applyTimerPeriods(settings, row);
    EXPECT_EQ(settings.ReceiveIntervalSeconds, 15);
    EXPECT_EQ(settings.SendIntervalSeconds, 20);

    row.EnableSendTimer = false;
    row.SendAllMessagesTime = u"30"_s;
    store::applyTimerPeriods(settings, row);
    EXPECT_EQ(settings.SendIntervalSeconds, 0);
    EXPECT_EQ(settings.ReceiveIntervalSeconds, 15);

    row.EnableReceiveTimer = true;
    row.ReceiveAllMessagesTime = u"-5"_s;
    store::applyTimerPeriods(settings, row);
    EXPECT_EQ(settings.ReceiveIntervalSeconds, 0);

    // A decimal time the settings screen accepted still gives the timer a period.
    row.ReceiveAllMessagesTime = u"12.6"_s;
    store::applyTimerPeriods(settings, row);
    EXPECT_EQ(settings.ReceiveIntervalSeconds, 13);
    row.ReceiveAllMessagesTime = u"1e9"_s;
    store::applyTimerPeriods(settings, row);
    EXPECT_EQ(settings.ReceiveIntervalSeconds, 0);
}

TEST(GatewaySettings, ModemDelayFactor)
{
    store::GatewaySettings settings;
    store::applyModemDelayFactor(settings, std::nullopt);
    EXPECT_DOUBLE_EQ(settings.ModemDelayFactor, 1.0);

    store::ModemSettingsRow row;
    const std::pair<QString, double> cases[] = {
        {u"1.5"_s, 1.5}, {u" 2 "_s, 2.0}, {QString(), 1.0}, {u""_s, 1.0}, {u"slow"_s, 1.0}, {u"0"_s, 1.0},
    };
    for (const auto& [stored, factor] : cases) {
        row.ModemDelayFactor = stored;
        store::applyModemDelayFactor(settings, row);
        EXPECT_DOUBLE_EQ(settings.ModemDelayFactor, factor) << stored.toStdString();
    }
}

TEST(GatewaySettings, MailboxAndMissedCallReply)
{
    store::GatewaySettings settings;
    store::applyMailbox(settings, std::nullopt);
    EXPECT_FALSE(settings.IsEnabled);
    EXPECT_EQ(settings.emailCheckIntervalMs(), 0);

    store::applyMailbox(
        settings, store::Pop3SettingsRow{u" pop.example.org "_s, u"995"_s, u" user "_s, u" pw "_s, u" 60 "_s, true});
    EXPECT_EQ(settings.POP3MailServer, u"pop.example.org"_s);
    EXPECT_EQ(settings.POP3UserName, u"user"_s);
    EXPECT_EQ(settings.POP3Password, u"pw"_s);
    EXPECT_TRUE(settings.IsEnabled);
    EXPECT_EQ(settings.emailCheckIntervalMs(), 60000);
    settings.EmailCheckInterval = u"86400"_s;
    EXPECT_EQ(settings.emailCheckIntervalMs(), 86400000);
    // The settings screen takes a decimal interval too; polling must not stop over it.
    settings.EmailCheckInterval = u"3.5"_s;
    EXPECT_EQ(settings.emailCheckIntervalMs(), 4000);
    settings.EmailCheckInterval = u"1e300"_s;
    EXPECT_EQ(settings.emailCheckIntervalMs(), 86400000);

    store::applyMissedCallReply(settings, std::nullopt);
    EXPECT_FALSE(settings.MissedCallReplyOn);
    store::applyMissedCallReply(settings, store::MissedCallReplyRow{u"  Sorry, I missed your call.  "_s, true});
    EXPECT_TRUE(settings.MissedCallReplyOn);
    EXPECT_EQ(settings.MissedCallReplyText, u"Sorry, I missed your call."_s);
}

TEST(GatewaySettings, SavedSettingsLoadTheSameAfterARestart)
{
    TempFolder folder;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        auto row = timerRow();
        row.SMSSMTPEncodeType = u"1"_s;
        row.SMSSMTPAuthenticationType = u"2"_s;
        row.SMSDeliveryMedia = u"mixmode "_s;
        row.MixModeMobileNumbers = u"98,97"_s;
        row.MixModeDeliveryMedia = u"SMTPSMSGATEWAY"_s;
        ASSERT_TRUE(store::SettingsTables(*db).saveTimerSetting(row));
        ASSERT_TRUE(store::SettingsTables(*db).saveMissedCallReply({u"Call you back"_s, false}));
    }
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::GatewaySettings settings;
    ASSERT_TRUE(store::loadMailbox(*db, settings));
    ASSERT_TRUE(store::loadDelivery(*db, settings));
    ASSERT_TRUE(store::loadMissedCallReply(*db, settings));
    ASSERT_TRUE(store::loadModemDelayFactor(*db, settings));
    ASSERT_TRUE(store::loadTimerPeriods(*db, settings));
    EXPECT_EQ(settings.SMSSMTPEncodeType, 1);
    EXPECT_EQ(settings.SMSSMTPAuthenticationType, 2);
    EXPECT_EQ(store::storedText(settings.deliveryMedia), u"MIXMODE"_s);
    EXPECT_EQ(store::storedText(settings.mixModeRoute), u"SMTPSMSGATEWAY"_s);
    EXPECT_FALSE(settings.MissedCallReplyOn); // saved switched off
    EXPECT_DOUBLE_EQ(settings.ModemDelayFactor, 1.0);
    EXPECT_FALSE(settings.IsEnabled);
    EXPECT_EQ(settings.SendIntervalSeconds, 20);
    EXPECT_EQ(store::SettingsTables(*db).timerSetting().value()->SMSSMTPEncodeType, u"1"_s);
}

TEST(GatewaySettings, UnencryptedLoginConsentFollowsItsRowAndResets)
{
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed);
        store::GatewaySettings settings;
        store::Pop3SettingsRow mailbox{u"pop"_s, u"110"_s, u"u"_s, u"p"_s, u"60"_s, true};
        mailbox.POP3AllowPlainLogin = allowed;
        store::applyMailbox(settings, mailbox);
        EXPECT_EQ(settings.POP3AllowPlainLogin, allowed);

        store::TimerSettingRow row = timerRow();
        row.SMSSMTPAllowPlainLogin = allowed;
        EXPECT_EQ(delivered(row).SMSSMTPAllowPlainLogin, allowed);
        settings = delivered(row);
        store::resetDelivery(settings);
        EXPECT_FALSE(settings.SMSSMTPAllowPlainLogin);
    }
}
