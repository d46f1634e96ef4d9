#include "DateText.h"
#include "MailServers.h"
#include "OutboxTable.h"
#include "Pop3Mailbox.h"
#include "SettingsTables.h"
#include "Store.h"
#include "MailboxTest.h"
#include "TestMailbox.h"
#include "TestStore.h"
#include "TestSupport.h"
#include "UserAccountTable.h"
#include "WebMailTables.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::MailServers;
using testing_support::openTestStore;
using testing_support::scalarOf;
using testing_support::TempFolder;
using testing_support::TestMailbox;
using testing_support::waitUntil;

namespace {

struct MailboxPollTest : testing_support::MailboxTest
{
    QStringList notices;

    // The test's own look into the mailbox, past the poll.
    mail::Pop3Mailbox::Account probeAccount() const
    {
        mail::Pop3Mailbox::Account account;
        account.server = u"127.0.0.1"_s;
        account.port = servers.port(u"POP3_PORT"_s);
        account.userName = settings.POP3UserName;
        account.password = settings.POP3Password;
        return account;
    }

    void SetUp() override { openMailbox(u"127.0.0.1"_s, u"POP3_PORT"_s); }

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

TEST_F(MailboxPollTest, HtmlOnlyIsFiledAsNotSentAndDeleted)
{
    deliver(QByteArrayLiteral("From: a@example.org\r\nSubject: html\r\nContent-Type: text/html\r\n\r\n"
                              "<p><smsusername>alice</smsusername><smspassword>s3cret</smspassword>"
                              "<tomobilenumbers>1</tomobilenumbers><message>x</message></p>\r\n"));
    poll();
    EXPECT_TRUE(log.contains(u"Total 1 new emails found."_s));
    EXPECT_TRUE(
        log.contains(u"**WARNING** The e-mail no. 1 has no plain-text body: it is filed as not sent and deleted."_s))
        << log.join(u'\n').toStdString();
    EXPECT_FALSE(log.join(u'\n').contains(u"Parsing email"_s));
    auto filed = store::WebMailTables(db).all();
    ASSERT_TRUE(filed && filed->size() == 1u);
    EXPECT_FALSE(filed->front().IsEmailSentToSMS);
    EXPECT_EQ(filed->front().ReasonForNotSendingSMS, u"No plain-text body"_s);
    EXPECT_EQ(filed->front().EmailSubject, u"html"_s);
    EXPECT_EQ(filed->front().EmailContentType, u"text/html"_s);
    EXPECT_EQ(balance(), 5);
    EXPECT_EQ(messagesInMailbox(), 0);
    log.clear();
    poll();
    EXPECT_EQ(log, QStringList{u"Total 0 new emails found."_s});
}

TEST_F(MailboxPollTest, HtmlOnlyLeftOnTheServerByAnEarlierVersionIsFiledNow)
{
    deliver(
        QByteArrayLiteral("From: a@example.org\r\nSubject: old html\r\nContent-Type: text/html\r\n\r\n<p>hi</p>\r\n"));
    mail::Pop3Mailbox probe(probeAccount());
    auto listed = probe.list();
    ASSERT_TRUE(listed && listed->size() == 1u);
    probe.close();
    store::WebMailTables tables(db);
    const QString key = store::mailboxKey(settings.POP3UserName, settings.POP3MailServer);
    ASSERT_TRUE(tables.markHandled(key, listed->front().uidl, clock.now(), true));

    poll();
    EXPECT_TRUE(log.contains(u"Total 1 new emails found."_s)) << log.join(u'\n').toStdString();
    auto filed = tables.all();
    ASSERT_TRUE(filed && filed->size() == 1u);
    EXPECT_EQ(filed->front().ReasonForNotSendingSMS, u"No plain-text body"_s);
    EXPECT_EQ(messagesInMailbox(), 0);
    EXPECT_EQ(tables.handled(key, listed->front().uidl).value_or(store::WebMailTables::Handled::No),
              store::WebMailTables::Handled::Filed);
}

// The size comes from LIST: the large one is never fetched, the small one beside it is served.
TEST_F(MailboxPollTest, TooLargeEmailIsFiledAsNotSentWithoutBeingFetched)
{
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"111111111"_s, QString(3000, u'x')));
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"222222222"_s, u"small"_s));
    mail::MailboxPollHooks hooks;
    hooks.log = [this](const QString& line) { log << line; };
    hooks.notice = [this](const QString& text) { notices << text; };
    mail::ProcessWebMailToSMSMailbox(settings, db, clock, hooks, 10000, 2000);

    // Which of the two gets which number is the server's choice; only one is parsed.
    EXPECT_TRUE(log.contains(u"Total 2 new emails found."_s)) << log.join(u'\n').toStdString();
    EXPECT_EQ(log.filter(u"Parsing email no. "_s).size(), 1);
    EXPECT_EQ(log.filter(u"bytes, more than the 2000 allowed: it is filed as not sent and deleted without being "
                         u"read."_s)
                  .size(),
              1);
    auto filed = store::WebMailTables(db).all();
    ASSERT_TRUE(filed && filed->size() == 2u);
    const bool largeFirst = !filed->at(0).IsEmailSentToSMS;
    const store::ReceivedMailRow& large = filed->at(largeFirst ? 0 : 1);
    const store::ReceivedMailRow& small = filed->at(largeFirst ? 1 : 0);
    EXPECT_FALSE(large.IsEmailSentToSMS);
    EXPECT_EQ(large.ReasonForNotSendingSMS, u"E-mail too large"_s);
    EXPECT_TRUE(large.EmailTextMessage.isEmpty());
    EXPECT_TRUE(small.IsEmailSentToSMS);
    EXPECT_TRUE(small.EmailTextMessage.contains(u"small"_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='111111111'"_s), 0);
    EXPECT_EQ(balance(), 4);
    EXPECT_EQ(messagesInMailbox(), 0);
    EXPECT_TRUE(notices.isEmpty());
}

// Entries split on commas and line breaks; the one that is no number is named and not charged.
TEST_F(MailboxPollTest, OddNumberEntriesAreSkippedAndNamedInTheFiledReason)
{
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"+1555 0100,\r\n, 12ab, 15550101"_s, u"hi"_s));
    poll();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo IN ('+15550100', '15550101')"_s), 2);
    EXPECT_EQ(balance(), 3);
    auto filed = store::WebMailTables(db).all();
    ASSERT_TRUE(filed && filed->size() == 1u);
    EXPECT_TRUE(filed->front().IsEmailSentToSMS);
    EXPECT_EQ(filed->front().ReasonForNotSendingSMS, u"Skipped: 12ab"_s);
    EXPECT_EQ(messagesInMailbox(), 0);
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
    mail::Pop3Mailbox probe(probeAccount());
    auto listed = probe.list();
    ASSERT_TRUE(listed && listed->size() == 1u);
    EXPECT_GT(listed->front().size, 0);
    // The number still names the listed message; a number the server does not have names none.
    EXPECT_EQ(probe.uidlOf(1).value_or(QString()), listed->front().uidl);
    auto none = probe.uidlOf(7);
    EXPECT_TRUE(!none || none->isEmpty());
    probe.close();
    const QString mailboxName = store::mailboxKey(settings.POP3UserName, u"127.0.0.1"_s);
    ASSERT_TRUE(store::WebMailTables(db).markHandled(mailboxName, listed->front().uidl, clock.now()));

    poll();
    EXPECT_EQ(log.first(), u"Total 0 new emails found."_s);
    EXPECT_EQ(balance(), 5);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);
    EXPECT_EQ(messagesInMailbox(), 0); // deleted now
}

