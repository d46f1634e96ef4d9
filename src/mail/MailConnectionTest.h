#pragma once

#include "Pop3Mailbox.h"
#include "ServerCertificate.h"
#include "SmtpGateway.h"

namespace mail {

// What "Test connection" found, in the operator's words.
struct ConnectionReport
{
    enum class Outcome
    {
        LoggedIn,
        WrongPassword,
        NoTls,
        // The system does not trust the certificate; trusting it pins its key.
        UntrustedCertificate,
        // A key trusted before is no longer the server's.
        KeyChanged,
        Failed,
        Cancelled,
    };
    Outcome outcome = Outcome::Failed;
    QString text;
    QString host;
    int port = 0;
    // The server's certificate, for the two certificate outcomes.
    std::optional<CertificateDetails> certificate;
};

// Logs in to the mailbox as a poll would, reads nothing and deletes nothing. When the
// certificate is the trouble, a second connection (without credentials) fetches it.
ConnectionReport testPop3Connection(const Pop3Mailbox::Account& account,
                                    const std::function<void(const QString&)>& progress);
// Connects and logs in as a send would (with the POP3 login first when that is the method), and
// sends no message.
ConnectionReport testSmtpConnection(const SmtpServer& server, int timeoutMs, const std::atomic<bool>* abort,
                                    const std::function<void(const QString&)>& progress);

} // namespace mail
