#include "Gateway.h"
#include "ModemSimulator.h"
#include "OutboxTable.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

struct GatewayModemTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    modemsim::ModemSimulator sim;
    std::unique_ptr<engine::Gateway> gateway;

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        ASSERT_TRUE(store::SettingsTables(*db).saveModemSettings(modemRow(sim.portName())));
    }

    static store::ModemSettingsRow modemRow(const QString& port)
    {
        store::ModemSettingsRow row;
        row.CommPortNo = u"1"_s;
        row.CommPortName = port;
        row.BitsPerSecond = u"115200"_s;
        row.Parity = u"n"_s;
        row.DataBits = u"8"_s;
        row.StopBits = u"1"_s;
        row.FlowControl = u"0"_s;
        row.CharacterSet = u"GSM"_s;
        row.EnabledCallerId = true;
        row.ModemDelayFactor = u"1"_s;
        return row;
    }

    void withStore(const std::function<void(const store::Database&)>& change)
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        change(*db);
    }

    void startGateway()
    {
        // The shipped sounds are found; nothing is played aloud in a test.
        gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock,
                                                    QStringLiteral(TARVOGATE_SOURCE_DIR) + u"/resources"_s);
        gateway->sounds().setMuted(true);
        gateway->setActivityLogOn(true);
        gateway->startUp();
    }

    QString log() const { return gateway->activityLog().text(); }
    qint64 count(const QString& sql)
    {
        qint64 n = -1;
        withStore([&](const store::Database& db) { n = db.prepare(sql).scalar().value_or(-1); });
        return n;
    }
};

} // namespace

TEST_F(GatewayModemTest, StartUpConnectsAndInitialises)
{
    startGateway();
    EXPECT_TRUE(gateway->link().isConnected());
    EXPECT_TRUE(gateway->link().isInitialised());
    EXPECT_TRUE(log().contains(u"] : Connecting to GSM Modem.\r\n"_s) ||
                log().contains(u"] : Connecting to GSM Modem."_s));
    EXPECT_TRUE(log().contains(u"] : Connection to GSM Modem successful."_s));
    EXPECT_TRUE(log().contains(u"] : Response for AT+CMGF=1 is 'OK'"_s));
    EXPECT_EQ(sim.receivedCommands(), (QStringList{u"ATE0"_s, u"AT+CSCS=\"GSM\""_s, u"AT+CLIP=1"_s, u"AT+CMGF=1"_s}));
    // The default settings: receive and send every 10 s.
    EXPECT_TRUE(gateway->Timer1().isActive());
    EXPECT_EQ(gateway->Timer1().interval(), 10000);
    EXPECT_TRUE(gateway->Timer2().isActive());
}

TEST_F(GatewayModemTest, DisconnectClosesAndStopsTheTimers)
{
    startGateway();
    QSignalSpy state(gateway.get(), &engine::Gateway::modemStateChanged);
    gateway->DisconnectModem();
    EXPECT_FALSE(gateway->link().isOpen());
    EXPECT_FALSE(gateway->Timer1().isActive());
    EXPECT_FALSE(gateway->Timer2().isActive());
    EXPECT_TRUE(log().contains(u"] : Disconnecting GSM Modem.\r\n"_s));
    EXPECT_TRUE(log().startsWith(u"["_s));
    EXPECT_TRUE(log().section(u"\r\n"_s, 0, 0).endsWith(u"GSM Modem disconnected."_s));
    ASSERT_EQ(state.size(), 1);
    EXPECT_FALSE(state.at(0).at(0).toBool());

    gateway->toggleModemConnection();
    EXPECT_TRUE(gateway->link().isInitialised());
}

TEST_F(GatewayModemTest, MissingDeviceAsksAndReportsTheFailure)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(modemRow(u"/dev/ttyTARVOGATE-missing"_s)));
    });
    gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock);
    QSignalSpy asked(gateway.get(), &engine::Gateway::noModemFound);
    gateway->setActivityLogOn(true);
    gateway->startUp();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.at(0).at(0).toString().startsWith(u"No modem found on COM Port /dev/ttyTARVOGATE-missing\r\n"_s));
    EXPECT_TRUE(log().section(u"\r\n"_s, 0, 0).endsWith(u"Connection to GSM modem failed."_s));
    EXPECT_FALSE(gateway->Timer2().isActive());
}

