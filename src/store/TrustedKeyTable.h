#pragma once

#include "Database.h"

#include <QDateTime>

namespace store {

// A mail server certificate the operator accepted although the system does not trust it: its
// public key, pinned for one host and port. The host is kept lower-cased and trimmed, so a
// retyped "Mail.Example.com " finds the same key.
struct TrustedKeyRow
{
    QString host;
    int port = 0;
    QString publicKeyPin; // "sha256//" and the base64 SHA-256 of the key, as libcurl takes it
    QString subject;
    QString fingerprint; // SHA-256 of the whole certificate, for the operator to compare
    QString trustedOn;
};

// MailServer_TrustedKeys.
class TrustedKeyTable
{
public:
    explicit TrustedKeyTable(const Database& db) : m_db(db) {}

    // The trusted row for host and port, if the operator trusted one there.
    std::expected<std::optional<TrustedKeyRow>, StoreError> find(const QString& host, int port) const;
    // Trusting again replaces the key trusted before.
    std::expected<void, StoreError> trust(const TrustedKeyRow& row, const QDateTime& when);
    std::expected<void, StoreError> forget(const QString& host, int port);

private:
    const Database& m_db;
};

} // namespace store
