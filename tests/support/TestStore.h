#pragma once

#include "Store.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace testing_support {

// Opens a store file as the program does, schema and all; an empty connection, and a failed
// test, when it does not open.
inline store::Database openTestStore(const QString& path)
{
    auto opened = store::openStore(path);
    if (!opened) {
        ADD_FAILURE() << "the store " << path.toStdString()
                      << " did not open: " << opened.error().message.toStdString();
        return {};
    }
    return std::move(*opened);
}

// The first column of a one-value query ("SELECT COUNT(*) ..."); -1 when the query failed.
inline qint64 scalarOf(const store::Database& db, const QString& sql)
{
    return db.prepare(sql).scalar().value_or(-1);
}

} // namespace testing_support
