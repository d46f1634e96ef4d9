#include "MessageListQuery.h"

#include "MessageCounts.h"
#include "PageMarks.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace store {

namespace {

struct Listing
{
    QString table;
    QString idColumn;
    QString columns; // id, number, message, date, then status or IsRead
    QString numberColumn;
    QStringList conditions;
    bool withStatus = false;
    bool withRead = false;
    CountedList counted = CountedList::Inbox;
};

struct Order
{
    QString column;
    bool descending = false;
};

// Sort keys are chosen by the screen from this list; no text from a person ever reaches the
// ORDER BY.
Order orderBy(const QString& key, const QStringList& allowed, const QString& fallback)
{
    const QString chosen = allowed.contains(key, Qt::CaseInsensitive) ? key : fallback;
    const QStringList words = chosen.split(u' ');
    return {words.first(), words.size() > 1 && words.at(1).compare(u"desc"_s, Qt::CaseInsensitive) == 0};
}

// The list's order, or the same turned round (for reading from the end): ties go by id, in
// the opposite direction when turned.
QString orderSql(const Listing& listing, const Order& order, bool reversed)
{
    const bool descending = order.descending != reversed;
    return order.column + (descending ? u" desc, "_s : u", "_s) + listing.idColumn + (reversed ? u" desc"_s : u""_s);
}

// The rows after (or before) a key in the list's order. NULL sorts before every value, so a
// list holding NULL keys is paged by counting instead (see hasNullKeys).
QString keyCondition(const Listing& listing, const Order& order, bool before)
{
    const bool up = order.descending == before; // the rows wanted have greater keys
    const QString& column = order.column;
    const QString idCompare = before ? u" < ?5"_s : u" > ?5"_s;
    return up ? u"%1 >= ?4 AND (%1 > ?4 OR %2%3)"_s.arg(column, listing.idColumn, idCompare)
              : u"%1 <= ?4 AND (%1 < ?4 OR %2%3)"_s.arg(column, listing.idColumn, idCompare);
}

std::expected<bool, StoreError> hasNullKeys(const Database& db, const Listing& listing, const Order& order)
{
    QStringList conditions = listing.conditions;
    conditions << order.column + u" IS NULL"_s;
    auto found = db.prepare(u"SELECT EXISTS (SELECT 1 FROM "_s + listing.table + u" WHERE "_s +
                            conditions.join(u" AND "_s) + u")"_s)
                     .scalar();
    if (!found)
        return std::unexpected(found.error());
    return *found != 0;
}

// The key of the row `skip` rows into the list (from its end when reversed): from the list's
// marks where the store keeps them, otherwise counted off on its index alone.
std::expected<std::optional<MessageListKey>, StoreError> keyOfPlace(const Database& db, const Listing& listing,
                                                                    const Order& order, qint64 skip, bool reversed)
{
    if (const MarkedList* marked =
            findMarkedList(listing.table, listing.conditions.join(u" AND "_s), order.column, order.descending))
        return keyAtRank(db, *marked, skip, reversed);
    const QString filter =
        listing.conditions.isEmpty() ? QString() : u" WHERE "_s + listing.conditions.join(u" AND "_s);
    auto start = db.prepare(u"SELECT "_s + order.column + u", "_s + listing.idColumn + u" FROM "_s + listing.table +
                            filter + u" ORDER BY "_s + orderSql(listing, order, reversed) + u" LIMIT 1 OFFSET ?1"_s);
    start.bind(1, skip);
    auto found = start.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::optional<MessageListKey>();
    return std::optional<MessageListKey>(MessageListKey{start.text(0), start.integer(1)});
}

std::expected<MessageListPage, StoreError> runPage(const Database& db, const Listing& listing, const Order& order,
                                                   const MessageListQuery& query)
{
    QStringList conditions = listing.conditions;
    QString search;
    const QString text = query.search.trimmed();
    if (!text.isEmpty()) {
        const SearchCondition condition = numberSearch(listing.numberColumn, text, 1);
        conditions << condition.sql;
        search = condition.value;
    }
    const qint64 pageSize = std::max(query.pageSize, 1);
    const qint64 offset = qint64(std::max(query.page - 1, 0)) * pageSize;

    // A whole folder's total is kept by the store; a search counts its own rows on its index.
    std::expected<qint64, StoreError> total;
    if (search.isNull()) {
        total = keptCount(db, listing.counted);
    } else {
        auto counter =
            db.prepare(u"SELECT COUNT(*) FROM "_s + listing.table + u" WHERE "_s + conditions.join(u" AND "_s));
        counter.bind(1, search);
        total = counter.scalar();
    }
    if (!total)
        return std::unexpected(total.error());
    MessageListPage page;
    page.total = *total;

    // How the page is found: after or before a row's key; otherwise counted off from the nearer
    // end of the list (the last pages from the end, in the order turned round). A search is
    // counted off from the start: its matches are few, read on the number index.
    std::optional<MessageListKey> anchor = query.after ? query.after : query.before;
    bool reversed = !query.after && query.before;
    std::optional<bool> nulls;
    auto noNullKeys = [&]() -> std::expected<bool, StoreError> {
        if (!nulls) {
            auto found = hasNullKeys(db, listing, order);
            if (!found)
                return std::unexpected(found.error());
            nulls = *found;
        }
        return !*nulls;
    };
    bool keyed = false;
    if (search.isNull() && anchor && !anchor->value.isNull()) {
        auto usable = noNullKeys();
        if (!usable)
            return std::unexpected(usable.error());
        keyed = *usable;
    }
    qint64 skip = keyed ? 0 : offset;
    qint64 take = pageSize;
    if (!keyed) {
        reversed = false;
        if (search.isNull()) {
            if (offset >= *total)
                return page;
            if (offset * 2 > *total) {
                take = std::min(pageSize, *total - offset);
                skip = *total - offset - take;
                reversed = true;
            }
        }
        // The rows counted off are read on the index alone, for the key of the page's first
        // row (its last, read turned round); the page itself is then read from that key.
        auto usable = search.isNull() && skip > 0 ? noNullKeys() : std::expected<bool, StoreError>(false);
        if (!usable)
            return std::unexpected(usable.error());
        if (*usable) {
            auto first = keyOfPlace(db, listing, order, skip, reversed);
            if (!first)
                return std::unexpected(first.error());
            if (!*first)
                return page;
            // The key's own row belongs to the page: the id is moved one past it.
            const qint64 id = (*first)->id;
            anchor = MessageListKey{(*first)->value, reversed ? id + 1 : id - 1};
            keyed = true;
            skip = 0;
        }
    }
    if (keyed)
        conditions << keyCondition(listing, order, reversed);

    const QString where = conditions.isEmpty() ? QString() : u" WHERE "_s + conditions.join(u" AND "_s);
    auto st = db.prepare(u"SELECT "_s + listing.columns + u", "_s + order.column + u" FROM "_s + listing.table + where +
                         u" ORDER BY "_s + orderSql(listing, order, reversed) + u" LIMIT ?2 OFFSET ?3"_s);
    if (!search.isNull())
        st.bind(1, search);
    st.bind(2, take);
    st.bind(3, skip);
    if (keyed) {
        st.bind(4, anchor->value);
        st.bind(5, anchor->id);
    }
    const int keyColumn = int(listing.columns.count(u',')) + 1;
    auto rows = st.collect([&](const Statement& found) {
        MessageListRow row;
        row.id = found.integer(0);
        row.number = found.text(1);
        row.message = found.text(2);
        row.date = found.text(3);
        if (listing.withStatus)
            row.status = found.text(4);
        if (listing.withRead)
            row.isRead = found.boolean(4);
        row.key = {found.isNull(keyColumn) ? QString() : found.text(keyColumn), row.id};
        return row;
    });
    if (!rows)
        return std::unexpected(rows.error());
    page.rows = std::move(*rows);
    if (reversed)
        std::ranges::reverse(page.rows);
    return page;
}

} // namespace

