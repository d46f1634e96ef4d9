#include "PageMarks.h"

#include <algorithm>
#include <map>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// The SQL of one marked list. A mark holds the key of the row its stretch starts with: the
// column's value, and the id, negated in a descending list so that the list's order is the
// marks' (Value, Id) order, turned round where the list descends. The first mark of every
// list has no key (Value NULL): its stretch starts with the list.
struct ListSql
{
    const MarkedList& list;

    QString number() const { return QString::number(list.id); }

    QString condition(const QString& prefix) const
    {
        return list.condition.isEmpty() ? u"1"_s : list.condition.arg(prefix);
    }

    // Whether a row (of the table as it is, or NEW., OLD. in a trigger) is in the list.
    QString inList(const QString& prefix) const
    {
        return u"(%1%2 IS NOT NULL AND (%3))"_s.arg(prefix, list.keyColumn, condition(prefix));
    }

    QString storedId(const QString& id) const { return list.descending ? u"-("_s + id + u')' : id; }

    // The mark whose stretch holds the key (value, stored id): the last mark at or before it.
    QString stretchOf(const QString& value, const QString& id) const
    {
        const QString compare = list.descending ? u">="_s : u"<="_s;
        const QString nearest = list.descending ? u"Value, Id"_s : u"Value DESC, Id DESC"_s;
        return u"COALESCE((SELECT Mark_Id FROM List_PageMarks WHERE List=%1 AND (Value, Id) %2 (%3, %4) "
               u"ORDER BY %5 LIMIT 1), (SELECT Mark_Id FROM List_PageMarks WHERE List=%1 AND Value IS NULL))"_s.arg(
                   number(), compare, value, id, nearest);
    }

    // The table's rows at or after a mark's key (value, the mark's stored id).
    QString fromMark(const QString& value, const QString& markId) const
    {
        const QString key = list.keyColumn;
        const QString beyond = list.descending ? u"<"_s : u">"_s;
        return u"%1 %2= %3 AND (%1 %2 %3 OR %4 >= %5)"_s.arg(key, beyond, value, list.idColumn, storedId(markId));
    }

    // The table's rows before a key (value, table id).
    QString beforeKey(const QString& value, const QString& id) const
    {
        const QString key = list.keyColumn;
        const QString earlier = list.descending ? u">"_s : u"<"_s;
        return u"%1 %2= %3 AND (%1 %2 %3 OR %4 < %5)"_s.arg(key, earlier, value, list.idColumn, id);
    }

    QString order() const { return list.keyColumn + (list.descending ? u" DESC, "_s : u", "_s) + list.idColumn; }

    // The keyed marks in the list's order, or turned round.
    QString markOrder(bool reversed) const
    {
        return list.descending != reversed ? u"Value DESC, Id DESC"_s : u"Value, Id"_s;
    }

    QString triggerName(const char16_t* what) const
    {
        return u"trg_marks_%1_%2"_s.arg(number(), QString::fromUtf16(what));
    }

    bool keepsDays() const { return !list.dayColumn.isEmpty(); }

    // A row's day as the day tables keep it; a row without a date gets a day before every real
    // one, so that each stretch's months still count all its rows.
    QString day(const QString& prefix) const
    {
        return u"COALESCE(substr(%1%2, 1, 10), '0000-00-00')"_s.arg(prefix, list.dayColumn);
    }

    // A stretch keeps how many of its rows fall in each month, and for each day how many fall
    // on it or earlier in the same month: a row coming or going changes one month and the
    // stretch's later days of that month only, and a place among the days is still two
    // look-ups and the months between. A new day starts from the count of the day before.
    QString enterDays(const QString& stretch, const QString& guard) const
    {
        const QString day = this->day(u"NEW."_s);
        const QString month = u"substr(%1, 1, 7)"_s.arg(day);
        return u"INSERT OR IGNORE INTO List_PageMarkMonths (Mark_Id, Month, Counted) SELECT %1, %3, 0 WHERE %4; "
               u"UPDATE List_PageMarkMonths SET Counted = Counted + 1 WHERE Mark_Id = %1 AND Month = %3 AND %4; "
               u"INSERT OR IGNORE INTO List_PageMarkDays (Mark_Id, Day, Counted) SELECT s, %2, COALESCE((SELECT "
               u"Counted FROM List_PageMarkDays WHERE Mark_Id = s AND Day < %2 AND Day > %3 ORDER BY Day DESC "
               u"LIMIT 1), 0) FROM (SELECT %1 AS s) WHERE %4; "
               u"UPDATE List_PageMarkDays SET Counted = Counted + 1 WHERE Mark_Id = %1 AND Day >= %2 AND "
               u"Day < %3 || '~' AND %4;"_s.arg(stretch, day, month, guard);
    }

