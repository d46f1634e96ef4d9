#include "Pop3Mailbox.h"
#include "SmtpGateway.h"
#include "Store.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
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

// A POP3 server that logs anyone in and lists two messages, then never answers a RETR: a
// mailbox that stalls half-way through a poll.
class StallingPop3
{
public:
    StallingPop3()
    {
        m_thread = std::thread([this] { serve(); });
        m_port = m_portPromise.get_future().get();
    }
    ~StallingPop3()
    {
        m_done = true;
        m_thread.join();
    }
    int port() const { return m_port; }
    // The RETR commands that came in, in order.
    QStringList retrieved() const
    {
        std::lock_guard lock(m_mutex);
        return m_retrieved;
    }
    bool waitForRetrieve(int timeoutMs) const
    {
        std::unique_lock lock(m_mutex);
        return m_retrieveCame.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [this] { return !m_retrieved.isEmpty(); });
    }

private:
    void serve()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_portPromise.set_value(server.serverPort());
        QDeadlineTimer deadline(30000);
        if (!server.waitForNewConnection(10000))
            return;
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        answer(*peer, "+OK ready\r\n");
        while (!m_done && !deadline.hasExpired() && peer->state() == QAbstractSocket::ConnectedState) {
            if (!peer->canReadLine()) {
                peer->waitForReadyRead(50);
                continue;
            }
            const QByteArray line = peer->readLine().trimmed();
            const QByteArray command = line.split(' ').value(0).toUpper();
            if (command == "CAPA")
                answer(*peer, "+OK\r\nUSER\r\nUIDL\r\n.\r\n");
            else if (command == "UIDL")
                answer(*peer, "+OK\r\n1 first\r\n2 second\r\n.\r\n");
            else if (command == "LIST")
                answer(*peer, "+OK\r\n1 100\r\n2 100\r\n.\r\n");
            else if (command == "RETR") {
                std::lock_guard lock(m_mutex);
                m_retrieved << QString::fromLatin1(line);
                m_retrieveCame.notify_all();
            } else
                answer(*peer, "+OK\r\n");
        }
    }
    static void answer(QTcpSocket& peer, const QByteArray& text)
    {
        peer.write(text);
        peer.waitForBytesWritten(1000);
    }

    std::thread m_thread;
    std::promise<int> m_portPromise;
    int m_port = 0;
    std::atomic<bool> m_done = false;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_retrieveCame;
    QStringList m_retrieved;
};

} // namespace

TEST(MailAbort, AbortedPollStopsAtTheStalledMessageAndRaisesNoNotice)
{
    StallingPop3 server;
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
    ASSERT_TRUE(server.waitForRetrieve(10000));

    QElapsedTimer sinceAbort;
    sinceAbort.start();
    abort = true;
    ASSERT_EQ(poll.wait_for(std::chrono::milliseconds(5000)), std::future_status::ready);
    EXPECT_LT(sinceAbort.elapsed(), kAbortWithinMs);
    // The second message is not asked for: it waits in the mailbox for the next run.
    EXPECT_EQ(server.retrieved(), QStringList{u"RETR 1"_s});
    EXPECT_TRUE(notices.isEmpty()) << notices.join(u'\n').toStdString();
    EXPECT_TRUE(log.join(u'\n').contains(mail::transferCancelledText())) << log.join(u'\n').toStdString();
}
