#pragma once

// The benchmarks' stores: built once in /tmp for each size and reused while the schema and
// the number of rows still match, since a million rows take minutes to write.

#include "Schema.h"
#include "Store.h"
#include "StoreLocation.h"
#include "TimingTable.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <functional>

namespace bench {

// The first row's time in every benchmark store.
inline const QDateTime kStart(QDate(2021, 1, 1), QTime(0, 0), Qt::UTC);

// A fixed generator, so every build of a store holds the same rows.
struct Numbers
{
    quint64 state = 88172645463325252ull;
    quint64 next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// A mobile number: a few thousand correspondents write again and again; the rest once or twice.
inline QString someNumber(Numbers& random)
{
    const quint64 who = random.next() % 4 == 0 ? random.next() % 5000 : random.next() % 100000000;
    return QStringLiteral("+49151%1").arg(qint64(who), 8, 10, QChar(u'0'));
}

using Fill = std::function<std::expected<void, store::StoreError>(const store::Database&, int rows)>;

// The store `/tmp/<name>-<rows>.mdb`, reused when `countSql` finds `rows` rows in it under the
// current schema, otherwise written afresh by `fill`.
inline std::expected<store::Database, store::StoreError> cachedStore(const QString& name, const QString& countSql,
                                                                     int rows, const Fill& fill)
{
    const QString path = QDir::temp().filePath(QStringLiteral("%1-%2.mdb").arg(name).arg(rows));
    if (QFileInfo::exists(path)) {
        bool older = false;
        if (auto existing = store::Database::open(path, QString::fromUtf16(store::kStoreKey))) {
            auto version = store::schemaVersion(*existing);
            auto count = existing->prepare(countSql).scalar();
            if (version && *version == store::currentSchemaVersion() && count && *count == rows)
                return existing;
            older = version && *version < store::currentSchemaVersion() && count && *count == rows;
        }
        // A store of an earlier schema is brought up to date as a user's would be, which times
        // the new migrations at this size too.
        if (older) {
            QElapsedTimer timer;
            timer.start();
            auto migrated = store::openStore(path);
            if (migrated) {
                std::printf("migrated %s in %.1f s\n", qPrintable(path), double(timer.elapsed()) / 1000.0);
                return migrated;
            }
        }
        std::printf("rebuilding %s (schema or size differs)\n", qPrintable(path));
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1StringView(suffix));
    }
    QElapsedTimer timer;
    timer.start();
    auto db = store::openStore(path);
    if (!db)
        return db;
    if (auto r = fill(*db, rows); !r)
        return std::unexpected(r.error());
    (void)db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    std::printf("built %s in %.1f s\n", qPrintable(path), double(timer.elapsed()) / 1000.0);
    return db;
}

// A benchmark's main: for each size given on the command line (or the defaults), its store, its
// timings in the table's column, and the file's size; then the table.
inline int runOverSizes(int argc, char** argv, const char* program, const char* rowsPer,
                        const std::function<std::expected<store::Database, store::StoreError>(int rows)>& storeOf,
                        const std::function<void(const store::Database&, TimingTable&, std::size_t column)>& measure)
{
    const std::vector<int> sizes = sizesFrom(argc, argv);
    if (sizes.empty()) {
        std::fprintf(stderr, "usage: %s [rows ...]\n", program);
        return 2;
    }
    TimingTable table(sizes);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        auto db = storeOf(sizes[i]);
        if (!db) {
            std::fprintf(stderr, "store: %s\n", qPrintable(db.error().message));
            return 1;
        }
        measure(*db, table, i);
        std::printf("file size at %d rows per %s: %.1f MB\n", sizes[i], rowsPer,
                    double(QFileInfo(db->path()).size()) / 1e6);
    }
    table.print();
    return 0;
}

} // namespace bench
