// What the operator waits for at the message box and the dashboard, on a store the size an
// office reaches after years of traffic: every folder's first, middle and last page in every
// sort the list offers, a search by number, the dashboard's counters and a new row arriving.
// The cost must not grow with the store, so the same table is printed for a small and a large
// store side by side.
//
//   message_list_bench [rows ...]     (default: 10000 1000000)
//
// Each size's store is built once in /tmp (one transaction) and reused while its schema
// version matches this program's.
#include "CallTable.h"
#include "DateText.h"
#include "InboxTable.h"
#include "MessageCounts.h"
#include "MessageListQuery.h"
#include "OutboxTable.h"
#include "PageMarks.h"
#include "Schema.h"
#include "Store.h"
#include "StoreLocation.h"

#include <QFileInfo>

#include "BenchStore.h"
#include "TimingTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using bench::kStart;
using bench::Numbers;
using bench::someNumber;

const QString kWords[] = {u"meeting"_s, u"tomorrow"_s,  u"invoice"_s, u"please"_s, u"call"_s, u"back"_s,
                          u"order"_s,   u"delivered"_s, u"thanks"_s,  u"at"_s,     u"noon"_s, u"code"_s,
                          u"balance"_s, u"reminder"_s,  u"ok"_s,      u"see"_s,    u"you"_s,  u"later"_s};

QString someText(Numbers& random)
{
    QStringList words;
    const int count = 2 + int(random.next() % 12);
    for (int i = 0; i < count; ++i)
        words << kWords[random.next() % std::size(kWords)];
    return words.join(u' ');
}

std::expected<void, store::StoreError> fill(const store::Database& db, int rows)
{
    (void)db.exec(u"PRAGMA cache_size=-400000"_s);
    store::Transaction transaction(db);
    // The page marks are built once from the filled lists instead of counted row by row.
    auto marks = db.prepare(u"SELECT name FROM sqlite_master WHERE type='trigger' AND name GLOB 'trg_marks_*'"_s)
                     .collect([](const store::Statement& row) { return row.text(0); });
    if (!marks)
        return std::unexpected(marks.error());
    for (const QString& trigger : *marks) {
        if (auto r = db.exec(u"DROP TRIGGER "_s + trigger); !r)
            return r;
    }
    Numbers random;
    auto inbox = db.prepare(u"INSERT INTO Message_InBox (SenderMobileNo, SenderId, Message, InboxDateTime, IsRead) "
                            u"VALUES (?1, 0, ?2, ?3, ?4)"_s);
    auto outbox = db.prepare(u"INSERT INTO Message_OutBox (RecepId, RecipientMobileNo, Message, OutBoxDateTime, "
                             u"DeliveryDatetime, DeliveryStatus) VALUES (0, ?1, ?2, ?3, ?4, ?5)"_s);
    auto calls = db.prepare(u"INSERT INTO MissedCallStatistics (callDateTime, callerNumber, IsMissCall) "
                            u"VALUES (?1, ?2, ?3)"_s);
    const int pending = std::max(rows / 1000, 1);
    for (int i = 0; i < rows; ++i) {
        // Two rows share each second now and then, so the sorts meet ties.
        const QDateTime when = kStart.addSecs(qint64(i) * 150 - qint64(i % 7 == 0 ? 150 : 0));
        inbox.bind(1, someNumber(random));
        inbox.bind(2, someText(random));
        inbox.bind(3, store::isoText(when));
        inbox.bind(4, qint64(i % 50 == 0 ? 0 : -1));
        if (auto r = inbox.run(); !r)
            return r;
        outbox.bind(1, someNumber(random));
        outbox.bind(2, someText(random));
        outbox.bind(3, store::isoText(when));
        if (i < rows - pending) {
            outbox.bind(4, store::isoText(when.addSecs(qint64(random.next() % 600))));
            outbox.bind(5, u"SENT"_s);
        } else {
            outbox.bindNull(4);
            outbox.bind(5, u""_s);
        }
        if (auto r = outbox.run(); !r)
            return r;
        if (i % 100 == 0) {
            calls.bind(1, store::isoText(when));
            calls.bind(2, someNumber(random));
            calls.bind(3, qint64(i % 300 == 0 ? 0 : -1));
            if (auto r = calls.run(); !r)
                return r;
        }
    }
    for (const store::MarkedList& list : store::markedLists()) {
        if (auto r = store::installMarks(db, list); !r)
            return r;
    }
    return transaction.commit();
}

std::expected<store::Database, store::StoreError> benchStore(int rows)
{
    return bench::cachedStore(u"tarvogate-bench"_s, u"SELECT COUNT(*) FROM Message_InBox"_s, rows, fill);
}

using PageQuery = std::expected<store::MessageListPage, store::StoreError> (*)(const store::Database&,
                                                                               const store::MessageListQuery&);
struct Listing
{
    QString name;
    PageQuery page;
    QString sortKey;
    bool unreadOnly;
    QString search;
};

