#pragma once

#include "Database.h"

#include <vector>

namespace store {

struct AutoReplyRow
{
    qint64 id = 0;
    QString command;
    QString reply;
};

// SMS_AutoReply and its switch in SMS_AutoReplySettings: keyword commands and their replies.
class AutoReplyTable
{
public:
    explicit AutoReplyTable(const Database& db) : m_db(db) {}

    // True only when the settings row exists and says so.
    std::expected<bool, StoreError> isSwitchedOn() const;
    std::expected<void, StoreError> setSwitchedOn(bool on);
    // In the table's order, which decides which of two matching commands answers.
    std::expected<std::vector<AutoReplyRow>, StoreError> all() const;
    std::expected<qint64, StoreError> insert(const QString& command, const QString& reply);
    // Fails, changing nothing, when the command is gone.
    std::expected<void, StoreError> update(qint64 id, const QString& command, const QString& reply);
    // All of them or, on a failure, none.
    std::expected<void, StoreError> remove(const std::vector<qint64>& ids);

private:
    const Database& m_db;
};

} // namespace store