TEST_F(GatewayModemTest, MixedModeWithoutModemStillSends)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(modemRow(u"/dev/ttyTARVOGATE-missing"_s)));
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia='MIXMODE'"_s));
    });
    startGateway();
    EXPECT_TRUE(gateway->Timer2().isActive());
    EXPECT_EQ(gateway->Timer2().interval(), 10000);
    EXPECT_FALSE(gateway->Timer1().isActive());
    EXPECT_FALSE(log().contains(u"Connection to GSM modem failed."_s));
}

TEST_F(GatewayModemTest, SmtpOnlyDeliveryDoesNotTouchTheModem)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia='SMTPSMSGATEWAY'"_s));
    });
    startGateway();
    EXPECT_FALSE(gateway->link().isOpen());
    EXPECT_TRUE(sim.receivedCommands().isEmpty());
    EXPECT_FALSE(log().contains(u"Connecting to GSM Modem."_s));
}

TEST_F(GatewayModemTest, RingIsLoggedRecordedOnceAndIdentified)
{
    startGateway();
    QSignalSpy identified(gateway.get(), &engine::Gateway::callerIdentified);
    sim.ring(u"+919812345678"_s);
    ASSERT_TRUE(
        waitUntil([&] { return log().contains(u"ALERT : Incoming call detected from the number '+919812345678'"_s); }));
    EXPECT_TRUE(log().contains(u"] : Incoming call detected.\r\n"_s));
    EXPECT_EQ(
        count(u"SELECT COUNT(*) FROM MissedCallStatistics WHERE callerNumber='+919812345678' AND IsMissCall=-1"_s), 1);
    EXPECT_EQ(gateway->calls().CountryCode, u"91"_s);
    EXPECT_EQ(gateway->calls().MobileNumber, u"9812345678"_s);
    EXPECT_TRUE(gateway->calls().IsLastCallerNumberMobile);
    EXPECT_EQ(gateway->calls().LastCallStatus, u"RINGING"_s);
    EXPECT_EQ(identified.size(), 1);
    EXPECT_EQ(gateway->sounds().playCount(), 1);

    // The same call rings again: logged again, recorded no more.
    sim.ring(u"+919812345678"_s);
    ASSERT_TRUE(waitUntil([&] { return identified.size() == 2; }));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 1);
}

TEST_F(GatewayModemTest, CallHoldsTheTimersAndTheMissedCallGetsOneReply)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).saveMissedCallReply({u"Sorry, I'm away. I'll call back."_s, true}));
    });
    startGateway();
    QSignalSpy hungUp(gateway.get(), &engine::Gateway::callerHungUp);

    sim.ring(u"+919812345678"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->calls().LastCallStatus == u"RINGING"_s; }));
    gateway->refreshTick();
    EXPECT_TRUE(gateway->callInProgress());
    EXPECT_FALSE(gateway->Timer1().isActive());
    EXPECT_FALSE(gateway->Timer2().isActive());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);

    sim.hangUp();
    ASSERT_TRUE(waitUntil([&] { return hungUp.size() == 1; }));
    EXPECT_TRUE(gateway->Timer1().isActive());
    gateway->refreshTick();
    EXPECT_FALSE(gateway->callInProgress());
    EXPECT_TRUE(gateway->Timer2().isActive());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+919812345678' AND "
                    u"Message='Sorry, I''m away. I''ll call back.' AND DeliveryDatetime IS NULL"_s),
              1);
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 1);

    // A second call from the same number, ended before the next: a second reply.
    sim.ring(u"+919812345678"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->calls().LastCallStatus == u"RINGING"_s; }));
    sim.hangUp();
    ASSERT_TRUE(waitUntil([&] { return hungUp.size() == 2; }));
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 2);
}

TEST_F(GatewayModemTest, NoReplyForLandlinesOrWhenSwitchedOff)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).saveMissedCallReply({u"Call you back"_s, true}));
    });
    startGateway();
    QSignalSpy hungUp(gateway.get(), &engine::Gateway::callerHungUp);
    sim.ring(u"+441234567890"_s); // national number starts with 1: not a mobile
    ASSERT_TRUE(waitUntil([&] { return gateway->calls().LastCallStatus == u"RINGING"_s; }));
    sim.hangUp();
    ASSERT_TRUE(waitUntil([&] { return hungUp.size() == 1; }));
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 1);
}