// The sorts the message box offers, folder by folder.
const std::vector<Listing>& listings()
{
    static const std::vector<Listing> all{
        {u"inbox, newest first"_s, &store::inboxPage, u"InboxDateTime desc"_s, false, {}},
        {u"inbox by date"_s, &store::inboxPage, u"InboxDateTime"_s, false, {}},
        {u"inbox by number"_s, &store::inboxPage, u"SenderMobileNo"_s, false, {}},
        {u"inbox by message"_s, &store::inboxPage, u"Message"_s, false, {}},
        {u"inbox unread only"_s, &store::inboxPage, u"InboxDateTime desc"_s, true, {}},
        {u"outbox by date"_s, &store::outboxPage, u"OutBoxDateTime"_s, false, {}},
        {u"outbox by number"_s, &store::outboxPage, u"RecipientMobileNo"_s, false, {}},
        {u"outbox by message"_s, &store::outboxPage, u"Message"_s, false, {}},
        {u"sent by delivery time"_s, &store::sentPage, u"DeliveryDatetime"_s, false, {}},
        {u"sent by number"_s, &store::sentPage, u"RecipientMobileNo"_s, false, {}},
        {u"sent by message"_s, &store::sentPage, u"Message"_s, false, {}},
        {u"inbox search, 10 digits"_s, &store::inboxPage, u"InboxDateTime desc"_s, false, u"0151%1"_s},
        {u"sent search, 10 digits"_s, &store::sentPage, u"DeliveryDatetime"_s, false, u"0151%1"_s},
    };
    return all;
}

void measureStore(const store::Database& db, bench::TimingTable& table, std::size_t column)
{
    auto record = [&](const QString& name, double ms) { table.record(column, name, ms); };

    const QDate today = kStart.date().addDays(30);
    record(u"dashboard tick"_s, bench::measure([&] {
               benchmark::DoNotOptimize(store::CallTable(db).countMissedOn(today));
               benchmark::DoNotOptimize(store::InboxTable(db).countUnread());
               benchmark::DoNotOptimize(store::OutboxTable(db).countPending());
           }));

    // Every connection compares the kept totals with the rows when it opens the store.
    record(u"start-up count check"_s, bench::measure([&] { benchmark::DoNotOptimize(store::reconcileCounts(db)); }));
    record(u"start-up page marks check"_s,
           bench::measure([&] { benchmark::DoNotOptimize(store::reconcileMarks(db)); }));
    record(u"refresh tick: grown stretches looked for"_s,
           bench::measure([&] { benchmark::DoNotOptimize(store::splitLongStretches(db)); }));
    {
        // Part of a number matches anywhere in it, which no index can serve.
        store::MessageListQuery query;
        query.search = u"4242"_s;
        record(u"inbox search, 4 digits, first page"_s,
               bench::measure([&] { benchmark::DoNotOptimize(store::inboxPage(db, query)); }));
    }

    // A correspondent who writes often, so the search finds a page's worth.
    const QString frequent = u"%1"_s.arg(qint64(42), 8, 10, QChar(u'0'));
    for (const Listing& listing : listings()) {
        store::MessageListQuery query;
        query.sortKey = listing.sortKey;
        query.unreadOnly = listing.unreadOnly;
        query.search = listing.search.isEmpty() ? QString() : listing.search.arg(frequent);
        auto first = listing.page(db, query);
        if (!first) {
            std::printf("%s: %s\n", qPrintable(listing.name), qPrintable(first.error().message));
            continue;
        }
        const int pages = int(std::max<qint64>((first->total + query.pageSize - 1) / query.pageSize, 1));
        const std::pair<QString, int> where[] = {{u"first"_s, 1}, {u"middle"_s, (pages + 1) / 2}, {u"last"_s, pages}};
        for (const auto& [label, number] : where) {
            if (!listing.search.isEmpty() && label != u"first"_s)
                continue;
            query.page = number;
            record(listing.name + u", "_s + label + u" page"_s,
                   bench::measure([&] { benchmark::DoNotOptimize(listing.page(db, query)); }));
        }
        if (!listing.search.isEmpty() || pages < 3)
            continue;
        // Next and Previous from the middle page read on from its last or first row.
        query.page = (pages + 1) / 2;
        auto middle = listing.page(db, query);
        if (!middle || middle->rows.empty())
            continue;
        query.page = (pages + 1) / 2 + 1;
        query.after = middle->rows.back().key;
        record(listing.name + u", Next from the middle"_s,
               bench::measure([&] { benchmark::DoNotOptimize(listing.page(db, query)); }));
        query.page = (pages + 1) / 2 - 1;
        query.after.reset();
        query.before = middle->rows.front().key;
        record(listing.name + u", Previous from the middle"_s,
               bench::measure([&] { benchmark::DoNotOptimize(listing.page(db, query)); }));
    }

    // A message arrives: its row and the counters the dashboard and the tree then show, in
    // one transaction as the engine writes it; once without the commit, whose cost is the
    // disk's flush, and once with it. Taken away again afterwards, untimed.
    std::vector<qint64> added;
    auto arrive = [&] {
        auto id = store::InboxTable(db).insert(u"+4915100000042"_s, u"arrived"_s, QDateTime::currentDateTimeUtc());
        if (id)
            added.push_back(*id);
        benchmark::DoNotOptimize(store::InboxTable(db).countUnread());
        benchmark::DoNotOptimize(store::OutboxTable(db).countPending());
    };
    record(u"new row + counts"_s, bench::measure([&] {
               store::Transaction transaction(db);
               arrive();
               (void)transaction.commit();
           }));
    {
        store::Transaction outer(db);
        record(u"new row + counts, before the commit"_s, bench::measure(arrive));
        (void)outer.commit();
    }
    store::Transaction transaction(db);
    for (qint64 id : added)
        (void)store::InboxTable(db).remove(id);
    (void)transaction.commit();
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runOverSizes(argc, argv, "message_list_bench", "folder", benchStore, measureStore);
}