SearchCondition numberSearch(const QString& column, const QString& search, int parameter)
{
    const QString text = search.trimmed();
    const QString placeholder = u"?"_s + QString::number(parameter);
    if (text.size() >= 10)
        return {u"substr("_s + column + u", -10) = substr("_s + placeholder + u", -10)"_s, text};
    QString escaped = text;
    escaped.replace(u"\\"_s, u"\\\\"_s).replace(u"%"_s, u"\\%"_s).replace(u"_"_s, u"\\_"_s);
    return {column + u" LIKE '%' || "_s + placeholder + u" || '%' ESCAPE '\\'"_s, escaped};
}

std::expected<MessageListPage, StoreError> inboxPage(const Database& db, const MessageListQuery& query)
{
    Listing listing{u"Message_InBox"_s,
                    u"InBox_Id"_s,
                    u"InBox_Id, SenderMobileNo, Message, InboxDateTime, IsRead"_s,
                    u"SenderMobileNo"_s,
                    {},
                    false,
                    true,
                    query.unreadOnly ? CountedList::InboxUnread : CountedList::Inbox};
    if (query.unreadOnly)
        listing.conditions << u"IsRead=0"_s;
    const Order order =
        orderBy(query.sortKey, {u"InboxDateTime desc"_s, u"SenderMobileNo"_s, u"Message"_s, u"InboxDateTime"_s},
                u"InboxDateTime desc"_s);
    return runPage(db, listing, order, query);
}

std::expected<MessageListPage, StoreError> outboxPage(const Database& db, const MessageListQuery& query)
{
    const Listing listing{u"Message_OutBox"_s,
                          u"Outbox_Id"_s,
                          u"Outbox_Id, RecipientMobileNo, Message, OutBoxDateTime, DeliveryStatus"_s,
                          u"RecipientMobileNo"_s,
                          {u"DeliveryDatetime IS NULL"_s},
                          true,
                          false,
                          CountedList::Outbox};
    const Order order =
        orderBy(query.sortKey, {u"OutBoxDateTime"_s, u"RecipientMobileNo"_s, u"Message"_s}, u"OutBoxDateTime"_s);
    return runPage(db, listing, order, query);
}

std::expected<MessageListPage, StoreError> sentPage(const Database& db, const MessageListQuery& query)
{
    const Listing listing{u"Message_OutBox"_s,
                          u"Outbox_Id"_s,
                          u"Outbox_Id, RecipientMobileNo, Message, DeliveryDatetime"_s,
                          u"RecipientMobileNo"_s,
                          {u"DeliveryDatetime IS NOT NULL"_s},
                          false,
                          false,
                          CountedList::Sent};
    Order order =
        orderBy(query.sortKey, {u"DeliveryDatetime"_s, u"RecipientMobileNo"_s, u"Message"_s}, u"DeliveryDatetime"_s);
    // Sent items sorted by their delivery time show the newest first.
    if (order.column.compare(u"DeliveryDatetime"_s, Qt::CaseInsensitive) == 0)
        order.descending = true;
    return runPage(db, listing, order, query);
}

} // namespace store
