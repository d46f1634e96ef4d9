#pragma once

#include "Database.h"

#include <optional>
#include <vector>

namespace store {

// Where a row stands in its list: the value of the column the list is sorted by (Null for
// NULL) and its id, which breaks ties.
struct MessageListKey
{
    QString value;
    qint64 id = 0;
};

// One page of a message list: what the message box asks for.
struct MessageListQuery
{
    bool unreadOnly = false; // Inbox only
    QString search;          // a mobile number or part of one; empty: everything
    QString sortKey;         // one of the keys the list offers; anything else sorts by the default
    int page = 1;            // from 1
    int pageSize = 100;
    // Next and Previous: the page right after the last row shown, or right before the first,
    // read from there on the list's index instead of counting rows off from the start. Without
    // a search only; `page` still says which page that is.
    std::optional<MessageListKey> after;
    std::optional<MessageListKey> before;
};

struct MessageListRow
{
    qint64 id = 0;
    QString number;
    QString message;
    QString date;   // InboxDateTime, OutBoxDateTime or DeliveryDatetime
    QString status; // Outbox: DeliveryStatus
    bool isRead = true;
    MessageListKey key; // for the page after or before this row
};

struct MessageListPage
{
    std::vector<MessageListRow> rows;
    qint64 total = 0; // rows of the whole listing, all pages
};

// The search condition on a number column: ten or more characters compare the last ten,
// shorter ones are looked for anywhere; "%" and "_" typed by the operator match themselves.
// Returns the SQL (with ?n for the value) and the value to bind.
struct SearchCondition
{
    QString sql;
    QString value;
};
SearchCondition numberSearch(const QString& column, const QString& search, int parameter);

// The folders' lists, paged in the store. The whole folder's total is the kept count; a page
// is read from the nearer end of the list's index, or from a row's key on; a search counts
// and pages its matches on the number index.
std::expected<MessageListPage, StoreError> inboxPage(const Database& db, const MessageListQuery& query);
std::expected<MessageListPage, StoreError> outboxPage(const Database& db, const MessageListQuery& query);
std::expected<MessageListPage, StoreError> sentPage(const Database& db, const MessageListQuery& query);

} // namespace store
