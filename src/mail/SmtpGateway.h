#pragma once

#include "CurlSession.h"
#include "MailMessage.h"

#include "Database.h"
#include "GatewaySettings.h"
#include "OutboxTable.h"

#include <functional>

namespace mail {

// Where and how to hand an e-mail to the SMTP server.
struct SmtpServer
{
    QString server;
    int port = 25;
    bool authenticationRequired = false;
    // 0 none, 1 a POP3 login before sending, 2 AUTH LOGIN, 3 AUTH PLAIN.
    int authenticationType = 0;
    QString userName;
    QString password;
    int pop3Port = 110; // for the POP3 login before sending
    // The operator allowed the logins (AUTH, POP3 before SMTP) without TLS where the server has none.
    bool allowPlainLogin = false;
    // The keys the operator trusted for the SMTP server and for its POP3 login ("sha256//…").
    QString pinnedKey;
    QString pop3PinnedKey;
};

// RFC 4954: the EHLO keyword "AUTH LOGIN PLAIN" lists the mechanisms.
bool offersAuthentication(const QStringList& capabilities);

// The SMTP session of the gateway: one reused libcurl handle. Port 465 is TLS from the start;
// other ports switch to TLS (STARTTLS), which must succeed before a login unless the server's
// allowPlainLogin is set. Certificates are verified against the system's trust store. Every wait
// ends after the time-out without a byte from the server, however long the whole send takes.
class SmtpGateway
{
public:
    explicit SmtpGateway(int timeoutMs = 60000) : m_timeoutMs(timeoutMs) { m_session.setAbortFlag(&m_abort); }
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }
    // May be called from any thread while the program ends: the send in progress stops within
    // about a second with an error, and no later send goes out.
    void requestAbort() { m_abort = true; }
    // The same flag for the mailbox poll, so one stop request cuts every mail transfer short.
    const std::atomic<bool>& abortFlag() const { return m_abort; }
    // Another flag ends this gateway's transfers instead of its own (a connection test's Cancel).
    void followAbortFlag(const std::atomic<bool>* flag)
    {
        m_abortFlag = flag;
        m_session.setAbortFlag(flag);
    }
    // Where the keys the operator trusted are looked up at each send; none: the system decides.
    void setTrustStore(const store::Database* db) { m_trustStore = db; }
    QString trustedKeyFor(const QString& host, int port) const;
    // The commands of the last send, credentials masked: what the server was asked.
    const QStringList& lastCommands() const { return m_session.commandsSent; }

    // Sends one message. Returns the empty text when the server accepted it, otherwise
    // "Error " + number + ": " + description + CR LF. Each step is reported through status.
    QString send(const SmtpServer& server, const QString& sender, const QString& recipient, const QByteArray& message,
                 const std::function<void(const QString&)>& status);
    // Connects and logs in as a send would, and sends nothing (NOOP): whether the server, its TLS
    // and the account work. A server that offers no AUTH where a login is required is an error.
    std::optional<TransferError> checkLogin(const SmtpServer& server, const std::function<void(const QString&)>& status);

private:
    // The session set up for this server, with its login when one is required.
    void prepare(const SmtpServer& server, bool smtpAuth);
    std::optional<TransferError> popBeforeSmtp(const SmtpServer& server,
                                               const std::function<void(const QString&)>& status);

    std::atomic<bool> m_abort = false;
    const std::atomic<bool>* m_abortFlag = &m_abort;
    CurlSession m_session;
    std::optional<Protection> m_lastProtection;
    QString m_lastPinnedKey;
    const store::Database* m_trustStore = nullptr;
    int m_timeoutMs;
};

// The sender's name: the row's From Name, or the default one.
QString smsSenderName(const QString& rowFromName, const QString& defaultFromName);
// With masking, the name takes the place of the local part of the gateway's own address.
QString smsSenderAddress(const QString& senderName, const QString& maskingDomain, const QString& yourEmailAddress);
QString smsRecipientAddress(const QString& mobileNumber, const QString& postfix);

// The port of the POP3 login before sending: the mailbox's when the mailbox lives on the SMTP
// server, else POP3's own.
int popBeforeSmtpPort(const QString& smtpServer, const QString& mailboxServer, const QString& mailboxPort);

// What to change when the POP3 server of the login before sending offers no STLS.
QString popBeforeSmtpNoTlsAdvice(const QString& host, int port);

// Why nothing goes to the SMTP gateway when its stored port is no port number (ends in CR LF).
QString smtpPortRefusedText();

// One outbox row as one e-mail to "<number>@<postfix>". Returns the empty text when it was
// handed to the server, otherwise the error text (ending in CR LF).
QString SendEmailToSMSGateway(SmtpGateway& gateway, const store::GatewaySettings& settings, const store::OutboxRow& row,
                              const std::function<void(const QString&)>& log);

} // namespace mail
