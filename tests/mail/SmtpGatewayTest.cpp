#include "SmtpGateway.h"
#include "MailMessage.h"
#include "MailServers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::MailServers;
using testing_support::waitUntil;

namespace {

struct SmtpGatewayTest : ::testing::Test
{
    const MailServers& servers = MailServers::instance();
    std::unique_ptr<mail::SmtpGateway> gateway = std::make_unique<mail::SmtpGateway>(5000);
    store::GatewaySettings settings;
    QStringList log;

    void SetUp() override
    {
        ASSERT_TRUE(servers.available()) << "TARVOGATE_MAIL_SERVERS_ENV names no servers.env";
        settings.SMSSMTPServer = u"127.0.0.1"_s;
        settings.SMSSMTPPort = qint16(servers.port(u"SMTP_PORT"_s));
        settings.SMSSMTPEmailPostfix = u"sms.example.org"_s;
        settings.SMSSMTPYourEmailAddress = u"gateway@mail.example.org"_s;
        settings.SMSSMTPFromName = u"Office"_s;
    }

    QString send(const QString& number, const QString& text, const QString& fromName = QString())
    {
        store::OutboxRow row;
        row.recipient = number;
        row.message = text;
        row.fromName = fromName;
        return mail::SendEmailToSMSGateway(*gateway, settings, row, [this](const QString& line) { log << line; });
    }

    // The newest message the server delivered after `before` others.
    mail::ParsedMail delivered(qsizetype before, QByteArray* raw = nullptr)
    {
        EXPECT_TRUE(waitUntil([&] { return servers.delivered().size() > before; }, 5000));
        const QStringList names = servers.delivered();
        if (names.isEmpty())
            return {};
        const QByteArray message = servers.deliveredMessage(names.last());
        if (raw != nullptr)
            *raw = message;
        return mail::parseMail(message);
    }

    bool sentCommand(const QString& prefix) const
    {
        for (const QString& command : gateway->lastCommands()) {
            if (command.startsWith(prefix))
                return true;
        }
        return false;
    }
};

} // namespace

TEST_F(SmtpGatewayTest, SenderAddressWithAndWithoutMasking)
{
    settings.MaskingDomain = u"mail.example.org"_s;
    auto before = servers.delivered().size();
    ASSERT_EQ(send(u"4915112345678"_s, u"masked, default name"_s), QString());
    EXPECT_EQ(delivered(before).fromAddress, u"Office@mail.example.org"_s);

    before = servers.delivered().size();
    ASSERT_EQ(send(u"4915112345678"_s, u"masked, row name"_s, u" Alice "_s), QString());
    EXPECT_EQ(delivered(before).fromAddress, u"Alice@mail.example.org"_s);

    settings.MaskingDomain.clear();
    before = servers.delivered().size();
    ASSERT_EQ(send(u"4915112345678"_s, u"not masked"_s, u"Alice"_s), QString());
    const auto plain = delivered(before);
    EXPECT_EQ(plain.fromAddress, u"gateway@mail.example.org"_s);
    EXPECT_TRUE(plain.fromName.isEmpty());
}

TEST_F(SmtpGatewayTest, RecipientSubjectBodyAndLogLine)
{
    const auto before = servers.delivered().size();
    settings.SMSSMTPEncodeType = 0;
    ASSERT_EQ(send(u"  +4915112345678  "_s, u"  Grüße from the office  "_s), QString());
    QByteArray raw;
    const auto mail = delivered(before, &raw);
    EXPECT_TRUE(raw.contains("To: +4915112345678@sms.example.org")) << raw.toStdString();
    EXPECT_TRUE(mail.subject.isEmpty());
    EXPECT_EQ(mail.textBody.trimmed(), u"Grüße from the office"_s);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), u"Sending SMS to +4915112345678@sms.example.org using external SMS gateway '127.0.0.1' "
                           u"using Encode-Type: 0"_s);
    EXPECT_TRUE(log.last().contains(u"accepted"_s)) << log.join(u'|').toStdString();
}

