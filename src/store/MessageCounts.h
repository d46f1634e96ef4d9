#pragma once

#include "Database.h"

namespace store {

// The totals the message box and the dashboard show, kept in Message_Counts by triggers in
// the same transaction as the rows, so showing them never walks a table.
enum class CountedList
{
    Inbox,       // every inbox row
    InboxUnread, // IsRead=0
    Outbox,      // not delivered yet
    Sent,        // delivered
};

std::expected<qint64, StoreError> keptCount(const Database& db, CountedList list);

// Compares the kept totals with the rows and writes the real ones where they differ (a file
// edited by hand, counts lost with their table). Returns whether anything was rebuilt.
std::expected<bool, StoreError> reconcileCounts(const Database& db);

} // namespace store
