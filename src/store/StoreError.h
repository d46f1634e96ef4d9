#pragma once

#include <QString>

namespace store {

// What a failed store operation tells its caller: SQLite's own message (for the log and for
// the operator) and its result code (so callers can tell "busy" from "corrupt").
struct StoreError
{
    int code = 0;
    QString message;
};

} // namespace store
