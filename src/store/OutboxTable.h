#pragma once

#include "Database.h"

#include <QDateTime>

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
};

// Message_OutBox: pending messages and, once DeliveryDatetime is set, the sent items.
class OutboxTable
{
public:
    explicit OutboxTable(const Database& db) : m_db(db) {}

    std::expected<qint64, StoreError> insert(const QString& recipient, const QString& message, const QDateTime& queuedAt,
                                             const QString& fromName = {});
    std::expected<OutboxRow, StoreError> row(qint64 id) const;
    std::expected<qint64, StoreError> countPending() const;

private:
    const Database& m_db;
};

} // namespace store