TEST_F(GatewayModemTest, EditedReplyTextAppliesAtOnce)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).saveMissedCallReply({u"old text"_s, true}));
    });
    startGateway();
    gateway->setMissedCallReplyText(u"  new text  "_s);
    EXPECT_EQ(gateway->settings().MissedCallReplyText, u"new text"_s);
}

TEST_F(GatewayModemTest, WithheldNumberIsLoggedButNotRecorded)
{
    startGateway();
    sim.sendUnsolicited(u"\r\nRING\r\n"_s);
    ASSERT_TRUE(waitUntil([&] { return log().contains(u"Incoming call detected."_s); }));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 0);
}

TEST_F(GatewayModemTest, SavedTimerSettingsTakeEffectWithoutARestart)
{
    startGateway();
    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SendAllMessagesTime=7, EnableReceiveTimer=0"_s));
    });
    gateway->applyTimerSettings();
    EXPECT_TRUE(gateway->Timer2().isActive());
    EXPECT_EQ(gateway->Timer2().interval(), 7000);
    EXPECT_EQ(gateway->settings().SendIntervalSeconds, 7);
    EXPECT_FALSE(gateway->Timer1().isActive());
    EXPECT_EQ(gateway->settings().ReceiveIntervalSeconds, 0);

    // The next send tick keeps the new period.
    gateway->onSendTick();
    EXPECT_EQ(gateway->Timer2().interval(), 7000);

    // Without a modem, only e-mail delivery starts the send timer.
    gateway->DisconnectModem();
    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SendAllMessagesTime=5, EnableReceiveTimer=-1"_s));
    });
    gateway->applyTimerSettings();
    EXPECT_FALSE(gateway->Timer1().isActive());
    EXPECT_FALSE(gateway->Timer2().isActive());
    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia='SMTPSMSGATEWAY'"_s));
    });
    gateway->applyDeliverySettings();
    gateway->applyTimerSettings();
    EXPECT_TRUE(gateway->Timer2().isActive());
    EXPECT_EQ(gateway->Timer2().interval(), 5000);
    EXPECT_FALSE(gateway->Timer1().isActive());
}

TEST_F(GatewayModemTest, SavedDeliveryAndMailboxSettingsReplaceTheOldOnes)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSSMTPFromName='Office', SMSSMTPServer='smtp.example.org', "
                            u"SMSSMTPYourEmailAddress='gw@example.org', IsFromNameSentByMaskingYourEmail=-1"_s));
    });
    startGateway();
    EXPECT_EQ(gateway->settings().MaskingDomain, u"example.org"_s);

    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSSMTPFromName='', IsFromNameSentByMaskingYourEmail=0, "
                            u"SMSDeliveryMedia='MIXMODE', MixModeMobileNumbers='98,97', "
                            u"MixModeDeliveryMedia='SMTPSMSGATEWAY'"_s));
        store::Pop3SettingsRow mailbox{u"pop.example.org"_s, u"110"_s, u"sms"_s, u"secret"_s, u"30"_s, true};
        ASSERT_TRUE(store::SettingsTables(db).savePop3Settings(mailbox));
    });
    gateway->applyDeliverySettings();
    gateway->applyMailboxSettings();
    // An emptied field is empty in memory too, as after a restart.
    EXPECT_TRUE(gateway->settings().SMSSMTPFromName.isEmpty());
    EXPECT_TRUE(gateway->settings().MaskingDomain.isEmpty());
    EXPECT_EQ(gateway->settings().SMSSMTPServer, u"smtp.example.org"_s);
    EXPECT_EQ(gateway->settings().MixModePrefixes, (QStringList{u"98"_s, u"97"_s}));
    EXPECT_EQ(store::storedText(gateway->settings().mixModeRoute), u"SMTPSMSGATEWAY"_s);
    EXPECT_EQ(gateway->settings().POP3MailServer, u"pop.example.org"_s);
    EXPECT_TRUE(gateway->Timer_WebMailToSMS().isActive());
    EXPECT_EQ(gateway->Timer_WebMailToSMS().interval(), 30000);

    withStore([](const store::Database& db) {
        ASSERT_TRUE(db.exec(u"UPDATE WebMailToSMS_POP3Settings SET IsEnabled=0"_s));
        ASSERT_TRUE(db.exec(u"UPDATE ModemSettings SET ModemDelayFactor=2.25"_s));
    });
    gateway->applyMailboxSettings();
    gateway->applyModemSettings();
    EXPECT_FALSE(gateway->Timer_WebMailToSMS().isActive());
    EXPECT_DOUBLE_EQ(gateway->settings().ModemDelayFactor, 2.25);
}

