#pragma once

#include "Database.h"

#include <QDateTime>

#include <vector>

namespace store {

struct OutboxRow
{
    qint64 id = 0;
    QString recipient;
    QString message;
    QDateTime queuedAt;
    QString deliveredAt; // ISO text; Null while pending
    QString status;      // Null or "" while pending, then SENDING, SENT or FAULTY NUMBER
    QString fromName;    // Null except for e-mail-to-SMS requests
    int partsConfirmed = 0; // parts of a long text the modem has confirmed
};

// Message_OutBox: pending messages and, once DeliveryDatetime is set, the sent items.
class OutboxTable
{
public:
    explicit OutboxTable(const Database& db) : m_db(db) {}

    std::expected<qint64, StoreError> insert(const QString& recipient, const QString& message,
                                             const QDateTime& queuedAt, const QString& fromName = {});
    std::expected<OutboxRow, StoreError> row(qint64 id) const;
    std::expected<qint64, StoreError> countPending() const;

    // The rows a send run takes on: not delivered, no status yet; oldest first.
    std::expected<std::vector<OutboxRow>, StoreError> pendingSnapshot() const;
    // Takes a pending row for this run. False when another run (or another gateway on the
    // same store) has taken or finished it meanwhile, so no row is ever sent twice.
    std::expected<bool, StoreError> claim(qint64 id);
    std::expected<void, StoreError> bookSent(qint64 id, const QDateTime& when);
    std::expected<void, StoreError> releaseToPending(qint64 id);
    // Remembers how many parts of a long text the modem confirmed, so a retry resumes there.
    std::expected<void, StoreError> setPartsConfirmed(qint64 id, int parts);
    std::expected<void, StoreError> markFaultyNumber(qint64 id);
    // Deletes a row of the Outbox (sent == false) or of the Sent Items (sent == true) only.
    std::expected<void, StoreError> remove(qint64 id, bool sent);
    // Rows left SENDING by a run that never finished.
    std::expected<qint64, StoreError> countSending() const;
    // Makes every SENDING row pending again, for the operator who knows no run holds them.
    std::expected<void, StoreError> resetSending();

private:
    const Database& m_db;
};

} // namespace store
