#include "MessageListQuery.h"

#include "MessageCounts.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// Sort keys are chosen by the screen from this list; no text from a person ever reaches the
// ORDER BY.
QString orderBy(const QString& key, const QStringList& allowed, const QString& fallback)
{
    return allowed.contains(key, Qt::CaseInsensitive) ? key : fallback;
}

std::expected<MessageListPage, StoreError> runPage(const Database& db, const QString& columns, const QString& from,
                                                   QStringList conditions, const QString& numberColumn,
                                                   const QString& order, const MessageListQuery& query, bool withStatus,
                                                   bool withRead, CountedList counted)
{
    QString search;
    const QString text = query.search.trimmed();
    if (!text.isEmpty()) {
        const SearchCondition condition = numberSearch(numberColumn, text, 1);
        conditions << condition.sql;
        search = condition.value;
    }
    const QString where = conditions.isEmpty() ? QString() : u" WHERE "_s + conditions.join(u" AND "_s);

    // A whole folder's total is kept by the store; a search counts its own rows on its index.
    std::expected<qint64, StoreError> total;
    if (search.isNull()) {
        total = keptCount(db, counted);
    } else {
        auto counter = db.prepare(u"SELECT COUNT(*) FROM "_s + from + where);
        counter.bind(1, search);
        total = counter.scalar();
    }
    if (!total)
        return std::unexpected(total.error());

    MessageListPage page;
    page.total = *total;
    auto st = db.prepare(u"SELECT "_s + columns + u" FROM "_s + from + where + u" ORDER BY "_s + order +
                         u" LIMIT ?2 OFFSET ?3"_s);
    if (!search.isNull())
        st.bind(1, search);
    st.bind(2, qint64(query.pageSize));
    st.bind(3, qint64(std::max(query.page - 1, 0)) * query.pageSize);
    auto rows = st.collect([&](const Statement& found) {
        MessageListRow row;
        row.id = found.integer(0);
        row.number = found.text(1);
        row.message = found.text(2);
        row.date = found.text(3);
        if (withStatus)
            row.status = found.text(4);
        if (withRead)
            row.isRead = found.boolean(4);
        return row;
    });
    if (!rows)
        return std::unexpected(rows.error());
    page.rows = std::move(*rows);
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
    QStringList conditions;
    if (query.unreadOnly)
        conditions << u"IsRead=0"_s;
    const QString order =
        orderBy(query.sortKey, {u"InboxDateTime desc"_s, u"SenderMobileNo"_s, u"Message"_s, u"InboxDateTime"_s},
                u"InboxDateTime desc"_s);
    return runPage(db, u"InBox_Id, SenderMobileNo, Message, InboxDateTime, IsRead"_s, u"Message_InBox"_s, conditions,
                   u"SenderMobileNo"_s, order + u", InBox_Id"_s, query, false, true,
                   query.unreadOnly ? CountedList::InboxUnread : CountedList::Inbox);
}

std::expected<MessageListPage, StoreError> outboxPage(const Database& db, const MessageListQuery& query)
{
    const QString order =
        orderBy(query.sortKey, {u"OutBoxDateTime"_s, u"RecipientMobileNo"_s, u"Message"_s}, u"OutBoxDateTime"_s);
    return runPage(db, u"Outbox_Id, RecipientMobileNo, Message, OutBoxDateTime, DeliveryStatus"_s, u"Message_OutBox"_s,
                   {u"DeliveryDatetime IS NULL"_s}, u"RecipientMobileNo"_s, order + u", Outbox_Id"_s, query, true,
                   false, CountedList::Outbox);
}

std::expected<MessageListPage, StoreError> sentPage(const Database& db, const MessageListQuery& query)
{
    QString order =
        orderBy(query.sortKey, {u"DeliveryDatetime"_s, u"RecipientMobileNo"_s, u"Message"_s}, u"DeliveryDatetime"_s);
    // Sent items sorted by their delivery time show the newest first.
    if (order.compare(u"DeliveryDatetime"_s, Qt::CaseInsensitive) == 0)
        order += u" desc"_s;
    return runPage(db, u"Outbox_Id, RecipientMobileNo, Message, DeliveryDatetime"_s, u"Message_OutBox"_s,
                   {u"DeliveryDatetime IS NOT NULL"_s}, u"RecipientMobileNo"_s, order + u", Outbox_Id"_s, query, false,
                   false, CountedList::Sent);
}

} // namespace store
