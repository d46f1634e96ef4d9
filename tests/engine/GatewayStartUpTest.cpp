#include "Gateway.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::TempFolder;

namespace {

// The messages of the log, oldest first, without their timestamps.
QStringList messagesOf(const store::ActivityLog& log)
{
    QStringList messages;
    const QStringList lines = log.text().split(u"\r\n"_s, Qt::SkipEmptyParts);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        messages << it->section(u"] : "_s, 1);
    return messages;
}

struct GatewayFixture : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;

    void prepareStore(const std::function<void(const store::Database&)>& fill)
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        fill(*db);
    }
};

} // namespace

TEST_F(GatewayFixture, StartUpWritesItsLinesInOrderAndLoadsSettings)
{
    engine::Gateway gateway(folder.storePath(), clock);
    QSignalSpy finished(&gateway, &engine::Gateway::startUpFinished);
    QSignalSpy modemState(&gateway, &engine::Gateway::modemStateChanged);
    QSignalSpy notices(&gateway, &engine::Gateway::notice);
    QSignalSpy settingsWanted(&gateway, &engine::Gateway::settingsRequested);
    gateway.setActivityLogOn(true);
    gateway.startUp();

    // With the modem as delivery media the loading ends by connecting, which on a first
    // start finds no modem settings and sends the operator to them.
    EXPECT_EQ(messagesOf(gateway.activityLog()),
              (QStringList{u"Initializing WebMail-To-SMS Properties."_s, u"Initializing SMS Delivery Properties."_s,
                           u"Initializing AutoReply On MissedCall Properties."_s, u"Initializing Timer Properties."_s,
                           u"Connecting to GSM Modem."_s}));
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices.at(0).at(0).toString(), u"Please set all the settings before connecting with modem."_s);
    EXPECT_EQ(settingsWanted.count(), 1);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.at(0).at(0).toString().isEmpty());
    ASSERT_EQ(modemState.count(), 1);
    EXPECT_FALSE(modemState.at(0).at(0).toBool());

    const auto& settings = gateway.settings();
    EXPECT_EQ(store::storedText(settings.deliveryMedia), u"MODEM"_s);
    EXPECT_EQ(store::storedText(settings.simDeliveryMode), u"DIRECT DELIVER"_s);
    EXPECT_EQ(settings.ReceiveIntervalSeconds, 10);
    EXPECT_EQ(settings.SendIntervalSeconds, 10);
    EXPECT_DOUBLE_EQ(settings.ModemDelayFactor, 1.0);
    EXPECT_EQ(gateway.RingCounter(), 1);

    // Receive and send wait for the modem; the mailbox waits for its settings.
    EXPECT_FALSE(gateway.Timer1().isActive());
    EXPECT_FALSE(gateway.Timer2().isActive());
    EXPECT_FALSE(gateway.Timer_WebMailToSMS().isActive());
    EXPECT_TRUE(gateway.timerRefreshHomePage().isActive());
    EXPECT_EQ(gateway.timerRefreshHomePage().interval(), 1000);
}

TEST_F(GatewayFixture, MailboxTimerRunsWhenPollingIsOn)
{
    prepareStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).savePop3Settings(
            {u"pop.example.org"_s, u"110"_s, u"u"_s, u"p"_s, u"45"_s, true}));
    });
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.startUp();
    EXPECT_TRUE(gateway.Timer_WebMailToSMS().isActive());
    EXPECT_EQ(gateway.Timer_WebMailToSMS().interval(), 45000);
    EXPECT_EQ(gateway.settings().POP3MailServer, u"pop.example.org"_s);
}

