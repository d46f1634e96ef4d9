#pragma once

#include "CurlSession.h"
#include "MailMessage.h"

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
};

// The SMTP session of the gateway: one reused libcurl handle. Port 465 is TLS from the start;
// other ports switch to TLS (STARTTLS), which must succeed before a login unless the server's
// allowPlainLogin is set. Certificates are verified against the system's trust store. Every wait
// ends after the time-out without a byte from the server, however long the whole send takes.
class SmtpGateway
{
public:
    explicit SmtpGateway(int timeoutMs = 60000) : m_timeoutMs(timeoutMs) { m_session.setAbortFlag(&m_abort); }
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }
    // May be called from any thread while the program ends: the send in progress stops within
    // about a second with an error, and no later send goes out.
    void requestAbort() { m_abort = true; }
    // The same flag for the mailbox poll, so one stop request cuts every mail transfer short.
    const std::atomic<bool>& abortFlag() const { return m_abort; }
    // The commands of the last send, credentials masked: what the server was asked.
    const QStringList& lastCommands() const { return m_session.commandsSent; }

    // Sends one message. Returns the empty text when the server accepted it, otherwise
    // "Error " + number + ": " + description + CR LF. Each step is reported through status.
    QString send(const SmtpServer& server, const QString& sender, const QString& recipient, const QByteArray& message,
                 const std::function<void(const QString&)>& status);

private:
    std::optional<TransferError> popBeforeSmtp(const SmtpServer& server,
                                               const std::function<void(const QString&)>& status);

    std::atomic<bool> m_abort = false;
    CurlSession m_session;
    std::optional<Protection> m_lastProtection;
    int m_timeoutMs;
};

// The sender's name: the row's From Name, or the default one.
QString smsSenderName(const QString& rowFromName, const QString& defaultFromName);
// With masking, the name takes the place of the local part of the gateway's own address.
QString smsSenderAddress(const QString& senderName, const QString& maskingDomain, const QString& yourEmailAddress);
QString smsRecipientAddress(const QString& mobileNumber, const QString& postfix);

// Why nothing goes to the SMTP gateway when its stored port is no port number (ends in CR LF).
QString smtpPortRefusedText();

// One outbox row as one e-mail to "<number>@<postfix>". Returns the empty text when it was
// handed to the server, otherwise the error text (ending in CR LF).
QString SendEmailToSMSGateway(SmtpGateway& gateway, const store::GatewaySettings& settings, const store::OutboxRow& row,
                              const std::function<void(const QString&)>& log);

} // namespace mail
