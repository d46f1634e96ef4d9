#include "Gateway.h"
#include "MailServers.h"
#include "OutboxTable.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestMailbox.h"
#include "TestSupport.h"
#include "UserAccountTable.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::MailServers;
using testing_support::TempFolder;
using testing_support::TestMailbox;
using testing_support::waitUntil;

TEST(GatewayMail, RunningGatewayTurnsAMailboxRequestIntoOutboxRows)
{
    const MailServers& servers = MailServers::instance();
    ASSERT_TRUE(servers.available()) << "TARVOGATE_MAIL_SERVERS_ENV names no servers.env";
    TestMailbox mailbox(servers);
    mailbox.empty();
    TempFolder folder;
    FakeClock clock;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    ASSERT_TRUE(store::UserAccountTable(*db).insert(u"alice"_s, u"s3cret"_s, u"AliceCo"_s, 5));
    ASSERT_TRUE(store::SettingsTables(*db).savePop3Settings({u"127.0.0.1"_s, servers.value(u"POP3_PORT"_s),
                                                             servers.value(u"MAILBOX_USER"_s),
                                                             servers.value(u"MAILBOX_PASSWORD"_s), u"3"_s, true}));
    ASSERT_TRUE(db->exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia='SMTPSMSGATEWAY'"_s));
    ASSERT_TRUE(
        mailbox.deliver(TestMailbox::request(u"alice"_s, u"s3cret"_s, u"4915112345678"_s, u"from the timer"_s)));
    const auto scalar = [&](const QString& sql) { return db->prepare(sql).scalar().value_or(-1); };

    engine::Gateway gateway(folder.storePath(), clock);
    gateway.setActivityLogOn(true);
    gateway.startUp();
    ASSERT_TRUE(gateway.Timer_WebMailToSMS().isActive());
    EXPECT_EQ(gateway.Timer_WebMailToSMS().interval(), 3000);
    ASSERT_TRUE(waitUntil([&] { return scalar(u"SELECT SMSBalanceCredits FROM SMS_UserAccounts"_s) == 4; }, 10000));
    EXPECT_TRUE(gateway.activityLog().text().contains(
        u"] : Checking POP3 account for Webmail-to-SMS on the server: 127.0.0.1"_s));
    EXPECT_EQ(scalar(u"SELECT COUNT(*) FROM Message_OutBox WHERE Message='from the timer' AND SMSFromName='AliceCo'"_s),
              1);
    EXPECT_EQ(scalar(u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived WHERE IsEmailSentToSMS=-1"_s), 1);
    EXPECT_TRUE(waitUntil([&] { return mailbox.count() == 0; }, 5000));
}

namespace {

// E-mail delivery through the test SMTP server on the given port.
store::TimerSettingRow emailDelivery(const store::Database& db, const QString& port)
{
    auto row = store::SettingsTables(db).timerSetting().value().value();
    row.SMSDeliveryMedia = u"SMTPSMSGATEWAY"_s;
    row.SMSSMTPServer = u"127.0.0.1"_s;
    row.SMSSMTPPort = port;
    row.SMSSMTPEmailPostfix = u"sms.example.org"_s;
    row.SMSSMTPYourEmailAddress = u"gateway@mail.example.org"_s;
    return row;
}

} // namespace

TEST(GatewayMail, SendEmailToSMSGatewayDeliversAnOutboxRow)
{
    const MailServers& servers = MailServers::instance();
    ASSERT_TRUE(servers.available());
    TempFolder folder;
    FakeClock clock;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        ASSERT_TRUE(store::SettingsTables(*db).saveTimerSetting(emailDelivery(*db, servers.value(u"SMTP_PORT"_s))));
    }
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.setActivityLogOn(true);
    gateway.startUp();
    const auto before = servers.delivered().size();
    store::OutboxRow row;
    row.recipient = u"4915112345678"_s;
    row.message = u"through the engine"_s;
    EXPECT_EQ(gateway.SendEmailToSMSGateway(row), QString());
    ASSERT_TRUE(waitUntil([&] { return servers.delivered().size() > before; }, 5000));
    EXPECT_TRUE(servers.deliveredMessage(servers.delivered().last()).contains("To: 4915112345678@sms.example.org"));
    EXPECT_TRUE(gateway.activityLog().text().contains(u"] : Sending SMS to 4915112345678@sms.example.org"_s));
}

TEST(GatewayMail, PollingOffLogsNothing)
{
    TempFolder folder;
    FakeClock clock;
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.setActivityLogOn(true);
    gateway.startUp();
    const QString before = gateway.activityLog().text();
    gateway.onMailboxTick();
    EXPECT_EQ(gateway.activityLog().text(), before);
}

TEST(GatewayMail, DispatcherSendsByEmailAndKeepsRefusedRowsPending)
{
    const MailServers& servers = MailServers::instance();
    ASSERT_TRUE(servers.available());
    TempFolder folder;
    FakeClock clock;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    auto settings = emailDelivery(*db, servers.value(u"SMTP_PORT"_s));
    ASSERT_TRUE(store::SettingsTables(*db).saveTimerSetting(settings));
    store::OutboxTable outbox(*db);
    const qint64 good = outbox.insert(u"4915112345678"_s, u"by e-mail"_s, clock.now()).value();

    {
        engine::Gateway gateway(folder.storePath(), clock);
        gateway.setActivityLogOn(true);
        gateway.startUp();
        const auto before = servers.delivered().size();
        gateway.SendOutboxMessages();
        EXPECT_EQ(outbox.row(good).value().status, u"SENT"_s);
        EXPECT_FALSE(outbox.row(good).value().deliveredAt.isNull());
        EXPECT_TRUE(waitUntil([&] { return servers.delivered().size() > before; }, 5000));
        EXPECT_TRUE(gateway.activityLog().text().contains(u"SMS sent successfully. Now removing it from outbox."_s));
    }

    // A server that refuses the recipient (this port wants a login first): the row stays
    // pending, with the server's error and the "could not be sent" line.
    settings.SMSSMTPPort = servers.value(u"SMTP_AUTH_PORT"_s);
    ASSERT_TRUE(store::SettingsTables(*db).saveTimerSetting(settings));
    const qint64 refused = outbox.insert(u"4915112345679"_s, u"refused"_s, clock.now()).value();
    engine::Gateway refusing(folder.storePath(), clock);
    refusing.setActivityLogOn(true);
    refusing.startUp();
    refusing.SendOutboxMessages();
    EXPECT_EQ(outbox.row(refused).value().status, QString(u""_s));
    EXPECT_TRUE(outbox.row(refused).value().deliveredAt.isNull());
    EXPECT_TRUE(refusing.activityLog().text().contains(u"**ERROR** SMS delivery failed. Error 5"_s))
        << refusing.activityLog().text().toStdString();
    EXPECT_TRUE(refusing.activityLog().text().contains(u"**ERROR** SMS could not be sent to 4915112345679"_s));
}