TEST_F(SmtpGatewayTest, UuencodedBodyAsTheServerReceivedIt)
{
    settings.SMSSMTPEncodeType = 1;
    const auto before = servers.delivered().size();
    ASSERT_EQ(send(u"4915112345678"_s, u"uuencoded text"_s), QString());
    QByteArray raw;
    const auto mail = delivered(before, &raw);
    EXPECT_TRUE(raw.contains("x-uuencode")) << raw.toStdString();
    EXPECT_EQ(mail.textBody.trimmed(), u"uuencoded text"_s);
    EXPECT_TRUE(log.first().endsWith(u"Encode-Type: 1"_s));
}

TEST_F(SmtpGatewayTest, AuthLoginAndPlainOverStartTls)
{
    settings.SMSSMTPPort = qint16(servers.port(u"SMTP_AUTH_PORT"_s));
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = servers.value(u"SMTP_PASSWORD"_s);
    // AUTH LOGIN sends the user name and the password as lines of their own; PLAIN one blob at most.
    for (const auto& [type, maskedLines] : {std::pair{2, 2}, std::pair{3, 1}}) {
        // A new session: the first one's connection is already logged in and would be reused.
        gateway = std::make_unique<mail::SmtpGateway>(5000);
        settings.SMSSMTPAuthenticationType = qint16(type);
        const auto before = servers.delivered().size();
        ASSERT_EQ(send(u"4915112345678"_s, u"authenticated"_s), QString()) << log.join(u'\n').toStdString();
        const QStringList commands = gateway->lastCommands();
        EXPECT_TRUE(sentCommand(u"STARTTLS"_s));
        EXPECT_TRUE(commands.contains(u"AUTH"_s)) << commands.join(u'|').toStdString();
        EXPECT_LE(commands.count(u"***"_s), maskedLines) << commands.join(u'|').toStdString();
        if (type == 2) {
            EXPECT_EQ(commands.count(u"***"_s), 2) << commands.join(u'|').toStdString();
        }
        const QString everything = commands.join(u'\n') + log.join(u'\n');
        for (const QString& secret :
             {settings.SMSSMTPPassword, QString::fromLatin1(settings.SMSSMTPPassword.toUtf8().toBase64()),
              QString::fromLatin1(settings.SMSSMTPUserName.toUtf8().toBase64())})
            EXPECT_FALSE(everything.contains(secret)) << secret.toStdString();
        EXPECT_FALSE(log.join(u'\n').contains(u"**WARNING**"_s));
        EXPECT_EQ(delivered(before).textBody.trimmed(), u"authenticated"_s);
    }
}

TEST_F(SmtpGatewayTest, WrongPasswordAndRefusedRecipientThenSuccess)
{
    settings.SMSSMTPPort = qint16(servers.port(u"SMTP_AUTH_PORT"_s));
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPAuthenticationType = 2;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = u"wrong"_s;
    const QString denied = send(u"4915112345678"_s, u"never sent"_s);
    EXPECT_TRUE(denied.startsWith(u"Error 535: "_s)) << denied.toStdString();
    EXPECT_TRUE(denied.endsWith(u"\r\n"_s));

    settings.SMSSMTPPort = qint16(servers.port(u"SMTP_PORT"_s));
    settings.IsSMSSMTPAuthenticationRequired = false;
    // Only numbers reach the server, so the refusal is set up for a number.
    const QString refused = send(u"4915550550"_s, u"refused"_s);
    EXPECT_TRUE(refused.startsWith(u"Error 550: "_s)) << refused.toStdString();
    EXPECT_TRUE(refused.endsWith(u"\r\n"_s));

    // The outcome of one delivery never leaks into the next.
    EXPECT_EQ(send(u"4915112345678"_s, u"fine again"_s), QString());
}

