#include "Pop3Mailbox.h"
#include "ScriptedPop3.h"
#include "SmtpGateway.h"
#include "Store.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <future>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::ScriptedPop3;
using testing_support::TempFolder;

namespace {

// Far beyond what a test waits: a transfer that ends did so because it was aborted.
constexpr int kMailTimeoutMs = 60000;
// libcurl asks whether to go on at least once a second, also while nothing arrives.
constexpr qint64 kAbortWithinMs = 2000;

// A mail server that takes the connection and never says a word.
struct SilentServer
{
    QTcpServer server;
    SilentServer() { server.listen(QHostAddress::LocalHost); }
    int port() const { return server.serverPort(); }
};

struct Transfer
{
    const char* name;
    // Runs one transfer against the port until it ends; returns its error text.
    std::function<QString(int port, mail::SmtpGateway& smtp)> run;
};

QString smtpSend(int port, mail::SmtpGateway& smtp, int authenticationType)
{
    mail::SmtpServer server;
    server.server = u"127.0.0.1"_s;
    server.port = port;
    server.pop3Port = port;
    server.authenticationRequired = authenticationType != 0;
    server.authenticationType = authenticationType;
    server.userName = u"gateway"_s;
    server.password = u"secret"_s;
    return smtp.send(server, u"gateway@example.org"_s, u"4915112345678@sms.example.org"_s, "Subject: x\r\n\r\nhi\r\n",
                     [](const QString&) {});
}

const Transfer kTransfers[] = {
    {"SMTP send", [](int port, mail::SmtpGateway& smtp) { return smtpSend(port, smtp, 0); }},
    {"POP3 login before SMTP", [](int port, mail::SmtpGateway& smtp) { return smtpSend(port, smtp, 1); }},
    {"POP3 mailbox listing",
     [](int port, mail::SmtpGateway& smtp) {
         mail::Pop3Mailbox mailbox({u"127.0.0.1"_s, port, u"box"_s, u"secret"_s, kMailTimeoutMs, &smtp.abortFlag()});
         auto listed = mailbox.list();
         return listed ? QString() : listed.error().description;
     }},
};

} // namespace

TEST(MailAbort, AbortFromAnotherThreadEndsATransferToASilentServerWithinASecond)
{
    for (const Transfer& transfer : kTransfers) {
        SCOPED_TRACE(transfer.name);
        SilentServer silent;
        ASSERT_TRUE(silent.server.isListening());
        mail::SmtpGateway smtp(kMailTimeoutMs);
        auto result = std::async(std::launch::async, [&] { return transfer.run(silent.port(), smtp); });
        ASSERT_TRUE(silent.server.waitForNewConnection(5000));

        QElapsedTimer sinceAbort;
        sinceAbort.start();
        smtp.requestAbort();
        ASSERT_EQ(result.wait_for(std::chrono::milliseconds(5000)), std::future_status::ready);
        EXPECT_LT(sinceAbort.elapsed(), kAbortWithinMs);
        EXPECT_TRUE(result.get().contains(mail::transferCancelledText()));
    }
}

TEST(MailAbort, AfterAnAbortNoTransferConnectsAtAll)
{
    SilentServer silent;
    mail::SmtpGateway smtp(kMailTimeoutMs);
    smtp.requestAbort();
    for (const Transfer& transfer : kTransfers) {
        SCOPED_TRACE(transfer.name);
        const QString error = transfer.run(silent.port(), smtp);
        EXPECT_TRUE(error.contains(mail::transferCancelledText())) << error.toStdString();
    }
    EXPECT_FALSE(silent.server.waitForNewConnection(0));
    // What the dispatcher logs for the row: the cause, not a server failure.
    EXPECT_EQ(smtpSend(silent.port(), smtp, 0),
              u"Error 42: The transfer was cancelled because the program is ending.\r\n"_s);
}

namespace {

// A POP3 server that lists two messages, then never answers a RETR: a mailbox that stalls
// half-way through a poll.
bool stallAtRetrieve(QTcpSocket& peer, const QByteArray& line)
{
    const QByteArray command = line.split(' ').value(0).toUpper();
    if (command == "UIDL")
        ScriptedPop3::answer(peer, "+OK\r\n1 first\r\n2 second\r\n.\r\n");
    else if (command == "LIST")
        ScriptedPop3::answer(peer, "+OK\r\n1 100\r\n2 100\r\n.\r\n");
    else
        return command == "RETR";
    return true;
}

} // namespace

TEST(MailAbort, AbortedPollStopsAtTheStalledMessageAndRaisesNoNotice)
{
    ScriptedPop3 server(stallAtRetrieve);
    TempFolder folder;
    FakeClock clock;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::GatewaySettings settings;
    settings.POP3MailServer = u"127.0.0.1"_s;
    settings.POP3Port = QString::number(server.port());
    settings.POP3UserName = u"box"_s;
    settings.POP3Password = u"secret"_s;
    settings.IsEnabled = true;
    // This server offers no STLS.
    settings.POP3AllowPlainLogin = true;

    std::atomic<bool> abort = false;
    QStringList log;
    QStringList notices;
    mail::MailboxPollHooks hooks;
    hooks.log = [&](const QString& line) { log << line; };
    hooks.notice = [&](const QString& text) { notices << text; };
    hooks.abort = &abort;
    auto poll = std::async(std::launch::async,
                           [&] { mail::ProcessWebMailToSMSMailbox(settings, *db, clock, hooks, kMailTimeoutMs); });
    ASSERT_TRUE(server.waitForLine(u"RETR"_s, 10000));

    QElapsedTimer sinceAbort;
    sinceAbort.start();
    abort = true;
    ASSERT_EQ(poll.wait_for(std::chrono::milliseconds(5000)), std::future_status::ready);
    EXPECT_LT(sinceAbort.elapsed(), kAbortWithinMs);
    // The second message is not asked for: it waits in the mailbox for the next run.
    EXPECT_EQ(server.received().filter(QRegularExpression(u"^RETR"_s)), QStringList{u"RETR 1"_s});
    EXPECT_TRUE(notices.isEmpty()) << notices.join(u'\n').toStdString();
    EXPECT_TRUE(log.join(u'\n').contains(mail::transferCancelledText())) << log.join(u'\n').toStdString();
}