// The first poll files and charges, then stops before its DELE goes out; the operator moves the
// mailbox to the implicit-TLS port before the next poll. The message is the same one.
TEST_F(MailboxPollTest, NewPortAfterAFailedDeleteDoesNotChargeAgain)
{
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"1234567890"_s, u"once"_s));
    std::atomic<bool> stop = false;
    mail::MailboxPollHooks hooks;
    hooks.log = [&](const QString& line) {
        log << line;
        if (line == u"Success"_s)
            stop = true;
    };
    hooks.notice = [this](const QString& text) { notices << text; };
    hooks.abort = &stop;
    mail::ProcessWebMailToSMSMailbox(settings, db, clock, hooks);
    ASSERT_EQ(balance(), 4) << log.join(u'\n').toStdString();
    ASSERT_EQ(messagesInMailbox(), 1);

    for (const QString& port : {servers.value(u"POP3S_PORT"_s), servers.value(u"POP3_PORT"_s)}) {
        SCOPED_TRACE(port.toStdString());
        settings.POP3Port = port;
        log.clear();
        poll();
        EXPECT_EQ(log.value(0), u"Total 0 new emails found."_s) << log.join(u'\n').toStdString();
        EXPECT_EQ(balance(), 4);
        EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 1);
        EXPECT_EQ(count(u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived"_s), 1);
    }
    EXPECT_EQ(messagesInMailbox(), 0);
}

