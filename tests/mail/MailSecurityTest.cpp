#include "CurlSession.h"
#include "Pop3Mailbox.h"
#include "ScriptedPop3.h"
#include "Store.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;
using testing_support::ScriptedPop3;

namespace {

// Captured conversations, one line a step: "C:" what the client sent, "S:" the server's answer.
struct Conversation
{
    const char* name;
    QStringList lines;
    QStringList recorded; // what may be kept of the client's lines
};

const Conversation kConversations[] = {
    {"SMTP AUTH LOGIN",
     {u"C:EHLO gateway"_s, u"S:250-localhost"_s, u"S:250 AUTH PLAIN LOGIN"_s, u"C:AUTH LOGIN"_s,
      u"S:334 VXNlcm5hbWU6"_s, u"C:c210cHVzZXI="_s, u"S:334 UGFzc3dvcmQ6"_s, u"C:c210cC1zZWNyZXQ="_s,
      u"S:235 2.7.0 Authentication successful"_s, u"C:MAIL FROM:<gw@example.org>"_s, u"S:250 2.1.0 Ok"_s},
     {u"EHLO gateway"_s, u"AUTH"_s, u"***"_s, u"***"_s, u"MAIL FROM:<gw@example.org>"_s}},
    {"SMTP AUTH PLAIN with the blob on the command line",
     {u"C:AUTH PLAIN AHNtdHB1c2VyAHNtdHAtc2VjcmV0"_s, u"S:235 2.7.0 Authentication successful"_s,
      u"C:RCPT TO:<1@sms.example.org>"_s},
     {u"AUTH"_s, u"RCPT TO:<1@sms.example.org>"_s}},
    {"SMTP AUTH PLAIN after an empty challenge",
     {u"C:AUTH PLAIN"_s, u"S:334"_s, u"C:AHNtdHB1c2VyAHNtdHAtc2VjcmV0"_s, u"S:535 5.7.8 Error"_s, u"C:QUIT"_s},
     {u"AUTH"_s, u"***"_s, u"QUIT"_s}},
    {"POP3 USER and PASS",
     {u"C:CAPA"_s, u"S:+OK"_s, u"C:USER sms@localhost"_s, u"S:+OK"_s, u"C:PASS mailbox-secret"_s, u"S:+OK Logged in."_s,
      u"C:UIDL"_s},
     {u"CAPA"_s, u"USER sms@localhost"_s, u"PASS"_s, u"UIDL"_s}},
    {"POP3 lower-case pass", {u"C:pass mailbox-secret"_s, u"S:-ERR"_s}, {u"PASS"_s}},
    {"POP3 AUTH PLAIN with a continuation",
     {u"C:STLS"_s, u"S:+OK Begin TLS negotiation now."_s, u"C:AUTH PLAIN"_s, u"S:+"_s,
      u"C:AHNtc0Bsb2NhbGhvc3QAbWFpbGJveC1zZWNyZXQ="_s, u"S:+OK Logged in."_s, u"C:LIST"_s},
     {u"STLS"_s, u"AUTH"_s, u"***"_s, u"LIST"_s}},
    {"POP3 AUTH LOGIN, cancelled",
     {u"C:AUTH LOGIN"_s, u"S:+ VXNlcm5hbWU6"_s, u"C:c21zQGxvY2FsaG9zdA=="_s, u"S:+ UGFzc3dvcmQ6"_s, u"C:*"_s,
      u"S:-ERR Authentication aborted"_s, u"C:NOOP"_s},
     {u"AUTH"_s, u"***"_s, u"***"_s, u"NOOP"_s}},
    {"POP3 APOP", {u"C:APOP sms 7b2f3c9e1d0a4b5c6d7e8f9a0b1c2d3e"_s, u"S:+OK"_s, u"C:STAT"_s}, {u"APOP"_s, u"STAT"_s}},
};

// The secrets the conversations above carry, plain and in base64.
const QStringList kSecrets{u"mailbox-secret"_s,
                           u"smtp-secret"_s,
                           u"c210cC1zZWNyZXQ="_s,
                           u"AHNtdHB1c2VyAHNtdHAtc2VjcmV0"_s,
                           u"AHNtc0Bsb2NhbGhvc3QAbWFpbGJveC1zZWNyZXQ="_s,
                           u"7b2f3c9e"_s};

} // namespace

