#pragma once

#include "Database.h"

#include <QDateTime>

#include <optional>

namespace store {

// Message_InBox: one row per received SMS.
class InboxTable
{
public:
    explicit InboxTable(const Database& db) : m_db(db) {}

    // IsRead is left to its default, so a new row is unread.
    std::expected<qint64, StoreError> insert(const QString& sender, const QString& message, const QDateTime& when);
    std::expected<qint64, StoreError> countUnread() const;
    // The message text, and the row marked read; nothing when the row is gone.
    std::expected<std::optional<QString>, StoreError> readMessage(qint64 id);
    std::expected<void, StoreError> remove(qint64 id);

private:
    const Database& m_db;
};

} // namespace store