    // A row leaving a stretch; a stretch left empty loses its months and days with its mark.
    QString leaveDays(const QString& stretch, const QString& guard) const
    {
        const QString day = this->day(u"OLD."_s);
        const QString month = u"substr(%1, 1, 7)"_s.arg(day);
        const QString emptied =
            u"(SELECT Mark_Id FROM List_PageMarks WHERE Mark_Id = %1 AND Counted <= 0 AND Value IS NOT NULL)"_s.arg(
                stretch);
        return u"UPDATE List_PageMarkMonths SET Counted = Counted - 1 WHERE Mark_Id = %1 AND Month = %3 AND %4; "
               u"UPDATE List_PageMarkDays SET Counted = Counted - 1 WHERE Mark_Id = %1 AND Day >= %2 AND "
               u"Day < %3 || '~' AND %4; "
               u"DELETE FROM List_PageMarkMonths WHERE Mark_Id = %5 AND %4; "
               u"DELETE FROM List_PageMarkDays WHERE Mark_Id = %5 AND %4;"_s.arg(stretch, day, month, guard, emptied);
    }

    QStringList triggers() const
    {
        const QString marks = u"List_PageMarks"_s;
        const QString oldStretch = stretchOf(u"OLD."_s + list.keyColumn, storedId(u"OLD."_s + list.idColumn));
        const QString newStretch = stretchOf(u"NEW."_s + list.keyColumn, storedId(u"NEW."_s + list.idColumn));
        const QString whenOld = inList(u"OLD."_s);
        const QString whenNew = inList(u"NEW."_s);
        const QString leave = u"UPDATE %1 SET Counted = Counted - 1 WHERE Mark_Id = %2;"_s.arg(marks, oldStretch);
        // A stretch emptied by deletes goes with its mark; its place falls to the mark before.
        const QString prune =
            u"DELETE FROM %1 WHERE Mark_Id = %2 AND Counted <= 0 AND Value IS NOT NULL;"_s.arg(marks, oldStretch);
        const QString enter = u"UPDATE %1 SET Counted = Counted + 1 WHERE Mark_Id = %2;"_s.arg(marks, newStretch);
        auto guarded = [](const QString& statement, const QString& guard) {
            return statement.chopped(1) + u" AND "_s + guard + u';';
        };
        // The days' statements go between a stretch's count and its pruning.
        const QString leftDays = keepsDays() ? leaveDays(oldStretch, whenOld) + u' ' : QString();
        const QString enteredDays = keepsDays() ? u' ' + enterDays(newStretch, whenNew) : QString();

        QStringList sql;
        sql << u"CREATE TRIGGER %1 AFTER INSERT ON %2 WHEN %3 BEGIN %4 END"_s.arg(triggerName(u"insert"), list.table,
                                                                                  whenNew, enter + enteredDays);
        sql << u"CREATE TRIGGER %1 AFTER DELETE ON %2 WHEN %3 BEGIN %4 %5 END"_s.arg(triggerName(u"delete"), list.table,
                                                                                     whenOld, leave, leftDays + prune);
        QString moved = u"OLD.%1 IS NOT NEW.%1"_s.arg(list.keyColumn);
        if (keepsDays())
            moved += u" OR %1 IS NOT %2"_s.arg(day(u"OLD."_s), day(u"NEW."_s));
        sql << u"CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 WHEN (%4 OR %5 IS NOT %6) AND (%5 OR %6) "
               u"BEGIN %7 %8 %9 END"_s
                   .arg(triggerName(u"update"), list.watched.join(u", "_s), list.table, moved, whenOld, whenNew)
                   .arg(guarded(leave, whenOld), leftDays + guarded(prune, whenOld),
                        guarded(enter, whenNew) + enteredDays);
        return sql;
    }
};