// A stored port that is no port number is said at loading, right after its group, and is not
// replaced by a default port.
TEST_F(GatewayFixture, StoredPortsThatAreNoPortsAreLoggedAtLoading)
{
    prepareStore([](const store::Database& db) {
        store::Pop3SettingsRow mailbox;
        mailbox.POP3MailServer = u"pop.example.org"_s;
        mailbox.POP3Port = u"-5"_s;
        mailbox.POP3UserName = u"u"_s;
        mailbox.POP3Password = u"p"_s;
        mailbox.EmailCheckInterval = u"45"_s;
        mailbox.IsEnabled = true;
        ASSERT_TRUE(store::SettingsTables(db).savePop3Settings(mailbox));
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia='SMTPSMSGATEWAY', SMSSMTPPort='70000', "
                            u"SMSSMTPServer='smtp.example.org'"_s));
    });
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.setActivityLogOn(true);
    gateway.startUp();
    const QStringList lines = messagesOf(gateway.activityLog());
    const qsizetype mailbox = lines.indexOf(u"Initializing WebMail-To-SMS Properties."_s);
    const qsizetype delivery = lines.indexOf(u"Initializing SMS Delivery Properties."_s);
    ASSERT_GE(mailbox, 0);
    ASSERT_GE(delivery, 0);
    EXPECT_EQ(lines.value(mailbox + 1), u"**ERROR** WebMail - To - SMS: the POP3 port '-5' is not a whole number "
                                        u"from 1 to 65535, so the mailbox is not checked. Correct the port in the "
                                        u"settings."_s)
        << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.value(delivery + 1), u"Error 0: The SMTP port is not a whole number from 1 to 65535, so no e-mail "
                                         u"is sent. Correct the port in the settings."_s);
    EXPECT_EQ(gateway.settings().SMSSMTPPort, 0);
}

TEST_F(GatewayFixture, MailboxTimerStaysOffWhenPollingIsOff)
{
    prepareStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).savePop3Settings(
            {u"pop.example.org"_s, u"110"_s, u"u"_s, u"p"_s, u"45"_s, false}));
    });
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.startUp();
    EXPECT_FALSE(gateway.Timer_WebMailToSMS().isActive());
}

TEST_F(GatewayFixture, LinesWhileTheLogIsOffAreDropped)
{
    engine::Gateway gateway(folder.storePath(), clock);
    QSignalSpy logged(&gateway, &engine::Gateway::activityLogged);
    gateway.startUp();
    EXPECT_TRUE(gateway.activityLog().text().isEmpty());
    EXPECT_EQ(logged.count(), 0);

    gateway.setActivityLogOn(true);
    gateway.AddToActivityLog(u"now on"_s);
    ASSERT_EQ(logged.count(), 1);
    EXPECT_TRUE(logged.at(0).at(0).toString().endsWith(u"] : now on"_s));
    gateway.clearActivityLog();
    EXPECT_TRUE(gateway.activityLog().text().isEmpty());
}

TEST_F(GatewayFixture, StoreThatCannotBeOpenedIsReportedAtTheEndOfStartUp)
{
    engine::Gateway gateway(folder.file(u"missing-folder/SMSGateway.mdb"_s), clock);
    QSignalSpy finished(&gateway, &engine::Gateway::startUpFinished);
    gateway.setActivityLogOn(true);
    gateway.startUp();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished.at(0).at(0).toString().isEmpty());
    EXPECT_TRUE(gateway.activityLog().text().contains(u"**ERROR** "_s));
    EXPECT_FALSE(gateway.timerRefreshHomePage().isActive());
}

TEST_F(GatewayFixture, ShutDownStopsEveryTimer)
{
    prepareStore([](const store::Database& db) {
        ASSERT_TRUE(store::SettingsTables(db).savePop3Settings({u"pop"_s, u"110"_s, u"u"_s, u"p"_s, u"30"_s, true}));
    });
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.startUp();
    gateway.shutDown();
    EXPECT_FALSE(gateway.Timer_WebMailToSMS().isActive());
    EXPECT_FALSE(gateway.timerRefreshHomePage().isActive());
    EXPECT_FALSE(gateway.isStarted());
}

TEST(TimerPeriod, ZeroStopsTheTimer)
{
    QTimer timer;
    engine::setTimerPeriod(timer, 2000);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 2000);
    engine::setTimerPeriod(timer, 0);
    EXPECT_FALSE(timer.isActive());
}