// Another port than the one typed would be a different server, or plain text instead of TLS.
TEST_F(MailboxPollTest, PortThatIsNoWholeNumberIsRefusedWithoutConnecting)
{
    deliver(requestMail(u"alice"_s, u"s3cret"_s, u"1234567890"_s, u"hi"_s));
    for (const QString& port : {u"995.0"_s, u"1,10"_s, u"-5"_s, u"0"_s, u"65536"_s, u""_s}) {
        SCOPED_TRACE(port.toStdString());
        settings.POP3Port = port;
        log.clear();
        poll();
        ASSERT_EQ(log.size(), 1);
        EXPECT_EQ(log[0], u"**ERROR** WebMail - To - SMS: the POP3 port '%1' is not a whole number from 1 to 65535, "
                          u"so the mailbox is not checked. Correct the port in the settings."_s.arg(port));
    }
    EXPECT_EQ(balance(), 5);
    EXPECT_EQ(messagesInMailbox(), 1);
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

// The poll itself notes every message it handled under the server's unique id, whatever became
// of its request: the note is what keeps a message whose delete did not go through from being
// handled and charged again.
TEST_F(MailboxPollTest, EachHandledMessageIsNotedByThePoll)
{
    struct Case
    {
        const char* name;
        QByteArray mail;
        qint64 maxEmailBytes;
        bool sent;
    };
    const Case cases[] = {
        {"accepted request", requestMail(u"alice"_s, u"s3cret"_s, u"1234567890"_s, u"noted"_s),
         mail::kDefaultMaxEmailBytes, true},
        {"refused request", requestMail(u"alice"_s, u"wrong"_s, u"1234567890"_s, u"noted"_s),
         mail::kDefaultMaxEmailBytes, false},
        {"no plain text",
         QByteArrayLiteral("From: a@example.org\r\nSubject: html\r\nContent-Type: text/html\r\n\r\n<p>hi</p>\r\n"),
         mail::kDefaultMaxEmailBytes, false},
        {"too large", requestMail(u"alice"_s, u"s3cret"_s, u"1234567890"_s, QString(3000, u'x')), 2000, false},
    };
    const QString key = store::mailboxKey(settings.POP3UserName, settings.POP3MailServer);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mailbox.empty();
        deliver(c.mail);
        mail::Pop3Mailbox probe(probeAccount());
        auto listed = probe.list();
        probe.close();
        ASSERT_TRUE(listed && listed->size() == 1u);
        const QString uidl = listed->front().uidl;
        ASSERT_EQ(store::WebMailTables(db).handled(key, uidl).value_or(store::WebMailTables::Handled::Filed),
                  store::WebMailTables::Handled::No);

        log.clear();
        mail::MailboxPollHooks hooks;
        hooks.log = [this](const QString& line) { log << line; };
        hooks.notice = [this](const QString& text) { notices << text; };
        mail::ProcessWebMailToSMSMailbox(settings, db, clock, hooks, 10000, c.maxEmailBytes);

        EXPECT_EQ(store::WebMailTables(db).handled(key, uidl).value_or(store::WebMailTables::Handled::No),
                  store::WebMailTables::Handled::Filed)
            << log.join(u'\n').toStdString();
        auto noted = db.prepare(u"SELECT HandledOn FROM WebMailToSMS_HandledMessages WHERE Mailbox=?1 AND Uidl=?2"_s);
        noted.bind(1, key);
        noted.bind(2, uidl);
        ASSERT_TRUE(noted.next().value_or(false));
        EXPECT_EQ(noted.text(0), store::isoText(clock.now()));
        const auto filed = store::WebMailTables(db).all();
        ASSERT_TRUE(filed && !filed->empty());
        EXPECT_EQ(filed->back().IsEmailSentToSMS, c.sent);
        EXPECT_EQ(messagesInMailbox(), 0);
    }
}
