#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace store {
class Database;
}

namespace mail {

// What an operator needs to decide whether to trust a server's certificate, and the pin that
// trusting it stores.
struct CertificateDetails
{
    QString subject;
    QString issuer;
    QDateTime validFrom;
    QDateTime validUntil;
    QString sha256Fingerprint; // of the whole certificate: "AB:CD:…", as browsers show it
    QString publicKeyPin;      // "sha256//" and the base64 SHA-256 of its public key
};

// Reads one PEM certificate; nothing when it is not one.
std::optional<CertificateDetails> describeCertificate(const QByteArray& pem);

// The key the operator trusted for host and port, or the empty text. A store that cannot be
// read gives none: the system's trust store then decides, which never lets more through.
QString trustedKeyFor(const store::Database& db, const QString& host, int port);

// The details as the "Test connection" answer shows them, one per line.
QString certificateText(const CertificateDetails& details);

} // namespace mail
