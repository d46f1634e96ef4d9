#pragma once

#include "StoreError.h"

#include <QString>
#include <QVariant>

#include <cstddef>
#include <expected>
#include <memory>
#include <span>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class Database;
struct StatementCache;

// One prepared statement. Values are always bound, never spliced into the SQL text; a null
// QString binds SQL NULL and an empty one binds the empty text, so both round-trip apart.
class Statement
{
public:
    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    bool isValid() const { return m_stmt != nullptr; }

    void bind(int index, const QString& value);
    void bind(int index, const char16_t* value) { bind(index, QString::fromUtf16(value)); }
    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, qint64(value)); }
    void bind(int index, double value);
    void bind(int index, bool value) { bind(index, qint64(value ? -1 : 0)); }
    void bindNull(int index);
    void bindBlob(int index, std::span<const std::byte> bytes);
    void bind(int index, const QVariant& value);

    // Advances to the next row: true while a row is available, false at the end.
    std::expected<bool, StoreError> next();
    // Runs a statement that returns no rows.
    std::expected<void, StoreError> run();
    // Runs a "SELECT COUNT(*) ..." style statement and returns its first column.
    std::expected<qint64, StoreError> scalar();
    // Every row of the result, each made by read(*this).
    template <typename Read> auto collect(Read read) -> std::expected<std::vector<decltype(read(*this))>, StoreError>
    {
        std::vector<decltype(read(*this))> rows;
        for (;;) {
            auto more = next();
            if (!more)
                return std::unexpected(more.error());
            if (!*more)
                return rows;
            rows.push_back(read(*this));
        }
    }

    bool isNull(int column) const;
    QString text(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    // The column's bytes as stored, valid until the statement moves on.
    std::span<const std::byte> blob(int column) const;
    // A yes/no column: anything but 0 (and Null) is true, as the store writes -1 for true.
    bool boolean(int column) const { return !isNull(column) && integer(column) != 0; }
    QVariant value(int column) const;

private:
    friend class Database;
    Statement(sqlite3* db, sqlite3_stmt* stmt, StoreError prepareError)
        : m_db(db), m_stmt(stmt), m_prepareError(std::move(prepareError))
    {}
    void release();
    StoreError lastError() const;
    std::expected<bool, StoreError> step();

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    StoreError m_prepareError;
    // Where the compiled statement goes back to when this one is done with it.
    std::shared_ptr<StatementCache> m_cache;
};

// A SQLCipher connection, opened once per thread and held for the thread's lifetime.
class Database
{
public:
    // Opens (or creates) an encrypted store file; an empty key means a plain SQLite file.
    // An existing file that does not open with the key, or is no database at all, is
    // refused and left exactly as it was.
    static std::expected<Database, StoreError> open(const QString& path, const QString& key);

    Database() = default;
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    bool isOpen() const { return m_db != nullptr; }
    const QString& path() const { return m_path; }

    // A statement that does not compile is a programming error; it is reported with the
    // message when it is run, so the caller's error path handles it like any other failure.
    Statement prepare(const QString& sql) const;
    std::expected<void, StoreError> exec(const QString& sql) const;

    std::expected<void, StoreError> begin() const;
    std::expected<void, StoreError> commit() const;
    void rollback() const;

    bool inTransaction() const;
    qint64 lastInsertId() const;
    int changes() const;
    StoreError lastError() const;

private:
    explicit Database(sqlite3* db, QString path);
    void close();

    sqlite3* m_db = nullptr;
    QString m_path;
    std::shared_ptr<StatementCache> m_cache;
};

// Rolls back unless committed, so an early return never leaves half a change behind. Inside
// another transaction it becomes a savepoint: its part is undone alone, and the outer
// transaction decides about the whole.
class Transaction
{
public:
    explicit Transaction(const Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    const std::expected<void, StoreError>& started() const { return m_started; }
    std::expected<void, StoreError> commit();

private:
    const Database& m_db;
    bool m_nested = false;
    QString m_savepoint;
    std::expected<void, StoreError> m_started;
    bool m_done = false;
};

} // namespace store

namespace store {
// The SQLite version inside the SQLCipher library, for the About window.
QString sqliteVersion();
} // namespace store