MarkedList message(int id, const QString& table, const QString& idColumn, const QString& keyColumn, bool descending,
                   const QString& condition, QStringList watched, CountedList counted)
{
    watched.prepend(keyColumn);
    watched.removeDuplicates();
    return {id, table, idColumn, keyColumn, descending, condition, watched, counted, {}, kMarkedStretch};
}

// The received-SMS report places a range of days in the inbox's orders by number and by text.
MarkedList keepingDays(MarkedList list, const QString& dayColumn)
{
    list.dayColumn = dayColumn;
    list.watched << dayColumn;
    list.stretch = kDayMarkedStretch;
    return list;
}

// A report's list: no kept total stands for it, so the start-up check counts its rows.
MarkedList report(int id, const QString& table, const QString& keyColumn, bool descending, const QString& condition,
                  const QString& filterColumn)
{
    QStringList watched{keyColumn};
    if (!filterColumn.isEmpty())
        watched << filterColumn;
    return {id, table, u"id"_s, keyColumn, descending, condition, watched, std::nullopt, {}, kMarkedStretch};
}

std::vector<MarkedList> makeLists()
{
    const QString inbox = u"Message_InBox"_s;
    const QString inboxId = u"InBox_Id"_s;
    const QString outbox = u"Message_OutBox"_s;
    const QString outboxId = u"Outbox_Id"_s;
    const QString unread = u"%1IsRead=0"_s;
    const QString sent = u"%1DeliveryDatetime IS NOT NULL"_s;
    const QStringList sentColumns{u"DeliveryDatetime"_s};
    return {
        message(1, inbox, inboxId, u"InboxDateTime"_s, true, {}, {}, CountedList::Inbox),
        message(2, inbox, inboxId, u"InboxDateTime"_s, false, {}, {}, CountedList::Inbox),
        keepingDays(message(3, inbox, inboxId, u"SenderMobileNo"_s, false, {}, {}, CountedList::Inbox),
                    u"InboxDateTime"_s),
        keepingDays(message(4, inbox, inboxId, u"Message"_s, false, {}, {}, CountedList::Inbox), u"InboxDateTime"_s),
        message(5, inbox, inboxId, u"InboxDateTime"_s, true, unread, {u"IsRead"_s}, CountedList::InboxUnread),
        message(6, inbox, inboxId, u"InboxDateTime"_s, false, unread, {u"IsRead"_s}, CountedList::InboxUnread),
        message(7, inbox, inboxId, u"SenderMobileNo"_s, false, unread, {u"IsRead"_s}, CountedList::InboxUnread),
        message(8, inbox, inboxId, u"Message"_s, false, unread, {u"IsRead"_s}, CountedList::InboxUnread),
        message(9, outbox, outboxId, u"DeliveryDatetime"_s, true, sent, sentColumns, CountedList::Sent),
        message(10, outbox, outboxId, u"RecipientMobileNo"_s, false, sent, sentColumns, CountedList::Sent),
        message(11, outbox, outboxId, u"Message"_s, false, sent, sentColumns, CountedList::Sent),
        // The reports' lists by date, whose ranges of days are counted and paged from the marks.
        report(12, u"MissedCallStatistics"_s, u"callDateTime"_s, false, u"%1IsMissCall<>0"_s, u"IsMissCall"_s),
        report(13, u"WebMailToSMS_MessagesReceived"_s, u"EmailDateTime"_s, true, {}, {}),
        report(14, u"WebMailToSMS_MessagesReceived"_s, u"EmailDateTime"_s, true, u"%1IsEmailSentToSMS<>0"_s,
               u"IsEmailSentToSMS"_s),
        report(15, u"WebMailToSMS_MessagesReceived"_s, u"EmailDateTime"_s, true, u"%1IsEmailSentToSMS=0"_s,
               u"IsEmailSentToSMS"_s),
    };
}

// How many rows of one stretch fall on each day.
using DayCounts = std::map<QString, qint64>;

