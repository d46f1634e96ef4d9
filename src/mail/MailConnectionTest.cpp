#include "MailConnectionTest.h"

#include <curl/curl.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mail {

namespace {

using Outcome = ConnectionReport::Outcome;

// A second connection, without credentials, that accepts any certificate only to show it.
std::expected<CertificateDetails, QString> fetchCertificate(const QString& plainScheme, int implicitTlsPort,
                                                            const QString& host, int port, int timeoutMs,
                                                            const std::atomic<bool>* abort)
{
    CurlSession session;
    session.setAbortFlag(abort);
    session.reset();
    const Protection protection = protectionFor(port, implicitTlsPort, true, false);
    const QByteArray url = serverUrl(plainScheme, protection, host, port);
    curl_easy_setopt(session.handle(), CURLOPT_URL, url.constData());
    session.setProtection(protection, u"The server offers no TLS."_s);
    session.setIdleTimeout(timeoutMs);
    session.setCertificateProbe();
    const auto error = session.perform();
    if (auto details = describeCertificate(session.peerCertificate()))
        return *details;
    return std::unexpected(error ? error->description : u"the server sent no certificate"_s);
}

struct Server
{
    QString plainScheme;
    int implicitTlsPort;
    QString host;
    int port;
    int timeoutMs;
    const std::atomic<bool>* abort;
};

ConnectionReport reportOf(const Server& server, const std::optional<TransferError>& error, const QString& loggedIn,
                          const std::function<void(const QString&)>& progress)
{
    ConnectionReport report;
    report.host = server.host;
    report.port = server.port;
    const QString where = u"%1:%2"_s.arg(server.host).arg(server.port);
    if (!error) {
        report.outcome = Outcome::LoggedIn;
        report.text = loggedIn;
        return report;
    }
    switch (error->transferCode) {
    case CURLE_ABORTED_BY_CALLBACK:
        report.outcome = server.abort != nullptr && server.abort->load() ? Outcome::Cancelled : Outcome::Failed;
        report.text = u"The test of %1 was cancelled."_s.arg(where);
        return report;
    case CURLE_LOGIN_DENIED:
        report.outcome = Outcome::WrongPassword;
        report.text = u"%1 refused the user name or the password: %2"_s.arg(where, error->description);
        return report;
    case CURLE_USE_SSL_FAILED:
        report.outcome = Outcome::NoTls;
        report.text = error->description;
        return report;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        break;
    default:
        report.outcome = Outcome::Failed;
        report.text =
            u"The connection to %1 failed. Error %2: %3"_s.arg(where).arg(error->code).arg(error->description);
        return report;
    }

    const bool changed = error->transferCode == CURLE_SSL_PINNEDPUBKEYNOTMATCH;
    progress(u"Reading the certificate of %1."_s.arg(where));
    auto certificate = fetchCertificate(server.plainScheme, server.implicitTlsPort, server.host, server.port,
                                        server.timeoutMs, server.abort);
    if (!certificate) {
        report.outcome = server.abort != nullptr && server.abort->load() ? Outcome::Cancelled : Outcome::Failed;
        report.text = u"The certificate of %1 is not trusted (%2), and it could not be read: %3"_s.arg(
            where, error->description, certificate.error());
        return report;
    }
    report.outcome = changed ? Outcome::KeyChanged : Outcome::UntrustedCertificate;
    report.certificate = *certificate;
    const QString why =
        changed ? u"The certificate of %1 is not the one that was trusted: the server shows "
                  u"another key."_s.arg(where)
                : u"The certificate of %1 is not trusted by this computer (%2)."_s.arg(where, error->description);
    report.text = why + u"\n\n"_s + certificateText(*certificate) +
                  u"\n\nTrust it only if the fingerprint is the one the mail server's administrator gives you. From "
                  u"then on the gateway accepts this certificate's key at %1, and no other."_s.arg(where);
    return report;
}

} // namespace

ConnectionReport testPop3Connection(const Pop3Mailbox::Account& account,
                                    const std::function<void(const QString&)>& progress)
{
    progress(u"Connecting to the POP3 server %1:%2 and logging in as %3."_s.arg(account.server)
                 .arg(account.port)
                 .arg(account.userName));
    Pop3Mailbox mailbox(account);
    const auto error = mailbox.checkLogin();
    const QString loggedIn =
        mailbox.sentCredentialsInClear()
            ? u"Connected to %1:%2 and logged in as %3, without TLS: 'Allow unencrypted login' is ticked."_s
            : u"Connected to %1:%2 over TLS and logged in as %3."_s;
    mailbox.close();
    return reportOf({u"pop3"_s, 995, account.server, account.port, account.timeoutMs, account.abort}, error,
                    loggedIn.arg(account.server).arg(account.port).arg(account.userName), progress);
}

ConnectionReport testSmtpConnection(const SmtpServer& server, int timeoutMs, const std::atomic<bool>* abort,
                                    const std::function<void(const QString&)>& progress)
{
    SmtpServer smtpOnly = server;
    const bool authenticate = server.authenticationRequired && server.authenticationType != 0;
    // The login before sending is a mailbox login of its own, reported as such.
    if (authenticate && server.authenticationType == 1) {
        ConnectionReport pop = testPop3Connection(
            {server.server, server.pop3Port, server.userName, server.password, timeoutMs, abort, server.allowPlainLogin,
             nullptr, server.pop3PinnedKey, popBeforeSmtpNoTlsAdvice(server.server, server.pop3Port)},
            progress);
        if (pop.outcome != Outcome::LoggedIn)
            return pop;
        smtpOnly.authenticationRequired = false;
    }
    const bool smtpAuth = authenticate && (server.authenticationType == 2 || server.authenticationType == 3);
    SmtpGateway gateway(timeoutMs);
    gateway.followAbortFlag(abort);
    QStringList steps;
    const auto error = gateway.checkLogin(smtpOnly, [&](const QString& line) {
        steps << line;
        progress(line);
    });
    const bool inClear =
        std::ranges::any_of(steps, [](const QString& line) { return line.startsWith(u"**WARNING**"_s); });
    QString loggedIn;
    if (!smtpAuth)
        loggedIn = u"Connected to %1:%2; the server took the connection without a login."_s.arg(server.server)
                       .arg(server.port);
    else
        loggedIn = (inClear ? u"Connected to %1:%2 and logged in as %3, without TLS: 'Allow unencrypted login' is "
                              u"ticked."_s
                            : u"Connected to %1:%2 over TLS and logged in as %3."_s)
                       .arg(server.server)
                       .arg(server.port)
                       .arg(server.userName);
    if (authenticate && server.authenticationType == 1)
        loggedIn += u" The POP3 login before sending worked too."_s;
    return reportOf({u"smtp"_s, 465, server.server, server.port, timeoutMs, abort}, error, loggedIn, progress);
}

} // namespace mail
