#include "DateText.h"
#include "MailServers.h"
#include "OutboxTable.h"
#include "Pop3Mailbox.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestMailbox.h"
#include "TestSupport.h"
#include "UserAccountTable.h"
#include "WebMailTables.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::MailServers;
using testing_support::TempFolder;
using testing_support::TestMailbox;
using testing_support::waitUntil;

namespace {

struct MailboxPollTest : ::testing::Test
{
    const MailServers& servers = MailServers::instance();
    TestMailbox mailbox{servers};
    TempFolder folder;
    FakeClock clock;
    store::Database db;
    store::GatewaySettings settings;
    QStringList log;
    QStringList notices;

    void SetUp() override
    {
        ASSERT_TRUE(servers.available()) << "TARVOGATE_MAIL_SERVERS_ENV names no servers.env";
        mailbox.empty();
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        settings.POP3MailServer = u"127.0.0.1"_s;
        settings.POP3Port = servers.value(u"POP3_PORT"_s);
        settings.POP3UserName = servers.value(u"MAILBOX_USER"_s);
        settings.POP3Password = servers.value(u"MAILBOX_PASSWORD"_s);
        settings.IsEnabled = true;
        ASSERT_TRUE(store::UserAccountTable(db).insert(u"alice"_s, u"s3cret"_s, u"AliceCo"_s, 5));
    }

    void TearDown() override { mailbox.empty(); }

    int messagesInMailbox() const { return mailbox.count(); }
    void deliver(const QByteArray& mail) const { ASSERT_TRUE(mailbox.deliver(mail)); }
    static QByteArray requestMail(const QString& user, const QString& password, const QString& numbers,
                                  const QString& text, const QString& date = u"Sun, 06 Dec 2026 16:02:48 +0530"_s)
    {
        return TestMailbox::request(user, password, numbers, text, date);
    }

    void poll(int timeoutMs = 10000)
    {
        mail::MailboxPollHooks hooks;
        hooks.log = [this](const QString& line) { log << line; };
        hooks.notice = [this](const QString& text) { notices << text; };
        mail::ProcessWebMailToSMSMailbox(settings, db, clock, hooks, timeoutMs);
    }

    qint64 count(const QString& sql) const { return db.prepare(sql).scalar().value_or(-1); }
    qint64 balance() const
    {
        return count(u"SELECT SMSBalanceCredits FROM SMS_UserAccounts WHERE SMSUserName='alice'"_s);
    }
};

} // namespace

TEST_F(MailboxPollTest, EmptyMailboxCountsZero)
{
    poll();
    EXPECT_EQ(log, QStringList{u"Total 0 new emails found."_s});
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived"_s), 0);
}

TEST_F(MailboxPollTest, RequestIsQueuedChargedFiledAndDeleted)
{
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"+49-151.1234 5678,+447700900123"_s, u"It's ready"_s));
    poll();
    EXPECT_TRUE(log.contains(u"Total 1 new emails found."_s)) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains(u"Parsing email no. 1 contents."_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE SMSFromName='AliceCo' AND Message='It''s ready'"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+4915112345678'"_s), 1);
    EXPECT_EQ(balance(), 3);

    auto filed = store::WebMailTables(db).all();
    ASSERT_TRUE(filed);
    ASSERT_EQ(filed->size(), 1u);
    const auto& row = filed->front();
    EXPECT_EQ(row.EmailFromName, u"René"_s);
    EXPECT_EQ(row.EmailFromAddress, u"rene@example.org"_s);
    EXPECT_EQ(row.EmailSubject, u"SMS please"_s);
    EXPECT_EQ(row.EmailContentType, u"text/plain"_s);
    EXPECT_TRUE(row.IsEmailSentToSMS);
    EXPECT_TRUE(row.ReasonForNotSendingSMS.isNull());
    EXPECT_EQ(row.EmailDateTime,
              store::isoText(QDateTime(QDate(2026, 12, 6), QTime(16, 2, 48), Qt::OffsetFromUTC, 19800)));
    EXPECT_TRUE(row.EmailTextMessage.startsWith(u"Hello gateway,"_s));

    EXPECT_EQ(messagesInMailbox(), 0);
    log.clear();
    poll();
    EXPECT_EQ(log, QStringList{u"Total 0 new emails found."_s});
    EXPECT_EQ(balance(), 3);
}

