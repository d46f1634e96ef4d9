#include "ReportQueries.h"

#include "MailSearch.h"
#include "MessageCounts.h"
#include "PageMarks.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <limits>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// A sorted report either reads its range on the date index and sorts it, which costs about a
// microsecond a row in range, or walks the sort's own index, which carries the date, stepping
// over the rows out of range on the index alone at about a twelfth of that. A page of a range
// that holds a share f of the table's rows walks pageSize / f entries, so the range is sorted
// while rows² · 12 <= pageSize · table rows, and always up to this many rows.
constexpr qint64 kSortInMemoryUpTo = 2000;
constexpr qint64 kWalkCostShare = 12;

// A report's rows in one order, ties by id (ascending, also under a descending sort), with the
// conditions every page shares. Values are bound to ?10, ?11, … in the order of `values`.
struct KeyedList
{
    QString table;
    QString idColumn;
    QString columns; // what a row shows; the sort column is read after them
    QString orderColumn;
    bool descending = false;
    // A number or a text may be NULL; a date in range never is. NULL sorts before every value,
    // so such rows open an ascending list, and a key condition alone cannot step into them.
    bool keyMayBeNull = false;
    QString countIndex; // counts the rows in range
    QString sortIndex;  // reads them in order; empty: countIndex, with a sort
    QStringList conditions;
    QStringList values;
    // Where the store keeps page marks for the list: its total, and the key at a place in it
    // (from its start), found from the marks instead of counted off the index.
    std::optional<qint64> total;
    std::optional<qint64> tableRows; // every row of the table, where known: sets where a sort walks
    std::function<std::expected<std::optional<ReportKey>, StoreError>(qint64 rank)> keyAt;
};

QString indexed(const QString& index)
{
    return index.isEmpty() ? QString() : u" INDEXED BY "_s + index;
}

QString where(const QStringList& conditions)
{
    return conditions.isEmpty() ? QString() : u" WHERE "_s + conditions.join(u" AND "_s);
}

void bindValues(Statement& st, const KeyedList& list)
{
    for (int i = 0; i < int(list.values.size()); ++i)
        st.bind(10 + i, list.values.at(i));
}

// The list's order, or the same turned round for reading from the end.
QString orderSql(const KeyedList& list, bool reversed)
{
    const bool descending = list.descending != reversed;
    return list.orderColumn + (descending ? u" DESC, "_s : u", "_s) + list.idColumn +
           (reversed ? u" DESC"_s : QString());
}

// The rows from a key on (?3 the value, ?4 the id), in the direction read; inclusive: the key's
// own row too.
QString keyCondition(const KeyedList& list, bool reversed, bool inclusive)
{
    const bool up = list.descending == reversed;
    const QString idCompare =
        reversed ? (inclusive ? u" <= ?4"_s : u" < ?4"_s) : (inclusive ? u" >= ?4"_s : u" > ?4"_s);
    return up ? u"%1 >= ?3 AND (%1 > ?3 OR %2%3)"_s.arg(list.orderColumn, list.idColumn, idCompare)
              : u"%1 <= ?3 AND (%1 < ?3 OR %2%3)"_s.arg(list.orderColumn, list.idColumn, idCompare);
}

std::expected<qint64, StoreError> countRows(const Database& db, const KeyedList& list)
{
    auto st = db.prepare(u"SELECT COUNT(*) FROM "_s + list.table + indexed(list.countIndex) + where(list.conditions));
    bindValues(st, list);
    return st.scalar();
}

std::expected<bool, StoreError> hasNullKeys(const Database& db, const KeyedList& list)
{
    QStringList conditions = list.conditions;
    conditions << list.orderColumn + u" IS NULL"_s;
    auto st = db.prepare(u"SELECT EXISTS (SELECT 1 FROM "_s + list.table + where(conditions) + u")"_s);
    bindValues(st, list);
    auto found = st.scalar();
    if (!found)
        return std::unexpected(found.error());
    return *found != 0;
}

