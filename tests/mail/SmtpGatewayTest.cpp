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
    for (const auto& [type, mechanism] : {std::pair{2, u"AUTH LOGIN"_s}, std::pair{3, u"AUTH PLAIN"_s}}) {
        // A new session: the first one's connection is already logged in and would be reused.
        gateway = std::make_unique<mail::SmtpGateway>(5000);
        settings.SMSSMTPAuthenticationType = qint16(type);
        const auto before = servers.delivered().size();
        ASSERT_EQ(send(u"4915112345678"_s, u"authenticated"_s), QString()) << log.join(u'\n').toStdString();
        EXPECT_TRUE(sentCommand(u"STARTTLS"_s));
        EXPECT_TRUE(sentCommand(mechanism)) << gateway->lastCommands().join(u'|').toStdString();
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
    const QString refused = send(u"refuse1"_s, u"refused"_s);
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
