// The dashboard re-counts its three numbers every second for months on end, and the log
// takes a line for every step of every run. Both must stay cheap however large the store
// grows: compare the timings at 1 000 and 100 000 rows, they should be about the same.
#include "ActivityLog.h"
#include "CallTable.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "Store.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

struct FilledStore
{
    QTemporaryDir dir;
    store::Database db;

    explicit FilledStore(int rows)
    {
        db = std::move(*store::openStore(QDir(dir.path()).filePath(u"SMSGateway.mdb"_s)));
        store::Transaction transaction(db);
        const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
        store::InboxTable inbox(db);
        store::OutboxTable outbox(db);
        store::CallTable calls(db);
        for (int i = 0; i < rows; ++i) {
            const QDateTime when = start.addSecs(qint64(i) * 300);
            (void)inbox.insert(u"+4915100000000"_s, u"message text"_s, when);
            (void)outbox.insert(u"+4915100000000"_s, u"message text"_s, when);
            (void)calls.insert(when, u"+4915100000000"_s, i % 3 != 0);
        }
        // Most rows are old: read and delivered.
        (void)db.exec(u"UPDATE Message_InBox SET IsRead=-1 WHERE InBox_Id % 50 <> 0"_s);
        (void)db.exec(u"UPDATE Message_OutBox SET DeliveryStatus='SENT', DeliveryDatetime=OutBoxDateTime "
                      u"WHERE Outbox_Id % 50 <> 0"_s);
        (void)transaction.commit();
    }
};

void BM_DashboardCounters(benchmark::State& state)
{
    FilledStore filled(int(state.range(0)));
    const QDate today(2025, 2, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store::CallTable(filled.db).countMissedOn(today));
        benchmark::DoNotOptimize(store::InboxTable(filled.db).countUnread());
        benchmark::DoNotOptimize(store::OutboxTable(filled.db).countPending());
    }
}
BENCHMARK(BM_DashboardCounters)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

struct StillClock final : store::Clock
{
    QDateTime now() const override { return QDateTime(QDate(2026, 1, 1), QTime(12, 0)); }
};

void BM_ActivityLogLine(benchmark::State& state)
{
    StillClock clock;
    store::ActivityLog log(clock);
    log.setOn(true);
    for (auto _ : state)
        log.add(u"Checking if there are any SMS to be sent."_s);
    benchmark::DoNotOptimize(log.text());
}
BENCHMARK(BM_ActivityLogLine)->Unit(benchmark::kMicrosecond);

} // namespace
