#pragma once

#include "Database.h"

#include <QDate>

namespace store {

// The received SMS of a report's range of whole days (reportDays), for an export that reads
// them one at a time: oldest first, and by id among messages of the same second, so that two
// exports of the same range give the same file.
class InboxExportRows
{
public:
    InboxExportRows(const Database& db, const QDate& from, const QDate& to);

    // How many rows the range holds; inside the caller's read transaction this is the number
    // next() will give.
    std::expected<qint64, StoreError> count() const;

    // Advances to the next row: true while a row is there, false at the end.
    std::expected<bool, StoreError> next() { return m_rows.next(); }

    // A Null column gives a null QString.
    QString SenderMobileNo() const { return m_rows.text(0); }
    QString Message() const { return m_rows.text(1); }
    QString InboxDateTime() const { return m_rows.text(2); } // ISO text

private:
    const Database& m_db;
    QString m_from;
    QString m_until;
    Statement m_rows;
};

} // namespace store