// Writes a stretch's months and days (see ListSql::enterDays). A mark's number may have served
// a mark since deleted, so whatever it left goes first.
std::expected<void, StoreError> writeDays(const Database& db, qint64 markId, const DayCounts& days)
{
    for (const QString& table : {u"List_PageMarkMonths"_s, u"List_PageMarkDays"_s}) {
        auto forget = db.prepare(u"DELETE FROM %1 WHERE Mark_Id=?1"_s.arg(table));
        forget.bind(1, markId);
        if (auto r = forget.run(); !r)
            return r;
    }
    auto month = db.prepare(u"INSERT INTO List_PageMarkMonths (Mark_Id, Month, Counted) VALUES (?1, ?2, ?3)"_s);
    auto day = db.prepare(u"INSERT INTO List_PageMarkDays (Mark_Id, Day, Counted) VALUES (?1, ?2, ?3)"_s);
    auto write = [markId](Statement& st, const QString& key, qint64 counted) {
        st.bind(1, markId);
        st.bind(2, key);
        st.bind(3, counted);
        return st.run();
    };
    QString current; // the month of the days written last
    qint64 running = 0;
    for (const auto& [date, rows] : days) {
        if (date.left(7) != current) {
            if (!current.isEmpty()) {
                if (auto r = write(month, current, running); !r)
                    return r;
            }
            current = date.left(7);
            running = 0;
        }
        running += rows;
        if (auto r = write(day, date, running); !r)
            return r;
    }
    if (!current.isEmpty())
        return write(month, current, running);
    return {};
}

std::expected<void, StoreError> createDayTables(const Database& db)
{
    if (auto r = db.exec(u"CREATE TABLE IF NOT EXISTS List_PageMarkMonths (Mark_Id INTEGER NOT NULL, Month TEXT NOT "
                         u"NULL, Counted INTEGER NOT NULL, PRIMARY KEY (Mark_Id, Month)) WITHOUT ROWID"_s);
        !r)
        return r;
    return db.exec(u"CREATE TABLE IF NOT EXISTS List_PageMarkDays (Mark_Id INTEGER NOT NULL, Day TEXT NOT NULL, "
                   u"Counted INTEGER NOT NULL, PRIMARY KEY (Mark_Id, Day)) WITHOUT ROWID"_s);
}

// The day of a row as the triggers file it (see ListSql::day), from the date column's text.
QString dayOf(const Statement& row, int column)
{
    return row.isNull(column) ? u"0000-00-00"_s : row.text(column).left(10);
}

} // namespace

const std::vector<MarkedList>& markedLists()
{
    static const std::vector<MarkedList> lists = makeLists();
    return lists;
}

const MarkedList* findMarkedList(const QString& table, const QString& condition, const QString& keyColumn,
                                 bool descending)
{
    for (const MarkedList& list : markedLists()) {
        if (list.table.compare(table, Qt::CaseInsensitive) == 0 &&
            list.keyColumn.compare(keyColumn, Qt::CaseInsensitive) == 0 && list.descending == descending &&
            (list.condition.isEmpty() ? QString() : list.condition.arg(QString())) == condition)
            return &list;
    }
    return nullptr;
}

std::expected<std::optional<MessageListKey>, StoreError> keyAtRank(const Database& db, const MarkedList& list,
                                                                   qint64 rank, bool fromEnd)
{
    if (rank < 0)
        return std::optional<MessageListKey>();
    const ListSql sql{list};
    // The stretch that holds the place: the marks' counts are summed in the list's order (or
    // from its end), over a thousandth of the list. The keyless first mark leads the list.
    auto keyless = db.prepare(u"SELECT Mark_Id, Counted FROM List_PageMarks WHERE List=?1 AND Value IS NULL"_s);
    keyless.bind(1, list.id);
    auto keyed = db.prepare(u"SELECT Mark_Id, Counted FROM List_PageMarks WHERE List=?1 AND Value IS NOT NULL "
                            u"ORDER BY %1"_s.arg(sql.markOrder(fromEnd)));
    keyed.bind(1, list.id);
    qint64 passed = 0;
    std::optional<std::pair<qint64, qint64>> found; // the mark, and the place's offset into its stretch
    Statement* const order[] = {fromEnd ? &keyed : &keyless, fromEnd ? &keyless : &keyed};
    for (Statement* marks : order) {
        for (;;) {
            auto more = marks->next();
            if (!more)
                return std::unexpected(more.error());
            if (!*more)
                break;
            const qint64 counted = marks->integer(1);
            if (rank < passed + counted) {
                const qint64 into = rank - passed;
                found = {marks->integer(0), fromEnd ? counted - 1 - into : into};
                break;
            }
            passed += counted;
        }
        if (found)
            break;
    }
    if (!found)
        return std::optional<MessageListKey>();

    auto mark = db.prepare(u"SELECT Value, Id FROM List_PageMarks WHERE Mark_Id=?1"_s);
    mark.bind(1, found->first);
    if (auto there = mark.next(); !there || !*there)
        return there ? std::expected<std::optional<MessageListKey>, StoreError>() : std::unexpected(there.error());
    const bool first = mark.isNull(0);
    QString where = sql.inList(QString());
    if (!first)
        where += u" AND "_s + sql.fromMark(u"?2"_s, u"?3"_s);
    auto row = db.prepare(u"SELECT %1, %2 FROM %3 WHERE %4 ORDER BY %5 LIMIT 1 OFFSET ?1"_s.arg(
        list.keyColumn, list.idColumn, list.table, where, sql.order()));
    row.bind(1, found->second);
    if (!first) {
        row.bind(2, mark.text(0));
        row.bind(3, mark.integer(1));
    }
    auto there = row.next();
    if (!there)
        return std::unexpected(there.error());
    if (!*there)
        return std::optional<MessageListKey>();
    return std::optional<MessageListKey>(MessageListKey{row.text(0), row.integer(1)});
}

