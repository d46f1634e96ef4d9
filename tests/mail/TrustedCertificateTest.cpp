#include "MailConnectionTest.h"
#include "MailServers.h"
#include "MailboxTest.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestMailbox.h"
#include "TestSupport.h"
#include "TrustedKeyTable.h"
#include "UserAccountTable.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::MailServers;
using testing_support::TempFolder;
using testing_support::TestMailbox;
using Outcome = mail::ConnectionReport::Outcome;

namespace {

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The gateway against servers whose certificate no trust store holds (a self-signed appliance),
// next to the same servers with a certificate the system trusts.
struct TrustedCertificateTest : testing_support::MailboxTest
{
    QString trusted;   // the host whose certificate the system trusts
    QString untrusted; // the host with the self-signed one

    void SetUp() override
    {
        trusted = servers.value(u"MAIL_HOST"_s);
        untrusted = servers.value(u"UNTRUSTED_MAIL_HOST"_s);
        openMailbox(untrusted, u"POP3S_PORT"_s);
    }

    mail::Pop3Mailbox::Account account(const QString& host, const QString& portKey, const QString& password) const
    {
        mail::Pop3Mailbox::Account account;
        account.server = host;
        account.port = servers.port(portKey);
        account.userName = servers.value(u"MAILBOX_USER"_s);
        account.password = password;
        account.timeoutMs = 5000;
        account.pinnedKey = mail::trustedKeyFor(db, host, account.port);
        return account;
    }
    mail::ConnectionReport testMailbox(const QString& host, const QString& portKey = u"POP3S_PORT"_s,
                                       const QString& password = {})
    {
        return mail::testPop3Connection(
            account(host, portKey, password.isEmpty() ? servers.value(u"MAILBOX_PASSWORD"_s) : password),
            [](const QString&) {});
    }
    void trust(const mail::ConnectionReport& report)
    {
        ASSERT_TRUE(report.certificate.has_value()) << report.text.toStdString();
        ASSERT_TRUE(store::TrustedKeyTable(db).trust({report.host,
                                                      report.port,
                                                      report.certificate->publicKeyPin,
                                                      report.certificate->subject,
                                                      report.certificate->sha256Fingerprint,
                                                      {}},
                                                     clock.now()));
    }
    void poll()
    {
        mail::MailboxPollHooks hooks;
        hooks.log = [this](const QString& line) { log << line; };
        hooks.notice = [](const QString&) {};
        mail::ProcessWebMailToSMSMailbox(settings, db, clock, hooks, 5000);
    }
    bool logged(const QString& part) const
    {
        return std::ranges::any_of(log, [&](const QString& line) { return line.contains(part); });
    }
};

TEST_F(TrustedCertificateTest, MailboxTestSaysWhatIsWrongInPlainWords)
{
    const struct
    {
        const char* name;
        bool trustedHost;
        QString portKey;
        QString password;
        Outcome outcome;
        QString says;
    } cases[] = {
        {"right password over TLS", true, u"POP3S_PORT"_s, {}, Outcome::LoggedIn, u"over TLS and logged in as"_s},
        {"right password after STLS", true, u"POP3_PORT"_s, {}, Outcome::LoggedIn, u"over TLS and logged in as"_s},
        {"wrong password", true, u"POP3S_PORT"_s, u"not-it"_s, Outcome::WrongPassword, u"refused the user name"_s},
        {"nobody listening", true, u"CLOSED_PORT"_s, {}, Outcome::Failed, u"The connection to"_s},
        {"self-signed, TLS from the start",
         false,
         u"POP3S_PORT"_s,
         {},
         Outcome::UntrustedCertificate,
         u"is not trusted by this computer"_s},
        {"self-signed, after STLS",
         false,
         u"POP3_PORT"_s,
         {},
         Outcome::UntrustedCertificate,
         u"is not trusted by this computer"_s},
    };
    const auto expected = mail::describeCertificate(fileContents(servers.value(u"UNTRUSTED_CERT_FILE"_s)));
    ASSERT_TRUE(expected);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto report = testMailbox(c.trustedHost ? trusted : untrusted, c.portKey, c.password);
        EXPECT_EQ(report.outcome, c.outcome) << report.text.toStdString();
        EXPECT_TRUE(report.text.contains(c.says)) << report.text.toStdString();
        if (c.outcome != Outcome::UntrustedCertificate) {
            EXPECT_FALSE(report.certificate.has_value());
            continue;
        }
        // What the server showed is the certificate on its disk, and the operator sees it all.
        ASSERT_TRUE(report.certificate);
        EXPECT_EQ(report.certificate->publicKeyPin, expected->publicKeyPin);
        EXPECT_EQ(report.certificate->sha256Fingerprint, expected->sha256Fingerprint);
        EXPECT_EQ(report.certificate->subject, u"CN=tarvogate untrusted test server"_s);
        for (const QString& shown :
             {expected->sha256Fingerprint, expected->issuer, expected->validUntil.toString(u"yyyy-MM-dd"_s)})
            EXPECT_TRUE(report.text.contains(shown)) << shown.toStdString();
    }
}

