#pragma once

#include "Database.h"

#include <QDate>
#include <QDateTime>

namespace store {

// MissedCallStatistics: one row per incoming call.
class CallTable
{
public:
    explicit CallTable(const Database& db) : m_db(db) {}

    // A Null callerNumber stays Null: the modem gave no number.
    std::expected<qint64, StoreError> insert(const QDateTime& when, const QString& callerNumber,
                                             bool isMissedCall = true);
    std::expected<qint64, StoreError> countMissedOn(const QDate& day) const;

private:
    const Database& m_db;
};

} // namespace store
