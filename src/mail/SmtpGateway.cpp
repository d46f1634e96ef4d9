#include "SmtpGateway.h"

#include "Pop3Mailbox.h"
#include "ServerCertificate.h"
#include "WebMailRequest.h"

#include <curl/curl.h>

#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace mail {

namespace {

QString errorText(const TransferError& error)
{
    return u"Error "_s + QString::number(error.code) + u": "_s + error.description + u"\r\n"_s;
}

QString noAuthenticationText()
{
    return u"The SMTP server offers no authentication; the message was not sent."_s;
}

QString unencryptedLoginWarning(const QString& protocol, const QString& host, int port, const QString& tlsPort)
{
    return u"**WARNING** The %1 login to %2:%3 went out unencrypted, because 'Allow unencrypted login' is ticked "
           u"for this server: anyone on the way can read the password. Use port %4 or a server that offers "
           u"STARTTLS, and untick the box."_s.arg(protocol, host, QString::number(port), tlsPort);
}

} // namespace

bool offersAuthentication(const QStringList& capabilities)
{
    for (const QString& keyword : capabilities) {
        if (keyword.startsWith(u"AUTH "_s) || keyword.startsWith(u"AUTH="_s))
            return true;
    }
    return false;
}

QString SmtpGateway::trustedKeyFor(const QString& host, int port) const
{
    return m_trustStore != nullptr ? mail::trustedKeyFor(*m_trustStore, host, port) : QString();
}

QString smsSenderName(const QString& rowFromName, const QString& defaultFromName)
{
    const QString name = store::trimBlanks(rowFromName);
    return name.isEmpty() ? defaultFromName : name;
}

QString smsSenderAddress(const QString& senderName, const QString& maskingDomain, const QString& yourEmailAddress)
{
    return maskingDomain.isEmpty() ? yourEmailAddress : senderName + u"@"_s + maskingDomain;
}

QString smsRecipientAddress(const QString& mobileNumber, const QString& postfix)
{
    return store::trimBlanks(mobileNumber) + u"@"_s + postfix;
}

std::optional<TransferError> SmtpGateway::popBeforeSmtp(const SmtpServer& server,
                                                        const std::function<void(const QString&)>& status)
{
    // A POP3 session of its own: the SMTP session's connection stays as it is.
    Pop3Mailbox pop({server.server, server.pop3Port, server.userName, server.password, m_timeoutMs, m_abortFlag,
                     server.allowPlainLogin, nullptr, server.pop3PinnedKey,
                     popBeforeSmtpNoTlsAdvice(server.server, server.pop3Port)});
    auto error = pop.checkLogin();
    if (pop.sentCredentialsInClear())
        status(unencryptedLoginWarning(u"POP3"_s, server.server, server.pop3Port, u"995"_s));
    return error;
}

void SmtpGateway::prepare(const SmtpServer& server, bool smtpAuth)
{
    const Protection protection = protectionFor(server.port, 465, smtpAuth, server.allowPlainLogin);
    // A cached connection opened under another protection (a plain one while the operator still
    // allowed it) or another trusted key must not carry this send.
    if ((m_lastProtection && *m_lastProtection != protection) || m_lastPinnedKey != server.pinnedKey)
        m_session.close();
    m_lastProtection = protection;
    m_lastPinnedKey = server.pinnedKey;
    m_session.reset();
    CURL* curl = m_session.handle();
    // The URL's path names us in EHLO.
    QString helo = QSysInfo::machineHostName();
    if (helo.isEmpty())
        helo = u"localhost"_s;
    const QByteArray url = serverUrl(u"smtp"_s, protection, server.server, server.port, helo);
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    m_session.setProtection(
        protection,
        u"The SMTP server %1:%2 offers no STARTTLS, so the password was not sent. Use port 465 "
        u"(TLS from the start) or a port where the server offers STARTTLS, or tick 'Allow "
        u"unencrypted login (not recommended)' in the advanced SMTP SMS gateway settings."_s.arg(server.server)
            .arg(server.port));
    m_session.setPinnedKey(server.pinnedKey, keyChangedText(server.server, server.port));
    m_session.setIdleTimeout(m_timeoutMs);
    if (smtpAuth) {
        // libcurl keeps its own copies of these.
        curl_easy_setopt(curl, CURLOPT_USERNAME, server.userName.toUtf8().constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, server.password.toUtf8().constData());
        curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, server.authenticationType == 2 ? "AUTH=LOGIN" : "AUTH=PLAIN");
    }
}