TEST_F(TrustedCertificateTest, SmtpTestSaysWhatIsWrongInPlainWords)
{
    const struct
    {
        const char* name;
        bool trustedHost;
        QString portKey;
        int authenticationType;
        QString password;
        Outcome outcome;
        QString says;
    } cases[] = {
        {"no login needed", true, u"SMTP_PORT"_s, 0, {}, Outcome::LoggedIn, u"without a login"_s},
        {"AUTH PLAIN over TLS", true, u"SMTPS_PORT"_s, 3, {}, Outcome::LoggedIn, u"over TLS and logged in as"_s},
        {"AUTH LOGIN after STARTTLS", true, u"SMTP_AUTH_PORT"_s, 2, {}, Outcome::LoggedIn, u"logged in as"_s},
        {"wrong password", true, u"SMTPS_PORT"_s, 3, u"not-it"_s, Outcome::WrongPassword, u"refused"_s},
        {"no STARTTLS where a login goes",
         true,
         u"SMTP_PLAIN_AUTH_PORT"_s,
         2,
         {},
         Outcome::NoTls,
         u"offers no STARTTLS, so the password was not sent"_s},
        {"POP3 login before sending",
         true,
         u"SMTP_PORT"_s,
         1,
         {},
         Outcome::LoggedIn,
         u"The POP3 login before sending worked too."_s},
        {"self-signed",
         false,
         u"SMTPS_PORT"_s,
         3,
         {},
         Outcome::UntrustedCertificate,
         u"is not trusted by this computer"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mail::SmtpServer server;
        server.server = c.trustedHost ? trusted : untrusted;
        server.port = servers.port(c.portKey);
        server.authenticationRequired = c.authenticationType != 0;
        server.authenticationType = c.authenticationType;
        server.userName = c.authenticationType == 1 ? servers.value(u"MAILBOX_USER"_s) : servers.value(u"SMTP_USER"_s);
        server.password = !c.password.isEmpty()       ? c.password
                          : c.authenticationType == 1 ? servers.value(u"MAILBOX_PASSWORD"_s)
                                                      : servers.value(u"SMTP_PASSWORD"_s);
        server.pop3Port = servers.port(u"POP3S_PORT"_s);
        const auto report = mail::testSmtpConnection(server, 5000, nullptr, [](const QString&) {});
        EXPECT_EQ(report.outcome, c.outcome) << report.text.toStdString();
        EXPECT_TRUE(report.text.contains(c.says)) << report.text.toStdString();
    }
}

TEST_F(TrustedCertificateTest, SelfSignedMailboxIsUsedOnceItsCertificateIsTrusted)
{
    ASSERT_TRUE(mailbox.deliver(TestMailbox::request(u"alice"_s, u"s3cret"_s, u"+15550100"_s, u"Hi"_s)));
    poll();
    EXPECT_TRUE(logged(u"**ERROR** WebMail - To - SMS Error While Checking"_s)) << log.join(u'\n').toStdString();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);

    trust(testMailbox(untrusted));
    log.clear();
    poll();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+15550100'"_s), 1)
        << log.join(u'\n').toStdString();
    EXPECT_EQ(mailbox.count(), 0);
    // Trusted for that host and port only: the name as typed another time finds it too.
    EXPECT_FALSE(
        mail::trustedKeyFor(db, u" "_s + untrusted.toUpper() + u" "_s, servers.port(u"POP3S_PORT"_s)).isEmpty());
    EXPECT_TRUE(mail::trustedKeyFor(db, untrusted, servers.port(u"POP3_PORT"_s)).isEmpty());
}

TEST_F(TrustedCertificateTest, ChangedKeyIsRefusedUntilTheNewOneIsTrusted)
{
    // What was trusted before is another key than the one the server shows now.
    const auto old = mail::describeCertificate(fileContents(servers.value(u"CA_FILE"_s)));
    ASSERT_TRUE(old);
    const int port = servers.port(u"POP3S_PORT"_s);
    ASSERT_TRUE(
        store::TrustedKeyTable(db).trust({untrusted, port, old->publicKeyPin, old->subject, {}, {}}, clock.now()));
    ASSERT_TRUE(mailbox.deliver(TestMailbox::request(u"alice"_s, u"s3cret"_s, u"+15550100"_s, u"Hi"_s)));
    poll();
    EXPECT_TRUE(logged(mail::keyChangedText(untrusted, port))) << log.join(u'\n').toStdString();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);
    EXPECT_EQ(mailbox.count(), 1);

    const auto report = testMailbox(untrusted);
    EXPECT_EQ(report.outcome, Outcome::KeyChanged) << report.text.toStdString();
    EXPECT_TRUE(report.text.contains(u"is not the one that was trusted"_s));
    trust(report);
    log.clear();
    poll();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 1) << log.join(u'\n').toStdString();
}

TEST_F(TrustedCertificateTest, SmtpGatewaySendsThroughATrustedSelfSignedServer)
{
    settings.SMSSMTPServer = untrusted;
    settings.SMSSMTPPort = servers.port(u"SMTPS_PORT"_s);
    settings.SMSSMTPEmailPostfix = u"sms.example.org"_s;
    settings.SMSSMTPYourEmailAddress = u"gateway@mail.example.org"_s;
    settings.SMSSMTPFromName = u"Office"_s;
    settings.IsSMSSMTPAuthenticationRequired = true;
    settings.SMSSMTPAuthenticationType = 3;
    settings.SMSSMTPUserName = servers.value(u"SMTP_USER"_s);
    settings.SMSSMTPPassword = servers.value(u"SMTP_PASSWORD"_s);
    mail::SmtpGateway gateway(5000);
    gateway.setTrustStore(&db);
    store::OutboxRow row;
    row.recipient = u"+15550100"_s;
    row.message = u"Pinned"_s;
    const auto send = [&] { return mail::SendEmailToSMSGateway(gateway, settings, row, [](const QString&) {}); };

    EXPECT_TRUE(send().contains(u"certificate"_s));
    mail::SmtpServer server;
    server.server = untrusted;
    server.port = settings.SMSSMTPPort;
    trust(mail::testSmtpConnection(server, 5000, nullptr, [](const QString&) {}));
    const qsizetype before = servers.delivered().size();
    EXPECT_EQ(send(), QString());
    EXPECT_TRUE(testing_support::waitUntil([&] { return servers.delivered().size() > before; }, 5000));
}

} // namespace
