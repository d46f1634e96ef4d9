#include "Store.h"

#include "Schema.h"
#include "StoreLocation.h"

namespace store {

std::expected<Database, StoreError> openStore(const QString& path)
{
    auto db = Database::open(path, QString::fromUtf16(kStoreKey));
    if (!db)
        return db;
    if (auto schema = ensureSchema(*db); !schema)
        return std::unexpected(schema.error());
    return db;
}

} // namespace store