// The key of the row `rank` rows from the start (or, reversed, from the end) of the list,
// counted off on the index alone.
std::expected<std::optional<ReportKey>, StoreError> keyAtRank(const Database& db, const KeyedList& list,
                                                              const QString& index, qint64 rank, bool reversed)
{
    auto st = db.prepare(u"SELECT "_s + list.orderColumn + u", "_s + list.idColumn + u" FROM "_s + list.table +
                         indexed(index) + where(list.conditions) + u" ORDER BY "_s + orderSql(list, reversed) +
                         u" LIMIT 1 OFFSET ?1"_s);
    st.bind(1, rank);
    bindValues(st, list);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::optional<ReportKey>();
    return std::optional<ReportKey>(ReportKey{st.isNull(0) ? QString() : st.text(0), st.integer(1)});
}

template <typename Row, typename Read>
std::expected<ReportPage<Row>, StoreError> readPage(const Database& db, const KeyedList& list,
                                                    const ReportPaging& paging, Read read)
{
    auto total = list.total ? std::expected<qint64, StoreError>(*list.total) : countRows(db, list);
    if (!total)
        return std::unexpected(total.error());
    ReportPage<Row> page;
    page.total = *total;
    const qint64 size = std::max(paging.pageSize, 1);
    const qint64 offset = qint64(std::max(paging.page, 1) - 1) * size;
    if (offset >= page.total)
        return page;
    const QString index = list.sortIndex.isEmpty() || page.total <= kSortInMemoryUpTo ||
                                  (list.tableRows && double(page.total) * double(page.total) * kWalkCostShare <=
                                                         double(size) * double(*list.tableRows))
                              ? list.countIndex
                              : list.sortIndex;

    // NULL sorts before every value, so an ascending list that holds NULL keys reads those rows
    // first (by id), then the rest; a page read on from a key may take rows from both parts.
    bool nulls = false;
    if (list.keyMayBeNull) {
        auto found = hasNullKeys(db, list);
        if (!found)
            return std::unexpected(found.error());
        nulls = *found;
    }
    std::optional<ReportKey> anchor;
    bool reversed = false;
    bool inclusive = false;
    qint64 take = size;
    qint64 skip = 0;
    if (paging.after) {
        anchor = paging.after;
    } else if (paging.before) {
        anchor = paging.before;
        reversed = true;
    } else {
        // A page by its number is counted off from the nearer end: the last pages from the end,
        // in the order turned round.
        skip = offset;
        if (offset * 2 > page.total) {
            take = std::min(size, page.total - offset);
            skip = page.total - offset - take;
            reversed = true;
        }
        if (skip > 0) {
            auto key = list.keyAt ? list.keyAt(reversed ? page.total - 1 - skip : skip)
                                  : keyAtRank(db, list, index, skip, reversed);
            if (!key)
                return std::unexpected(key.error());
            if (!key->has_value())
                return page;
            anchor = **key;
            inclusive = true;
            skip = 0;
        }
    }

    const int keyColumn = int(list.columns.count(u',')) + 1;
    // Read on from a key, the list's own bound on that side says nothing more; left for the index
    // to use, SQLite may take it instead of the key's and step over every row up to the key.
    const bool up = list.descending == reversed;
    const QString sameSide = list.orderColumn + (up ? u" >= "_s : u" < "_s);
    auto readRows = [&](const QString& condition, qint64 limit) -> std::expected<std::vector<Row>, StoreError> {
        QStringList conditions = list.conditions;
        if (anchor && !anchor->value.isNull()) {
            for (QString& bound : conditions) {
                if (bound.startsWith(sameSide))
                    bound.prepend(u'+');
            }
        }
        if (!condition.isEmpty())
            conditions << condition;
        auto st = db.prepare(u"SELECT "_s + list.columns + u", "_s + list.orderColumn + u" FROM "_s + list.table +
                             indexed(index) + where(conditions) + u" ORDER BY "_s + orderSql(list, reversed) +
                             u" LIMIT ?1 OFFSET ?2"_s);
        st.bind(1, limit);
        st.bind(2, skip);
        if (anchor) {
            st.bind(3, anchor->value);
            st.bind(4, anchor->id);
        }
        bindValues(st, list);
        return st.collect([&](const Statement& found) {
            Row row = read(found);
            row.key = {found.isNull(keyColumn) ? QString() : found.text(keyColumn), row.id};
            return row;
        });
    };
    const QString column = list.orderColumn;
    const QString idCompare =
        reversed ? (inclusive ? u" <= ?4"_s : u" < ?4"_s) : (inclusive ? u" >= ?4"_s : u" > ?4"_s);
    QString first; // where the page starts
    QString then;  // where it goes on when the first part runs out
    if (anchor && anchor->value.isNull()) {
        first = column + u" IS NULL AND "_s + list.idColumn + idCompare;
        if (!reversed)
            then = column + u" IS NOT NULL"_s;
    } else if (anchor) {
        first = keyCondition(list, reversed, inclusive);
        if (reversed && nulls)
            then = column + u" IS NULL"_s;
    }
    auto rows = readRows(first, take);
    if (!rows)
        return std::unexpected(rows.error());
    page.rows = std::move(*rows);
    if (!then.isEmpty() && qint64(page.rows.size()) < take) {
        auto more = readRows(then, take - qint64(page.rows.size()));
        if (!more)
            return std::unexpected(more.error());
        page.rows.insert(page.rows.end(), more->begin(), more->end());
    }
    if (reversed)
        std::ranges::reverse(page.rows);
    return page;
}