TEST_F(SmtpGatewayTest, AuthenticationNotRequiredIgnoresCredentials)
{
    settings.SMSSMTPUserName = u"someone"_s;
    settings.SMSSMTPPassword = u"anything"_s;
    settings.SMSSMTPAuthenticationType = 2;
    ASSERT_EQ(send(u"4915112345678"_s, u"no login"_s), QString());
    EXPECT_FALSE(sentCommand(u"AUTH"_s));
}

TEST_F(SmtpGatewayTest, PopBeforeSmtpLogsInToTheMailboxFirst)
{
    settings.POP3MailServer = u"127.0.0.1"_s;
    settings.POP3Port = QString::number(servers.port(u"POP3_PORT"_s));
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPAuthenticationType = 1;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = servers.value(u"SMTP_PASSWORD"_s);
    ASSERT_EQ(send(u"4915112345678"_s, u"after a POP3 login"_s), QString()) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.join(u'\n').contains(u"POP3"_s));

    settings.SMSSMTPPassword = u"wrong"_s;
    const QString denied = send(u"4915112345678"_s, u"never sent"_s);
    EXPECT_TRUE(denied.startsWith(u"Error "_s) && denied.endsWith(u"\r\n"_s)) << denied.toStdString();
}

TEST_F(SmtpGatewayTest, ImplicitTlsOnPort465)
{
    settings.SMSSMTPPort = qint16(servers.port(u"SMTPS_PORT"_s));
    ASSERT_EQ(settings.SMSSMTPPort, 465) << "implicit TLS is recognised by its port";
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPAuthenticationType = 3;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = servers.value(u"SMTP_PASSWORD"_s);
    const auto before = servers.delivered().size();
    ASSERT_EQ(send(u"4915112345678"_s, u"over TLS"_s), QString()) << log.join(u'\n').toStdString();
    EXPECT_FALSE(sentCommand(u"STARTTLS"_s));
    EXPECT_EQ(delivered(before).textBody.trimmed(), u"over TLS"_s);
}

TEST_F(SmtpGatewayTest, ClosedPortAndSilentServer)
{
    settings.SMSSMTPPort = 12998;
    const QString closed = send(u"4915112345678"_s, u"nobody there"_s);
    EXPECT_TRUE(closed.startsWith(u"Error 7: "_s)) << closed.toStdString();
    EXPECT_TRUE(closed.endsWith(u"\r\n"_s));

    gateway->setTimeoutMs(1500);
    settings.SMSSMTPPort = 12999;
    const QString silent = send(u"4915112345678"_s, u"no answer"_s);
    EXPECT_TRUE(silent.startsWith(u"Error 28: "_s)) << silent.toStdString();
}

// Numbers are cleaned as the e-mail requests' are, so no line break reaches RCPT TO; what is no
// number, and a port that is none, stop the send before any connection.
TEST_F(SmtpGatewayTest, RecipientIsCleanedAndNoPortOrNoNumberSendsNothing)
{
    const std::pair<QString, QString> numbers[] = {
        {u"+1555 0100\r\n"_s, u"+15550100"_s},
        {u" 1555-0101\t"_s, u"15550101"_s},
    };
    for (const auto& [typed, clean] : numbers) {
        SCOPED_TRACE(typed.toStdString());
        ASSERT_EQ(send(typed, u"clean"_s), QString()) << log.join(u'\n').toStdString();
        EXPECT_TRUE(sentCommand(u"RCPT TO:<"_s + clean + u"@sms.example.org>"_s))
            << gateway->lastCommands().join(u'\n').toStdString();
    }

    log.clear();
    EXPECT_EQ(send(u"12ab"_s, u"never"_s), u"Error 0: '12ab' is not a mobile number; no e-mail is sent for it.\r\n"_s);
    EXPECT_TRUE(log.isEmpty()) << log.join(u'\n').toStdString();

    for (const int port : {0, -5, 65536}) {
        SCOPED_TRACE(port);
        settings.SMSSMTPPort = port;
        log.clear();
        const QString refused = send(u"15550100"_s, u"never"_s);
        EXPECT_EQ(refused, u"Error 0: The SMTP port is not a whole number from 1 to 65535, so no e-mail is sent. "
                           u"Correct the port in the settings.\r\n"_s);
        EXPECT_EQ(log, QStringList{refused.trimmed()});
    }
}