QString SmtpGateway::send(const SmtpServer& server, const QString& sender, const QString& recipient,
                          const QByteArray& message, const std::function<void(const QString&)>& status)
{
    const bool authenticate = server.authenticationRequired && server.authenticationType != 0;
    if (authenticate && server.authenticationType == 1) {
        status(u"Logging in to the POP3 server %1:%2 before sending."_s.arg(server.server).arg(server.pop3Port));
        if (auto error = popBeforeSmtp(server, status))
            return errorText(*error);
    }

    const bool smtpAuth = authenticate && (server.authenticationType == 2 || server.authenticationType == 3);
    prepare(server, smtpAuth);
    CURL* curl = m_session.handle();
    const QByteArray from = (u"<"_s + sender + u">"_s).toUtf8();
    const QByteArray to = (u"<"_s + recipient + u">"_s).toUtf8();
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_slist* recipients = curl_slist_append(nullptr, to.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    m_session.upload = message;

    // libcurl sends without logging in when the server offers no AUTH at all; a gateway that
    // requires a login must not have its messages go out unauthenticated.
    bool authMissing = false;
    m_session.onUpload = [&] {
        authMissing = smtpAuth && !offersAuthentication(m_session.capabilities);
        return !authMissing;
    };

    status(u"Connecting to the SMTP server %1:%2."_s.arg(server.server).arg(server.port));
    const auto error = m_session.perform();
    curl_slist_free_all(recipients);

    // One status line per step the session went through, in their order.
    for (const QString& command : m_session.commandsSent) {
        if (command.startsWith(u"AUTH"_s))
            status(u"Authenticating as %1."_s.arg(server.userName));
        else if (command.startsWith(u"MAIL FROM"_s))
            status(u"Sending the message to %1."_s.arg(recipient));
    }
    if (m_session.sentCredentialsInClear())
        status(unencryptedLoginWarning(u"SMTP"_s, server.server, server.port, u"465"_s));
    if (authMissing)
        return errorText({530, noAuthenticationText()});
    if (error)
        return errorText(*error);
    status(u"Message to %1 accepted by the SMTP server."_s.arg(recipient));
    return {};
}

std::optional<TransferError> SmtpGateway::checkLogin(const SmtpServer& server,
                                                     const std::function<void(const QString&)>& status)
{
    const bool authenticate = server.authenticationRequired && server.authenticationType != 0;
    if (authenticate && server.authenticationType == 1) {
        status(u"Logging in to the POP3 server %1:%2 before sending."_s.arg(server.server).arg(server.pop3Port));
        if (auto error = popBeforeSmtp(server, status))
            return error;
    }
    const bool smtpAuth = authenticate && (server.authenticationType == 2 || server.authenticationType == 3);
    prepare(server, smtpAuth);
    curl_easy_setopt(m_session.handle(), CURLOPT_CUSTOMREQUEST, "NOOP");
    status(u"Connecting to the SMTP server %1:%2."_s.arg(server.server).arg(server.port));
    auto error = m_session.perform();
    if (m_session.sentCredentialsInClear())
        status(unencryptedLoginWarning(u"SMTP"_s, server.server, server.port, u"465"_s));
    if (!error && smtpAuth && !offersAuthentication(m_session.capabilities))
        return TransferError{530,
                             u"The SMTP server %1:%2 offers no authentication (AUTH), though the settings require a "
                             u"login. Untick 'SMTP Authentication Required?' if the server takes mail without one."_s
                                 .arg(server.server)
                                 .arg(server.port),
                             0};
    return error;
}

int popBeforeSmtpPort(const QString& smtpServer, const QString& mailboxServer, const QString& mailboxPort)
{
    const std::optional<int> port = store::portNumber(mailboxPort);
    return port && store::trimBlanks(mailboxServer).compare(store::trimBlanks(smtpServer), Qt::CaseInsensitive) == 0
               ? *port
               : 110;
}

QString popBeforeSmtpNoTlsAdvice(const QString& host, int port)
{
    return u"The POP3 server %1:%2 (the login before sending) offers no STLS, so the password was not sent. Use "
           u"POP3 port 995 (TLS from the start), or tick 'Allow unencrypted login (not recommended)' in the advanced "
           u"SMTP SMS gateway settings."_s.arg(host)
        .arg(port);
}

QString smtpPortRefusedText()
{
    return u"Error 0: The SMTP port is not a whole number from 1 to 65535, so no e-mail is sent. Correct the port in "
           u"the settings.\r\n"_s;
}

QString SendEmailToSMSGateway(SmtpGateway& gateway, const store::GatewaySettings& settings, const store::OutboxRow& row,
                              const std::function<void(const QString&)>& log)
{
    // The same cleaning as for numbers taken from an e-mail request, so a line break or a blank
    // typed elsewhere never reaches RCPT TO.
    const QString number = cleanMobileNumber(row.recipient);
    if (!store::isSendableNumber(number))
        return u"Error 0: '%1' is not a mobile number; no e-mail is sent for it.\r\n"_s.arg(row.recipient.trimmed());
    if (settings.SMSSMTPPort < 1 || settings.SMSSMTPPort > 65535) {
        const QString refused = smtpPortRefusedText();
        log(refused.trimmed());
        return refused;
    }
    const QString name = smsSenderName(row.fromName, settings.SMSSMTPFromName);
    const QString sender = smsSenderAddress(name, settings.MaskingDomain, settings.SMSSMTPYourEmailAddress);
    const QString recipient = smsRecipientAddress(number, settings.SMSSMTPEmailPostfix);
    log(u"Sending SMS to "_s + recipient + u" using external SMS gateway '"_s + settings.SMSSMTPServer +
        u"' using Encode-Type: "_s + QString::number(settings.SMSSMTPEncodeType));

    OutgoingMail mail;
    mail.from = sender;
    mail.to = recipient;
    mail.subject = QString(u""_s);
    mail.body = store::trimBlanks(row.message);
    mail.encodeType = settings.SMSSMTPEncodeType == 1 ? EncodeType::UuEncode : EncodeType::Mime;

    SmtpServer server;
    server.server = settings.SMSSMTPServer;
    server.port = settings.SMSSMTPPort;
    server.authenticationRequired = settings.IsSMSSMTPAuthenticationRequired;
    server.authenticationType = settings.SMSSMTPAuthenticationType;
    if (server.authenticationRequired) {
        server.userName = settings.SMSSMTPUserName;
        server.password = settings.SMSSMTPPassword;
    }
    server.allowPlainLogin = settings.SMSSMTPAllowPlainLogin;
    server.pinnedKey = gateway.trustedKeyFor(server.server, server.port);
    server.pop3Port = popBeforeSmtpPort(settings.SMSSMTPServer, settings.POP3MailServer, settings.POP3Port);
    server.pop3PinnedKey = gateway.trustedKeyFor(server.server, server.pop3Port);
    return gateway.send(server, sender, recipient, buildMail(mail), log);
}

} // namespace mail