std::expected<int, StoreError> deleteByIds(const Database& db, const QString& sql, const std::vector<qint64>& ids)
{
    Transaction transaction(db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    auto st = db.prepare(sql);
    int deleted = 0;
    for (const qint64 id : ids) {
        st.bind(1, id);
        if (auto r = st.run(); !r)
            return std::unexpected(r.error());
        deleted += db.changes();
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return deleted;
}

KeyedList receivedSmsList(const QDate& from, const QDate& to)
{
    const DayRange days = reportDays(from, to);
    KeyedList list;
    list.table = u"Message_InBox"_s;
    list.idColumn = u"InBox_Id"_s;
    list.columns = u"InBox_Id, SenderMobileNo, Message, InboxDateTime, IsRead"_s;
    list.orderColumn = u"InboxDateTime"_s;
    list.descending = true;
    list.countIndex = u"idx_inbox_newest"_s;
    list.conditions = {u"InboxDateTime >= ?10"_s, u"InboxDateTime < ?11"_s};
    list.values = {days.from, days.until};
    return list;
}

// The key at a place in a range of days of a list sorted by another column, from the running
// totals of days its marks keep. Rows without a key open the list (by id) and are not marked;
// there are few, and the sort's index holds them together. Where the marks place fewer or more
// rows than the range holds (a date not in the store's form), the place is counted off the index.
std::function<std::expected<std::optional<ReportKey>, StoreError>(qint64 rank)>
placedInDays(const Database& db, const KeyedList& list, const MarkedList& marks, const DayRange& days)
{
    return [&db, &list, &marks, days](qint64 rank) -> std::expected<std::optional<ReportKey>, StoreError> {
        QStringList keyless = list.conditions;
        keyless << list.orderColumn + u" IS NULL"_s;
        auto count = db.prepare(u"SELECT COUNT(*) FROM "_s + list.table + indexed(list.sortIndex) + where(keyless));
        bindValues(count, list);
        auto nulls = count.scalar();
        if (!nulls)
            return std::unexpected(nulls.error());
        if (rank < *nulls) {
            auto st = db.prepare(u"SELECT "_s + list.idColumn + u" FROM "_s + list.table + indexed(list.sortIndex) +
                                 where(keyless) + u" ORDER BY "_s + list.idColumn + u" LIMIT 1 OFFSET ?1"_s);
            st.bind(1, rank);
            bindValues(st, list);
            auto found = st.next();
            if (!found)
                return std::unexpected(found.error());
            return *found ? std::optional<ReportKey>(ReportKey{QString(), st.integer(0)}) : std::optional<ReportKey>();
        }
        auto place = placeInDays(db, marks, days, rank - *nulls);
        if (!place)
            return std::unexpected(place.error());
        if (!list.total || *nulls + place->rows != *list.total)
            return keyAtRank(db, list, list.sortIndex, rank, false);
        if (!place->key)
            return std::optional<ReportKey>();
        return std::optional<ReportKey>(ReportKey{place->key->value, place->key->id});
    };
}

// A report by date from the store's page marks: how many rows the range holds is the difference
// of two places in the list, and a page's first row is a place in it too. A sort by another
// column has marks over the whole table only (`sorted`, whose rows `whole` counts), so they serve
// a range that holds every row.
std::expected<void, StoreError> useMarks(const Database& db, KeyedList& list, const DayRange& days,
                                         const MarkedList* byDate, const MarkedList* sorted = nullptr,
                                         std::optional<CountedList> whole = std::nullopt)
{
    if (byDate == nullptr)
        return {};
    // The rows before (bound, an id beyond every row's) are those before the bound in the list's
    // order: earlier days, or later ones in a list that starts with the newest.
    const qint64 edge = byDate->descending ? std::numeric_limits<qint64>::max() : 0;
    auto fromBefore = rowsBefore(db, *byDate, {days.from, edge});
    auto untilBefore = rowsBefore(db, *byDate, {days.until, edge});
    if (!fromBefore)
        return std::unexpected(fromBefore.error());
    if (!untilBefore)
        return std::unexpected(untilBefore.error());
    const qint64 total = byDate->descending ? *fromBefore - *untilBefore : *untilBefore - *fromBefore;
    qint64 first = byDate->descending ? *untilBefore : *fromBefore;
    const MarkedList* marks = byDate;
    if (sorted != nullptr) {
        if (!whole)
            return {};
        auto all = keptCount(db, *whole);
        if (!all)
            return std::unexpected(all.error());
        list.tableRows = *all;
        if (*all != total) {
            list.total = total;
            if (!sorted->dayColumn.isEmpty())
                list.keyAt = placedInDays(db, list, *sorted, days);
            return {};
        }
        marks = sorted;
        // The marks leave out rows without a key; in this ascending order they come first.
        auto keyless =
            db.prepare(u"SELECT COUNT(*) FROM %1 WHERE %2 IS NULL"_s.arg(list.table, list.orderColumn)).scalar();
        if (!keyless)
            return std::unexpected(keyless.error());
        first = -*keyless;
    }
    list.total = total;
    list.keyAt = [&db, &list, marks, first](qint64 rank) -> std::expected<std::optional<ReportKey>, StoreError> {
        if (first + rank < 0) {
            auto st = db.prepare(u"SELECT %1 FROM %2 WHERE %3 IS NULL ORDER BY %1 LIMIT 1 OFFSET ?1"_s.arg(
                list.idColumn, list.table, list.orderColumn));
            st.bind(1, rank);
            auto found = st.next();
            if (!found)
                return std::unexpected(found.error());
            return *found ? std::optional<ReportKey>(ReportKey{QString(), st.integer(0)}) : std::optional<ReportKey>();
        }
        auto key = keyAtRank(db, *marks, first + rank);
        if (!key)
            return std::unexpected(key.error());
        if (!key->has_value())
            return std::optional<ReportKey>();
        return std::optional<ReportKey>(ReportKey{(*key)->value, (*key)->id});
    };
    return {};
}

std::expected<void, StoreError> useInboxMarks(const Database& db, KeyedList& list, const DayRange& days)
{
    const MarkedList* byDate = findMarkedList(list.table, QString(), u"InboxDateTime"_s, true);
    if (list.orderColumn == u"InboxDateTime"_s)
        return useMarks(db, list, days, byDate);
    const MarkedList* sorted = findMarkedList(list.table, QString(), list.orderColumn, false);
    return sorted == nullptr ? std::expected<void, StoreError>()
                             : useMarks(db, list, days, byDate, sorted, CountedList::Inbox);
}

} // namespace

DayRange reportDays(const QDate& from, const QDate& to)
{
    return dayRange(from, to);
}

QString likeAnywhere(const QString& prefix, const QString& text)
{
    QString escaped = prefix + text;
    escaped.replace(u"\\"_s, u"\\\\"_s).replace(u"%"_s, u"\\%"_s).replace(u"_"_s, u"\\_"_s);
    return u"%"_s + escaped + u"%"_s;
}

std::expected<ReportPage<CallLogRow>, StoreError> missedCallsPage(const Database& db, const QDate& from,
                                                                  const QDate& to, const ReportPaging& paging)
{
    const DayRange days = reportDays(from, to);
    KeyedList list;
    list.table = u"MissedCallStatistics"_s;
    list.idColumn = u"id"_s;
    list.columns = u"id, callDateTime, callerNumber"_s;
    list.orderColumn = u"callDateTime"_s;
    list.countIndex = u"idx_calls_missed_date"_s;
    list.conditions = {u"IsMissCall<>0"_s, u"callDateTime >= ?10"_s, u"callDateTime < ?11"_s};
    list.values = {days.from, days.until};
    if (auto marked = useMarks(db, list, days, findMarkedList(list.table, u"IsMissCall<>0"_s, list.orderColumn, false));
        !marked)
        return std::unexpected(marked.error());
    return readPage<CallLogRow>(db, list, paging, [](const Statement& found) {
        CallLogRow row;
        row.id = found.integer(0);
        row.callDateTime = found.text(1);
        row.callerNumber = found.text(2);
        return row;
    });
}

std::expected<int, StoreError> deleteCalls(const Database& db, const std::vector<qint64>& ids)
{
    return deleteByIds(db, u"DELETE FROM MissedCallStatistics WHERE id=?1"_s, ids);
}

std::expected<ReportPage<ReceivedSmsRow>, StoreError> receivedSmsPage(const Database& db, const QDate& from,
                                                                      const QDate& to, const QString& sortKey,
                                                                      const ReportPaging& paging)
{
    KeyedList list = receivedSmsList(from, to);
    // Sort keys come from the screen's headers; no typed text reaches the ORDER BY.
    if (sortKey.compare(u"SenderMobileNo"_s, Qt::CaseInsensitive) == 0) {
        list.orderColumn = u"SenderMobileNo"_s;
        list.descending = false;
        list.keyMayBeNull = true;
        list.sortIndex = u"idx_inbox_sender_dated"_s;
    } else if (sortKey.compare(u"Message"_s, Qt::CaseInsensitive) == 0) {
        list.orderColumn = u"Message"_s;
        list.descending = false;
        list.keyMayBeNull = true;
        list.sortIndex = u"idx_inbox_message_dated"_s;
    }
    if (auto marked = useInboxMarks(db, list, reportDays(from, to)); !marked)
        return std::unexpected(marked.error());
    return readPage<ReceivedSmsRow>(db, list, paging, [](const Statement& found) {
        ReceivedSmsRow row;
        row.id = found.integer(0);
        row.number = found.text(1);
        row.message = found.text(2);
        row.date = found.text(3);
        row.isRead = found.boolean(4);
        return row;
    });
}

std::expected<qint64, StoreError> countReceivedSms(const Database& db, const QDate& from, const QDate& to)
{
    KeyedList list = receivedSmsList(from, to);
    if (auto marked = useInboxMarks(db, list, reportDays(from, to)); !marked)
        return std::unexpected(marked.error());
    return list.total ? std::expected<qint64, StoreError>(*list.total) : countRows(db, list);
}

std::expected<int, StoreError> deleteReceivedSms(const Database& db, const std::vector<qint64>& ids)
{
    return deleteByIds(db, u"DELETE FROM Message_InBox WHERE InBox_Id=?1"_s, ids);
}

std::expected<ReportPage<MailInboxRow>, StoreError> mailInboxPage(const Database& db, const MailInboxFilter& filter,
                                                                  const ReportPaging& paging, qint64 fewMails)
{
    const DayRange days = reportDays(filter.from, filter.to);
    KeyedList list;
    list.table = u"WebMailToSMS_MessagesReceived"_s;
    list.idColumn = u"id"_s;
    list.columns = u"id, EmailDateTime, EmailFromAddress, EmailSubject, MessageReceivedOn, ReasonForNotSendingSMS"_s;
    list.orderColumn = u"EmailDateTime"_s;
    list.descending = true;
    const QString outcome = mailOutcomeCondition(filter.filter);
    switch (filter.filter) {
    case MailFilter::All:
        list.countIndex = u"idx_mails_newest"_s;
        break;
    case MailFilter::SentToSms:
        list.countIndex = u"idx_mails_sent_newest"_s;
        break;
    case MailFilter::NotSentToSms:
        list.countIndex = u"idx_mails_refused_dated"_s;
        break;
    }
    if (!outcome.isEmpty())
        list.conditions << outcome;
    list.conditions << u"EmailDateTime >= ?10"_s << u"EmailDateTime < ?11"_s;
    list.values = {days.from, days.until};
    const std::vector<MailCondition> typed = mailSearchConditions(filter);
    for (const MailCondition& condition : typed) {
        list.conditions << condition.sql.arg(10 + list.values.size());
        list.values << condition.value;
    }
    auto readRow = [](const Statement& found) {
        MailInboxRow row;
        row.id = found.integer(0);
        row.emailDateTime = found.text(1);
        row.fromAddress = found.text(2);
        row.subject = found.text(3);
        row.receivedOn = found.text(4);
        row.reason = found.text(5);
        return row;
    };
    if (typed.empty()) {
        if (auto marked = useMarks(db, list, days, findMarkedList(list.table, outcome, list.orderColumn, true));
            !marked)
            return std::unexpected(marked.error());
        return readPage<MailInboxRow>(db, list, paging, readRow);
    }
    auto plan = planMailSearch(db, filter, fewMails);
    if (!plan)
        return std::unexpected(plan.error());
    if (plan->keys) {
        ReportPage<MailInboxRow> page;
        page.total = qint64(plan->keys->size());
        const QString byId = u"SELECT "_s + list.columns + u" FROM "_s + list.table + u" WHERE id=?1"_s;
        for (const ReportKey& key : pageOfKeys(*plan->keys, paging)) {
            auto st = db.prepare(byId);
            st.bind(1, key.id);
            auto found = st.next();
            if (!found)
                return std::unexpected(found.error());
            if (!*found)
                continue;
            MailInboxRow row = readRow(st);
            row.key = key;
            page.rows.push_back(std::move(row));
        }
        return page;
    }
    // Otherwise the range is walked row by row from where the plan places a page, or from its start.
    list.total = plan->total;
    list.keyAt = plan->keyAt;
    return readPage<MailInboxRow>(db, list, paging, readRow);
}

std::expected<std::optional<QString>, StoreError> mailText(const Database& db, qint64 id)
{
    auto st = db.prepare(u"SELECT EmailTextMessage FROM WebMailToSMS_MessagesReceived WHERE id=?1"_s);
    st.bind(1, id);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::optional<QString>();
    return std::optional<QString>(st.text(0));
}

std::expected<int, StoreError> deleteMails(const Database& db, const std::vector<qint64>& ids)
{
    return deleteByIds(db, u"DELETE FROM WebMailToSMS_MessagesReceived WHERE id=?1"_s, ids);
}

} // namespace store