TEST_F(GatewayModemTest, DiscoveryRunsOnlyWithTheModemDisconnected)
{
    startGateway();
    QSignalSpy notices(gateway.get(), &engine::Gateway::notice);
    QSignalSpy finished(gateway.get(), &engine::Gateway::discoveryFinished);
    gateway->discoverModems({sim.portName()});
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished.at(0).at(0).value<QList<modem::FoundModem>>().isEmpty());
    EXPECT_EQ(notices.size(), 1);
    EXPECT_TRUE(gateway->link().isOpen());

    gateway->DisconnectModem();
    QSignalSpy progress(gateway.get(), &engine::Gateway::discoveryProgress);
    gateway->startDiscovery({u"/dev/tarvogate-no-such-device"_s, sim.portName()});
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }));
    const auto found = finished.at(1).at(0).value<QList<modem::FoundModem>>();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].port, sim.portName());
    EXPECT_EQ(finished.at(1).at(1).toInt(), 2);
    EXPECT_FALSE(finished.at(1).at(2).toBool());
    EXPECT_EQ(progress.size(), 3);

    // A cancel that arrives before the search starts still ends it.
    gateway->startDiscovery({sim.portName()});
    gateway->requestDiscoveryCancel();
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 3; }));
    EXPECT_TRUE(finished.at(2).at(2).toBool());
    EXPECT_FALSE(gateway->link().isOpen());
}

TEST_F(GatewayModemTest, EachCallerIsJudgedMobileOrNotAfresh)
{
    withStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).saveMissedCallReply({QString(), true}));
    });
    startGateway();
    QSignalSpy hungUp(gateway.get(), &engine::Gateway::callerHungUp);
    const auto call = [&](const QString& number, int hangUps) {
        sim.ring(number);
        ASSERT_TRUE(waitUntil([&] { return gateway->calls().LastCallerNumber == number; }));
        sim.hangUp();
        ASSERT_TRUE(waitUntil([&] { return hungUp.size() == hangUps; }));
        gateway->refreshTick();
    };
    // A mobile caller while the reply text is empty: no reply, and nothing may carry over.
    call(u"+919812345678"_s, 1);
    gateway->setMissedCallReplyText(u"Call you back"_s);
    call(u"+914412345678"_s, 2); // a landline
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);
    EXPECT_FALSE(gateway->calls().IsLastCallerNumberMobile);
}

TEST_F(GatewayModemTest, CallListNamesTheCallerWhenTheRingDidNot)
{
    withStore([this](const store::Database& db) {
        auto row = modemRow(sim.portName());
        row.EnabledCallerId = false; // no +CLIP lines come
        ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(row));
    });
    startGateway();
    sim.ring(u"+919812345678"_s);
    ASSERT_TRUE(waitUntil([&] { return log().contains(u"Incoming call detected."_s); }));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 0);
    gateway->refreshTick(); // the call-state query lists the call with its number
    EXPECT_EQ(gateway->calls().LastCallerNumber, u"+919812345678"_s);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics WHERE callerNumber='+919812345678'"_s), 1);
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 1);
}

TEST_F(GatewayModemTest, AnswerLeftFromBeforeTheStartIsNotTakenForTheFirstCommand)
{
    // A confirmation the modem still held when the program last ended.
    sim.sendUnsolicited(u"+CMGS: 12"_s);
    sim.sendUnsolicited(u"OK"_s);
    startGateway();
    EXPECT_TRUE(gateway->link().isInitialised());
    EXPECT_TRUE(log().contains(u"+CMGS: 12"_s)) << log().toStdString();
    EXPECT_FALSE(log().contains(u"Response for ATE0 is ''"_s));
}