TEST_F(MailboxPollTest, HtmlOnlyIsNeitherFiledNorCharged)
{
    deliver(QByteArrayLiteral("From: a@example.org\r\nSubject: html\r\nContent-Type: text/html\r\n\r\n"
                              "<p><smsusername>alice</smsusername><smspassword>s3cret</smspassword>"
                              "<tomobilenumbers>1</tomobilenumbers><message>x</message></p>\r\n"));
    poll();
    EXPECT_TRUE(log.contains(u"Total 1 new emails found."_s));
    EXPECT_FALSE(log.join(u'\n').contains(u"Parsing email"_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived"_s), 0);
    EXPECT_EQ(balance(), 5);
    // Left in the mailbox for a person, and not counted again.
    EXPECT_EQ(messagesInMailbox(), 1);
    log.clear();
    poll();
    EXPECT_EQ(log, QStringList{u"Total 0 new emails found."_s});
}

TEST_F(MailboxPollTest, RejectedRequestIsFiledWithItsReasonAndEmptyDateStaysEmpty)
{
    deliver(requestMail(u"alice"_s, u"wrong"_s, u"1234567890"_s, u"hi"_s, QString()));
    poll();
    auto filed = store::WebMailTables(db).all();
    ASSERT_TRUE(filed && filed->size() == 1u);
    EXPECT_FALSE(filed->front().IsEmailSentToSMS);
    EXPECT_EQ(filed->front().ReasonForNotSendingSMS,
              u"**WARNING** SMS user authentication failed for SMSUserName 'alice'"_s);
    EXPECT_TRUE(filed->front().EmailDateTime.isNull());
    EXPECT_EQ(balance(), 5);
    EXPECT_EQ(messagesInMailbox(), 0);
}

TEST_F(MailboxPollTest, MessageWhoseDeleteFailedIsNotChargedAgain)
{
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"1234567890"_s, u"once"_s));
    // A first poll handled it but its delete never reached the server: the record of the
    // handled message is there, the message too.
    mail::Pop3Mailbox probe(
        {u"127.0.0.1"_s, servers.port(u"POP3_PORT"_s), settings.POP3UserName, settings.POP3Password});
    auto listed = probe.list();
    ASSERT_TRUE(listed && listed->size() == 1u);
    probe.close();
    const QString mailboxName = settings.POP3UserName + u"@127.0.0.1:"_s + settings.POP3Port;
    ASSERT_TRUE(store::WebMailTables(db).markHandled(mailboxName, listed->front().uidl, clock.now()));

    poll();
    EXPECT_EQ(log.first(), u"Total 0 new emails found."_s);
    EXPECT_EQ(balance(), 5);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);
    EXPECT_EQ(messagesInMailbox(), 0); // deleted now
}

TEST_F(MailboxPollTest, StoreFailureOnOneMessageLeavesItAndGoesOn)
{
    ASSERT_TRUE(db.exec(u"CREATE TRIGGER refuse_broken BEFORE INSERT ON WebMailToSMS_MessagesReceived "
                        u"WHEN NEW.EmailTextMessage LIKE '%broken%' BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"111111111"_s, u"broken one"_s));
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"222222222"_s, u"good one"_s));
    poll();
    EXPECT_TRUE(log.join(u'\n').contains(u"disk full"_s)) << log.join(u'\n').toStdString();
    // The failed one is neither charged nor filed nor deleted; the next one went through.
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='111111111'"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='222222222'"_s), 1);
    EXPECT_EQ(balance(), 4);
    EXPECT_EQ(messagesInMailbox(), 1);
}

TEST_F(MailboxPollTest, ImplicitTlsMailbox)
{
    settings.POP3Port = servers.value(u"POP3S_PORT"_s);
    ASSERT_EQ(settings.POP3Port, u"995"_s) << "implicit TLS is recognised by its port";
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"1234567890"_s, u"over TLS"_s));
    poll();
    EXPECT_EQ(balance(), 4);
}

TEST_F(MailboxPollTest, ServerDownSilentOrRefusingLogin)
{
    settings.POP3Port = u"12998"_s;
    poll();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(
        log[0].startsWith(u"**ERROR** WebMail - To - SMS Error While Checking For Your Emails.\r\nError No.: 7: "_s))
        << log[0].toStdString();

    log.clear();
    settings.POP3Port = u"12999"_s;
    poll(1500);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains(u"Error No.: 28: "_s)) << log[0].toStdString();

    log.clear();
    settings.POP3Port = servers.value(u"POP3_PORT"_s);
    settings.POP3Password = u"wrong"_s;
    poll();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(u"**ERROR** WebMail - To - SMS Error While Checking For Your Emails."_s));
}