std::expected<qint64, StoreError> rowsBefore(const Database& db, const MarkedList& list, const MessageListKey& key)
{
    if (key.value.isNull())
        return 0;
    const ListSql sql{list};
    auto stretch = db.prepare(u"SELECT Value, Id FROM List_PageMarks WHERE Mark_Id = %1"_s.arg(
        sql.stretchOf(u"?1"_s, sql.storedId(u"?2"_s))));
    stretch.bind(1, key.value);
    stretch.bind(2, key.id);
    auto found = stretch.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return 0;
    const bool first = stretch.isNull(0);
    qint64 before = 0;
    if (!first) {
        // The keyless first mark and every mark before this one in the list's order.
        auto earlier =
            db.prepare(u"SELECT COALESCE(SUM(Counted), 0) FROM List_PageMarks WHERE List=?1 AND "
                       u"(Value IS NULL OR (Value, Id) %1 (?2, ?3))"_s.arg(list.descending ? u">"_s : u"<"_s));
        earlier.bind(1, list.id);
        earlier.bind(2, stretch.text(0));
        earlier.bind(3, stretch.integer(1));
        auto sum = earlier.scalar();
        if (!sum)
            return std::unexpected(sum.error());
        before = *sum;
    }
    QString where = sql.inList(QString()) + u" AND "_s + sql.beforeKey(u"?1"_s, u"?2"_s);
    if (!first)
        where += u" AND "_s + sql.fromMark(u"?3"_s, u"?4"_s);
    auto counter = db.prepare(u"SELECT COUNT(*) FROM %1 WHERE %2"_s.arg(list.table, where));
    counter.bind(1, key.value);
    counter.bind(2, key.id);
    if (!first) {
        counter.bind(3, stretch.text(0));
        counter.bind(4, stretch.integer(1));
    }
    auto inStretch = counter.scalar();
    if (!inStretch)
        return std::unexpected(inStretch.error());
    return before + *inStretch;
}

