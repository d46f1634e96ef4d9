#include "Gateway.h"
#include "MailServers.h"
#include "OutboxTable.h"
#include "TestStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::MailServers;
using testing_support::openTestStore;
using testing_support::TempFolder;
using testing_support::waitUntil;

// A second gateway on the same store takes the next row while this one is e-mailing the first:
// this run leaves it to that gateway.
TEST(OutboxClaimMail, ARowTakenByAnotherGatewayDuringAnEmailRunIsLeftToIt)
{
    const MailServers& servers = MailServers::instance();
    ASSERT_TRUE(servers.available()) << "TARVOGATE_MAIL_SERVERS_ENV names no servers.env";
    TempFolder folder;
    FakeClock clock;
    const store::Database db = openTestStore(folder.storePath());
    ASSERT_TRUE(db.isOpen());
    // E-mail delivery through the test server; no timer runs on its own during the test.
    auto settings =
        db.prepare(u"UPDATE Timer_Setting SET SMSDeliveryMedia='SMTPSMSGATEWAY', SMSSMTPServer='127.0.0.1', "
                   u"SMSSMTPPort=?1, SMSSMTPEmailPostfix='sms.example.org', "
                   u"SMSSMTPYourEmailAddress='gateway@mail.example.org', EnableSendTimer=0, "
                   u"EnableReceiveTimer=0"_s);
    settings.bind(1, servers.value(u"SMTP_PORT"_s).toInt());
    ASSERT_TRUE(settings.run());
    store::OutboxTable outbox(db);
    const qint64 first = outbox.insert(u"4915100000001"_s, u"goes now"_s, clock.now()).value_or(-1);
    const qint64 second = outbox.insert(u"4915100000002"_s, u"taken meanwhile"_s, clock.now()).value_or(-1);
    const store::Database other = openTestStore(folder.storePath());
    ASSERT_TRUE(other.isOpen());

    engine::Gateway gateway(folder.storePath(), clock);
    gateway.setActivityLogOn(true);
    gateway.startUp();
    bool taken = false;
    QObject::connect(&gateway, &engine::Gateway::activityLogged, [&](const QString& line) {
        if (!taken && line.contains(u"Sending SMS to 4915100000001@"_s))
            taken = store::OutboxTable(other).claim(second).value_or(false);
    });
    const auto before = servers.delivered().size();
    gateway.SendOutboxMessages();

    const QString log = gateway.activityLog().text();
    ASSERT_TRUE(taken) << log.toStdString();
    EXPECT_EQ(outbox.row(first).value_or(store::OutboxRow{}).status, u"SENT"_s) << log.toStdString();
    const auto left = outbox.row(second).value_or(store::OutboxRow{});
    EXPECT_EQ(left.status, u"SENDING"_s);
    EXPECT_TRUE(left.deliveredAt.isNull());
    EXPECT_FALSE(log.contains(u"Sending SMS to 4915100000002@"_s)) << log.toStdString();
    ASSERT_TRUE(waitUntil([&] { return servers.delivered().size() > before; }, 5000));
    EXPECT_TRUE(servers.deliveredMessage(servers.delivered().last()).contains("To: 4915100000001@sms.example.org"));
}
