#pragma once

#include "Database.h"

#include <vector>

namespace store {

// One page of a message list: what the message box asks for.
struct MessageListQuery
{
    bool unreadOnly = false; // Inbox only
    QString search;          // a mobile number or part of one; empty: everything
    QString sortKey;         // one of the keys the list offers; anything else sorts by the default
    int page = 1;            // from 1
    int pageSize = 100;
};

struct MessageListRow
{
    qint64 id = 0;
    QString number;
    QString message;
    QString date;   // InboxDateTime, OutBoxDateTime or DeliveryDatetime
    QString status; // Outbox: DeliveryStatus
    bool isRead = true;
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

// The folders' lists, paged in the store (LIMIT/OFFSET and one COUNT).
std::expected<MessageListPage, StoreError> inboxPage(const Database& db, const MessageListQuery& query);
std::expected<MessageListPage, StoreError> outboxPage(const Database& db, const MessageListQuery& query);
std::expected<MessageListPage, StoreError> sentPage(const Database& db, const MessageListQuery& query);

} // namespace store
