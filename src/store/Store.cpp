#include "Store.h"

#include "MessageCounts.h"
#include "Schema.h"
#include "StoreLocation.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace store {

namespace {
Q_LOGGING_CATEGORY(lcStore, "tarvogate.store", QtInfoMsg)
} // namespace

std::expected<Database, StoreError> openStore(const QString& path)
{
    auto db = Database::open(path, QString::fromUtf16(kStoreKey));
    if (!db)
        return db;
    if (auto schema = ensureSchema(*db); !schema)
        return std::unexpected(schema.error());
    // The lists and the dashboard trust the kept totals; a file edited by hand, or rows
    // changed with the triggers dropped, would show wrong numbers for good.
    auto rebuilt = reconcileCounts(*db);
    if (!rebuilt)
        return std::unexpected(rebuilt.error());
    if (*rebuilt)
        qCWarning(lcStore).noquote() << u"The message counts of %1 disagreed with its rows and were rebuilt."_s.arg(
            path);
    return db;
}

} // namespace store