TEST(MailSecurity, RecordedConversationsKeepNoCredentials)
{
    for (const Conversation& conversation : kConversations) {
        SCOPED_TRACE(conversation.name);
        bool inAuthExchange = false;
        QStringList recorded;
        for (const QString& line : conversation.lines) {
            if (line.startsWith(u"C:"_s))
                recorded << mail::recordedCommand(QStringView(line).mid(2), inAuthExchange);
            else
                mail::noteServerLine(QStringView(line).mid(2), inAuthExchange);
        }
        EXPECT_EQ(recorded, conversation.recorded);
        for (const QString& secret : kSecrets)
            EXPECT_FALSE(recorded.join(u'\n').contains(secret)) << secret.toStdString();
    }
}

TEST(MailSecurity, TlsIsRequiredForCredentialsUnlessAllowed)
{
    using mail::Protection;
    const std::tuple<int, int, bool, bool, Protection> cases[] = {
        {465, 465, true, false, Protection::ImplicitTls},      {995, 995, false, true, Protection::ImplicitTls},
        {587, 465, true, false, Protection::RequiredStartTls}, {110, 995, true, false, Protection::RequiredStartTls},
        {587, 465, true, true, Protection::OptionalStartTls},  {25, 465, false, false, Protection::OptionalStartTls},
        {995, 465, true, false, Protection::RequiredStartTls},
    };
    for (const auto& [port, tlsPort, credentials, allowed, expected] : cases)
        EXPECT_EQ(mail::protectionFor(port, tlsPort, credentials, allowed), expected) << port << credentials << allowed;
}

namespace {

// A POP3 server without STLS. RETR sends a large message in pieces with a pause between them,
// and with `stallAfter` set stops sending after that many pieces while keeping the connection
// open.
class SlowPop3
{
public:
    struct Script
    {
        int pieces = 0;
        int pieceBytes = 0;
        int pauseMs = 0;
        int stallAfter = -1;
        // The id "UIDL 1" names now; empty: the one the listing gave ("big").
        QByteArray uidlOfOneNow = {};
    };

    explicit SlowPop3(Script script)
        : m_script(std::move(script)),
          m_server([this](QTcpSocket& peer, const QByteArray& line) { return reply(peer, line); })
    {}
    int port() const { return m_server.port(); }
    QStringList received() const { return m_server.received(); }
    // The message RETR sends, line by line, as the client should get it.
    QByteArray message() const
    {
        QByteArray line(std::max(m_script.pieceBytes - 2, 0), 'x');
        line += "\r\n";
        return line.repeated(m_script.pieces);
    }

private:
    bool reply(QTcpSocket& peer, const QByteArray& line)
    {
        const QByteArray command = line.split(' ').value(0).toUpper();
        if (command == "UIDL" && line.contains(' '))
            ScriptedPop3::answer(peer, "+OK 1 " + (m_script.uidlOfOneNow.isEmpty() ? "big" : m_script.uidlOfOneNow) +
                                           "\r\n");
        else if (command == "UIDL")
            ScriptedPop3::answer(peer, "+OK\r\n1 big\r\n.\r\n");
        else if (command == "LIST")
            ScriptedPop3::answer(peer, "+OK\r\n1 " + QByteArray::number(message().size()) + "\r\n.\r\n");
        else if (command == "RETR")
            retrieve(peer);
        else
            return false;
        return true;
    }
    void retrieve(QTcpSocket& peer)
    {
        ScriptedPop3::answer(peer, "+OK\r\n");
        const QByteArray piece = message().left(m_script.pieceBytes);
        for (int i = 0; i < m_script.pieces && !m_server.finishing(); ++i) {
            if (i == m_script.stallAfter) {
                // Connected and silent until the client gives up.
                while (!m_server.finishing() && peer.state() == QAbstractSocket::ConnectedState)
                    peer.waitForReadyRead(50);
                return;
            }
            ScriptedPop3::answer(peer, piece);
            // The pace of a slow link, not a wait for anything.
            std::this_thread::sleep_for(std::chrono::milliseconds(m_script.pauseMs));
        }
        ScriptedPop3::answer(peer, ".\r\n");
    }

    Script m_script;
    // Last, so that its thread starts once the script is set and ends before the script goes.
    ScriptedPop3 m_server;
};

bool sentLogin(const QStringList& received)
{
    for (const QString& line : received) {
        for (const char* command : {"USER", "PASS", "AUTH", "APOP"}) {
            if (line.startsWith(QLatin1String(command), Qt::CaseInsensitive))
                return true;
        }
    }
    return false;
}

} // namespace

