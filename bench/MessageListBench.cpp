// The message box shows one page of a folder at a time; its cost must not grow with the
// folder. Compare a page (and a search) at 1 000 and 100 000 inbox rows.
#include "InboxTable.h"
#include "MessageListQuery.h"
#include "Store.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

struct FilledInbox
{
    QTemporaryDir dir;
    store::Database db;

    explicit FilledInbox(int rows)
    {
        db = std::move(*store::openStore(QDir(dir.path()).filePath(u"SMSGateway.mdb"_s)));
        store::Transaction transaction(db);
        const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
        store::InboxTable inbox(db);
        for (int i = 0; i < rows; ++i)
            (void)inbox.insert(u"+49151%1"_s.arg(i, 8, 10, QChar(u'0')), u"message text"_s,
                               start.addSecs(qint64(i) * 60));
        (void)transaction.commit();
    }
};

void BM_InboxFirstPage(benchmark::State& state)
{
    FilledInbox filled(int(state.range(0)));
    store::MessageListQuery query;
    for (auto _ : state)
        benchmark::DoNotOptimize(store::inboxPage(filled.db, query));
}
BENCHMARK(BM_InboxFirstPage)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_InboxSearchTenDigits(benchmark::State& state)
{
    FilledInbox filled(int(state.range(0)));
    store::MessageListQuery query;
    query.search = u"5100000500"_s;
    for (auto _ : state)
        benchmark::DoNotOptimize(store::inboxPage(filled.db, query));
}
BENCHMARK(BM_InboxSearchTenDigits)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