std::expected<DayPlace, StoreError> placeInDays(const Database& db, const MarkedList& list, const DayRange& days,
                                                qint64 rank)
{
    DayPlace place;
    const ListSql sql{list};
    if (!sql.keepsDays())
        return place;
    const QString fromDay = days.from.left(10);
    const QString untilDay = days.until.left(10);
    // A stretch's rows in the range: those of the months from the first day's up to the end's,
    // less the first month's days before the range, plus the end month's days before its end.
    auto stretches = db.prepare(
        u"SELECT Mark_Id, Value, Id, (SELECT COALESCE(SUM(Counted), 0) FROM List_PageMarkMonths c WHERE c.Mark_Id = "
        u"m.Mark_Id AND Month >= substr(?2, 1, 7) AND Month < substr(?3, 1, 7)) - COALESCE((SELECT Counted FROM "
        u"List_PageMarkDays d WHERE d.Mark_Id = m.Mark_Id AND Day < ?2 AND Day > substr(?2, 1, 7) ORDER BY Day DESC "
        u"LIMIT 1), 0) + COALESCE((SELECT Counted FROM List_PageMarkDays d WHERE d.Mark_Id = m.Mark_Id AND Day < ?3 "
        u"AND Day > substr(?3, 1, 7) ORDER BY Day DESC LIMIT 1), 0) FROM List_PageMarks m WHERE List=?1 "
        u"ORDER BY Value IS NULL DESC, %1"_s.arg(sql.markOrder(false)));
    stretches.bind(1, list.id);
    stretches.bind(2, fromDay);
    stretches.bind(3, untilDay);
    struct Found
    {
        MessageListKey mark; // Value null: the first mark
        qint64 into = 0;
    };
    std::optional<Found> found;
    for (;;) {
        auto more = stretches.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            break;
        const qint64 inRange = stretches.integer(3);
        if (!found && rank >= place.rows && rank < place.rows + inRange)
            found =
                Found{{stretches.isNull(1) ? QString() : stretches.text(1), stretches.integer(2)}, rank - place.rows};
        place.rows += inRange;
    }
    if (!found)
        return place;
    // The stretch's rows are read on the list's index, whose entries carry the date.
    const QString inDays = u"substr(%1, 1, 10) >= ?2 AND substr(%1, 1, 10) < ?3"_s.arg(list.dayColumn);
    QString where = sql.inList(QString()) + u" AND "_s + inDays;
    if (!found->mark.value.isNull())
        where += u" AND "_s + sql.fromMark(u"?4"_s, u"?5"_s);
    auto row = db.prepare(u"SELECT %1, %2 FROM %3 WHERE %4 ORDER BY %5 LIMIT 1 OFFSET ?1"_s.arg(
        list.keyColumn, list.idColumn, list.table, where, sql.order()));
    row.bind(1, found->into);
    row.bind(2, fromDay);
    row.bind(3, untilDay);
    if (!found->mark.value.isNull()) {
        row.bind(4, found->mark.value);
        row.bind(5, found->mark.id);
    }
    auto there = row.next();
    if (!there)
        return std::unexpected(there.error());
    if (*there)
        place.key = MessageListKey{row.text(0), row.integer(1)};
    return place;
}

std::expected<qint64, StoreError> markedTotal(const Database& db, const MarkedList& list)
{
    auto st = db.prepare(u"SELECT COALESCE(SUM(Counted), 0) FROM List_PageMarks WHERE List=?1"_s);
    st.bind(1, list.id);
    return st.scalar();
}

std::expected<void, StoreError> installMarks(const Database& db, const MarkedList& list, std::optional<int> stretch)
{
    const ListSql sql{list};
    if (sql.keepsDays()) {
        if (auto r = createDayTables(db); !r)
            return r;
    }
    for (const char16_t* what : {u"insert", u"delete", u"update"}) {
        if (auto r = db.exec(u"DROP TRIGGER IF EXISTS "_s + sql.triggerName(what)); !r)
            return r;
    }
    for (const QString& trigger : sql.triggers()) {
        if (auto r = db.exec(trigger); !r)
            return r;
    }
    return rebuildMarks(db, list, stretch);
}

std::expected<void, StoreError> rebuildMarks(const Database& db, const MarkedList& list, std::optional<int> given)
{
    const ListSql sql{list};
    const qint64 stretch = given.value_or(list.stretch);
    if (sql.keepsDays()) {
        for (const QString& table : {u"List_PageMarkMonths"_s, u"List_PageMarkDays"_s}) {
            auto forget = db.prepare(
                u"DELETE FROM %1 WHERE Mark_Id IN (SELECT Mark_Id FROM List_PageMarks WHERE List=?1)"_s.arg(table));
            forget.bind(1, list.id);
            if (auto r = forget.run(); !r)
                return r;
        }
    }
    auto clear = db.prepare(u"DELETE FROM List_PageMarks WHERE List=?1"_s);
    clear.bind(1, list.id);
    if (auto r = clear.run(); !r)
        return r;
    auto insert = db.prepare(u"INSERT INTO List_PageMarks (List, Value, Id, Counted) VALUES (?1, ?2, ?3, ?4)"_s);
    MessageListKey mark; // the keyless first mark
    qint64 rows = 0;
    DayCounts days;
    auto write = [&]() -> std::expected<void, StoreError> {
        insert.bind(1, list.id);
        insert.bind(2, mark.value);
        insert.bind(3, mark.id);
        insert.bind(4, rows);
        if (auto r = insert.run(); !r)
            return r;
        return sql.keepsDays() ? writeDays(db, db.lastInsertId(), days) : std::expected<void, StoreError>();
    };
    const QString dayColumn = sql.keepsDays() ? list.dayColumn : u"NULL"_s;
    auto walk = db.prepare(u"SELECT %1, %2, %3 FROM %4 WHERE %5 ORDER BY %6"_s.arg(
        list.keyColumn, list.idColumn, dayColumn, list.table, sql.inList(QString()), sql.order()));
    for (;;) {
        auto more = walk.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            break;
        if (rows == stretch) {
            if (auto r = write(); !r)
                return r;
            const qint64 id = walk.integer(1);
            mark = {walk.text(0), list.descending ? -id : id};
            rows = 0;
            days.clear();
        }
        ++rows;
        if (sql.keepsDays())
            ++days[dayOf(walk, 2)];
    }
    return write();
}