TEST(MailSecurity, Pop3ServerWithoutStlsGetsNoLoginUnlessAllowed)
{
    SlowPop3 server({});
    QStringList log;
    mail::Pop3Mailbox refused({u"127.0.0.1"_s, server.port(), u"box"_s, u"pw-secret"_s, 5000, nullptr, false,
                               [&](const QString& line) { log << line; }});
    auto listed = refused.list();
    refused.close();
    ASSERT_FALSE(listed);
    EXPECT_EQ(listed.error().code, 64);
    EXPECT_TRUE(listed.error().description.contains(u"offers no STLS"_s)) << listed.error().description.toStdString();
    EXPECT_TRUE(listed.error().description.contains(u"port 995"_s));
    EXPECT_TRUE(listed.error().description.contains(u"Allow unencrypted login"_s));
    EXPECT_FALSE(sentLogin(server.received())) << server.received().join(u'|').toStdString();
    EXPECT_TRUE(log.isEmpty());

    mail::Pop3Mailbox allowed({u"127.0.0.1"_s, server.port(), u"box"_s, u"pw-secret"_s, 5000, nullptr, true,
                               [&](const QString& line) { log << line; }});
    auto entries = allowed.list();
    allowed.close();
    ASSERT_TRUE(entries) << entries.error().description.toStdString();
    EXPECT_TRUE(server.received().contains(u"PASS pw-secret"_s));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(u"**WARNING** The POP3 login to 127.0.0.1:"_s)) << log[0].toStdString();
    EXPECT_FALSE(log[0].contains(u"pw-secret"_s));
}

TEST(MailSecurity, TimeOutCountsSilenceNotTheLengthOfTheTransfer)
{
    constexpr int kIdleMs = 1000;
    // About 2.5 s of steady trickle: far longer than the time-out, never silent for long.
    SlowPop3 slow({.pieces = 25, .pieceBytes = 40 * 1024, .pauseMs = 100});
    mail::Pop3Mailbox mailbox({u"127.0.0.1"_s, slow.port(), u"box"_s, u"pw"_s, kIdleMs, nullptr, true, nullptr});
    QElapsedTimer took;
    took.start();
    auto fetched = mailbox.retrieve(1);
    mailbox.close();
    ASSERT_TRUE(fetched) << fetched.error().description.toStdString();
    EXPECT_GT(took.elapsed(), 2 * kIdleMs);
    EXPECT_EQ(fetched->size(), slow.message().size());
    EXPECT_EQ(*fetched, slow.message());

    // A server that stops sending half-way still ends the transfer, on silence.
    SlowPop3 stalling({.pieces = 25, .pieceBytes = 40 * 1024, .pauseMs = 100, .stallAfter = 5});
    mail::Pop3Mailbox stalled({u"127.0.0.1"_s, stalling.port(), u"box"_s, u"pw"_s, kIdleMs, nullptr, true, nullptr});
    took.restart();
    auto cut = stalled.retrieve(1);
    stalled.close();
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, 28) << cut.error().description.toStdString();
    // libcurl judges the speed over its last five seconds, and then waits the time-out itself.
    EXPECT_LT(took.elapsed(), 10000);
}

// Another client took message 1 between the listing and the delete, and the number now names
// another message: deleting it would lose a request nobody has read.
TEST(MailSecurity, FiledMessageIsNotDeletedWhenItsNumberNowNamesAnother)
{
    for (const QByteArray& uidlNow : {QByteArray("big"), QByteArray("someone-elses")}) {
        SCOPED_TRACE(uidlNow.constData());
        SlowPop3 server({.pieces = 1, .pieceBytes = 64, .uidlOfOneNow = uidlNow});
        testing_support::TempFolder folder;
        testing_support::FakeClock clock;
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        store::GatewaySettings settings;
        settings.POP3MailServer = u"127.0.0.1"_s;
        settings.POP3Port = QString::number(server.port());
        settings.POP3UserName = u"box"_s;
        settings.POP3Password = u"pw"_s;
        settings.POP3AllowPlainLogin = true;
        QStringList log;
        mail::MailboxPollHooks hooks;
        hooks.log = [&](const QString& line) { log << line; };
        hooks.notice = [](const QString&) {};
        mail::ProcessWebMailToSMSMailbox(settings, *db, clock, hooks, 5000);

        const bool deleted = server.received().contains(u"DELE 1"_s);
        EXPECT_EQ(deleted, uidlNow == "big") << server.received().join(u'|').toStdString();
        EXPECT_EQ(db->prepare(u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived"_s).scalar(), 1);
        const bool warned = std::ranges::any_of(log, [](const QString& line) {
            return line.startsWith(u"**WARNING** The e-mail no. 1 was not deleted"_s);
        });
        EXPECT_EQ(warned, !deleted) << log.join(u'\n').toStdString();
    }
}
