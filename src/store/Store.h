#pragma once

#include "Database.h"

namespace store {

// Opens the store file with its password and brings its schema up to date. Each thread calls
// this once for its own connection.
std::expected<Database, StoreError> openStore(const QString& path);

} // namespace store