QString longStretchCondition()
{
    // One comparison, not an OR of one per size: SQLite would answer an OR from the index by
    // list, which reads every mark.
    std::map<int, QStringList> listsBySize;
    for (const MarkedList& list : markedLists()) {
        if (list.stretch != kMarkedStretch)
            listsBySize[list.stretch] << QString::number(list.id);
    }
    QString bound = u"CASE"_s;
    for (const auto& [stretch, lists] : listsBySize)
        bound += u" WHEN List IN (%1) THEN %2"_s.arg(lists.join(u", "_s)).arg(2 * stretch);
    return u"Counted >= %1 ELSE %2 END"_s.arg(bound).arg(2 * kMarkedStretch);
}

std::expected<int, StoreError> splitLongStretches(const Database& db, std::optional<int> given)
{
    // Written out as the partial index of long stretches has it, so that the index serves it.
    const QString condition = given ? u"Counted >= %1"_s.arg(2 * *given) : longStretchCondition();
    auto longOnes = db.prepare(u"SELECT Mark_Id, List, Value, Id, Counted FROM List_PageMarks WHERE "_s + condition);
    struct Long
    {
        qint64 markId;
        int list;
        MessageListKey key;
        qint64 counted;
    };
    auto found = longOnes.collect([](const Statement& row) {
        return Long{row.integer(0), int(row.integer(1)), {row.text(2), row.integer(3)}, row.integer(4)};
    });
    if (!found)
        return std::unexpected(found.error());
    if (found->empty())
        return 0;
    Transaction transaction(db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    int split = 0;
    for (const Long& mark : *found) {
        const auto list = std::ranges::find(markedLists(), mark.list, &MarkedList::id);
        if (list == markedLists().end())
            continue;
        const qint64 stretch = given.value_or(list->stretch);
        const ListSql sql{*list};
        QString where = sql.inList(QString());
        if (!mark.key.value.isNull())
            where += u" AND "_s + sql.fromMark(u"?2"_s, u"?3"_s);
        const QString dayColumn = sql.keepsDays() ? list->dayColumn : u"NULL"_s;
        auto walk = db.prepare(u"SELECT %1, %2, %3 FROM %4 WHERE %5 ORDER BY %6 LIMIT ?1"_s.arg(
            list->keyColumn, list->idColumn, dayColumn, list->table, where, sql.order()));
        walk.bind(1, mark.counted);
        if (!mark.key.value.isNull()) {
            walk.bind(2, mark.key.value);
            walk.bind(3, mark.key.id);
        }
        // The stretch is cut into whole stretches, the last one taking what is left over; the
        // cuts are written only if the rows are as many as the mark counted.
        const qint64 pieces = mark.counted / stretch;
        std::vector<MessageListKey> cuts;
        std::vector<DayCounts> days(1); // each piece's, the mark's own first
        qint64 rows = 0;
        for (;; ++rows) {
            auto more = walk.next();
            if (!more)
                return std::unexpected(more.error());
            if (!*more)
                break;
            if (rows > 0 && rows % stretch == 0 && rows / stretch < pieces) {
                const qint64 id = walk.integer(1);
                cuts.push_back({walk.text(0), list->descending ? -id : id});
                days.emplace_back();
            }
            if (sql.keepsDays())
                ++days.back()[dayOf(walk, 2)];
        }
        if (rows != mark.counted || cuts.empty())
            continue;
        auto insert = db.prepare(u"INSERT INTO List_PageMarks (List, Value, Id, Counted) VALUES (?1, ?2, ?3, ?4)"_s);
        std::vector<qint64> markIds{mark.markId};
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            insert.bind(1, list->id);
            insert.bind(2, cuts[i].value);
            insert.bind(3, cuts[i].id);
            insert.bind(4, i + 1 == cuts.size() ? mark.counted - qint64(cuts.size()) * stretch : stretch);
            if (auto r = insert.run(); !r)
                return std::unexpected(r.error());
            markIds.push_back(db.lastInsertId());
        }
        if (sql.keepsDays()) {
            for (std::size_t i = 0; i < markIds.size(); ++i) {
                if (auto r = writeDays(db, markIds[i], days[i]); !r)
                    return std::unexpected(r.error());
            }
        }
        auto shorten = db.prepare(u"UPDATE List_PageMarks SET Counted = ?1 WHERE Mark_Id = ?2"_s);
        shorten.bind(1, stretch);
        shorten.bind(2, mark.markId);
        if (auto r = shorten.run(); !r)
            return std::unexpected(r.error());
        ++split;
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return split;
}

std::expected<int, StoreError> reconcileMarks(const Database& db)
{
    Transaction transaction(db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    int rebuilt = 0;
    for (const MarkedList& list : markedLists()) {
        const ListSql sql{list};
        std::expected<qint64, StoreError> expected;
        if (list.counted) {
            // The kept total, less the rows without a key, which no marked list holds; those
            // are read off the key's index.
            auto kept = keptCount(db, *list.counted);
            if (!kept)
                return std::unexpected(kept.error());
            auto keyless = db.prepare(u"SELECT COUNT(*) FROM %1 WHERE %2 IS NULL AND (%3)"_s.arg(
                                          list.table, list.keyColumn, sql.condition(QString())))
                               .scalar();
            if (!keyless)
                return std::unexpected(keyless.error());
            expected = *kept - *keyless;
        } else {
            expected =
                db.prepare(u"SELECT COUNT(*) FROM %1 WHERE %2"_s.arg(list.table, sql.inList(QString()))).scalar();
        }
        if (!expected)
            return std::unexpected(expected.error());
        auto kept = markedTotal(db, list);
        if (!kept)
            return std::unexpected(kept.error());
        auto first = db.prepare(u"SELECT COUNT(*) FROM List_PageMarks WHERE List=?1 AND Value IS NULL"_s);
        first.bind(1, list.id);
        auto firsts = first.scalar();
        if (!firsts)
            return std::unexpected(firsts.error());
        // Triggers dropped by hand would leave the marks behind at the next change.
        auto triggers = db.prepare(u"SELECT COUNT(*) FROM sqlite_master WHERE type='trigger' AND name GLOB ?1"_s);
        triggers.bind(1, sql.triggerName(u"*"));
        auto present = triggers.scalar();
        if (!present)
            return std::unexpected(present.error());
        // Each stretch's months add up to its count, and its last day's count is its last month's.
        qint64 daysAstray = 0;
        if (sql.keepsDays()) {
            auto astray = db.prepare(
                u"SELECT COUNT(*) FROM List_PageMarks m WHERE List=?1 AND (Counted <> (SELECT COALESCE(SUM(Counted), "
                u"0) FROM List_PageMarkMonths c WHERE c.Mark_Id = m.Mark_Id) OR COALESCE((SELECT Counted FROM "
                u"List_PageMarkMonths c WHERE c.Mark_Id = m.Mark_Id ORDER BY Month DESC LIMIT 1), 0) <> COALESCE("
                u"(SELECT Counted FROM List_PageMarkDays d WHERE d.Mark_Id = m.Mark_Id ORDER BY Day DESC LIMIT 1), "
                u"0))"_s);
            astray.bind(1, list.id);
            auto found = astray.scalar();
            if (!found)
                return std::unexpected(found.error());
            daysAstray = *found;
        }
        if (*kept == *expected && *firsts == 1 && *present == 3 && daysAstray == 0)
            continue;
        if (auto r = *present == 3 ? rebuildMarks(db, list) : installMarks(db, list); !r)
            return std::unexpected(r.error());
        ++rebuilt;
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return rebuilt;
}

} // namespace store