// The server offers AUTH but no STARTTLS. Its own log tells whether a login reached it.
TEST_F(SmtpGatewayTest, ServerWithoutStartTlsGetsNoLoginUnlessAllowed)
{
    QFile postfixLog(servers.value(u"POSTFIX_LOG"_s));
    ASSERT_TRUE(postfixLog.open(QIODevice::ReadOnly)) << postfixLog.fileName().toStdString();
    postfixLog.seek(postfixLog.size());
    QByteArray serverLog;
    const auto serverSawLogin = [&] {
        serverLog += postfixLog.readAll();
        return serverLog.contains("sasl_username=" + servers.value(u"SMTP_USER"_s).toUtf8());
    };
    settings.SMSSMTPPort = servers.port(u"SMTP_PLAIN_AUTH_PORT"_s);
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = servers.value(u"SMTP_PASSWORD"_s);
    for (const int type : {2, 3}) {
        SCOPED_TRACE(type);
        settings.SMSSMTPAuthenticationType = qint16(type);
        log.clear();
        const auto before = servers.delivered().size();
        const QString refused = send(u"4915112345678"_s, u"never in clear"_s);
        EXPECT_TRUE(refused.startsWith(
            u"Error 64: The SMTP server 127.0.0.1:%1 offers no STARTTLS"_s.arg(settings.SMSSMTPPort)))
            << refused.toStdString();
        EXPECT_TRUE(refused.contains(u"port 465"_s) && refused.contains(u"Allow unencrypted login"_s));
        EXPECT_FALSE(sentCommand(u"AUTH"_s)) << gateway->lastCommands().join(u'|').toStdString();
        EXPECT_FALSE(log.join(u'\n').contains(u"**WARNING**"_s));
        EXPECT_EQ(servers.delivered().size(), before);
    }

    serverLog += postfixLog.readAll();
    EXPECT_FALSE(serverLog.toLower().contains("sasl")) << serverLog.toStdString();

    settings.SMSSMTPAllowPlainLogin = true;
    settings.SMSSMTPAuthenticationType = 2;
    log.clear();
    const auto before = servers.delivered().size();
    ASSERT_EQ(send(u"4915112345678"_s, u"allowed in clear"_s), QString()) << log.join(u'\n').toStdString();
    EXPECT_EQ(delivered(before).textBody.trimmed(), u"allowed in clear"_s);
    EXPECT_EQ(gateway->lastCommands().count(u"***"_s), 2) << gateway->lastCommands().join(u'|').toStdString();
    EXPECT_FALSE(gateway->lastCommands().join(u'\n').contains(settings.SMSSMTPPassword));
    EXPECT_EQ(log.filter(u"**WARNING** The SMTP login to 127.0.0.1:%1 went out unencrypted"_s.arg(settings.SMSSMTPPort))
                  .size(),
              1)
        << log.join(u'\n').toStdString();
    EXPECT_TRUE(waitUntil(serverSawLogin, 5000)) << serverLog.toStdString();
}

TEST_F(SmtpGatewayTest, OneSessionServesSeveralMessages)
{
    settings.SMSSMTPPort = qint16(servers.port(u"SMTP_AUTH_PORT"_s));
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPAuthenticationType = 2;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = servers.value(u"SMTP_PASSWORD"_s);
    const auto before = servers.delivered().size();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(send(u"4915112345678"_s, u"message %1"_s.arg(i)), QString()) << i;
    // The later ones went over the connection the first one opened and logged in.
    EXPECT_FALSE(sentCommand(u"AUTH"_s));
    EXPECT_TRUE(waitUntil([&] { return servers.delivered().size() >= before + 3; }, 5000));
}
