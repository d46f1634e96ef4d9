#pragma once

#include "Database.h"

namespace store {

// The schema version this program writes; PRAGMA user_version holds the file's.
int currentSchemaVersion();

// Brings a freshly opened store up to the current schema: an empty file gets every table,
// index and default row; an older one gets the missing migrations, all in one transaction.
// A file from a newer program is refused rather than guessed at.
std::expected<void, StoreError> ensureSchema(const Database& db);

std::expected<int, StoreError> schemaVersion(const Database& db);

} // namespace store
