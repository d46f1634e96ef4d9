#define SQLITE_HAS_CODEC 1
#include "Database.h"

#include <sqlite3.h>

#include <QFileInfo>

#include <atomic>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace store {

namespace {

StoreError errorOf(sqlite3* db, int code)
{
    if (db == nullptr)
        return {code, QString::fromUtf8(sqlite3_errstr(code))};
    return {code, QString::fromUtf8(sqlite3_errmsg(db))};
}

constexpr int kBusyTimeoutMs = 10000;

// Statements kept compiled for the next use of the same SQL. A statement on a table with
// triggers compiles every trigger's program too, which costs more than running it.
constexpr std::size_t kCachedStatements = 64;

} // namespace

struct StatementCache
{
    bool open = true;
    std::unordered_map<QString, sqlite3_stmt*> idle;

    sqlite3_stmt* take(const QString& sql)
    {
        auto found = idle.find(sql);
        if (found == idle.end())
            return nullptr;
        sqlite3_stmt* stmt = found->second;
        idle.erase(found);
        return stmt;
    }

    void give(sqlite3_stmt* stmt)
    {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        const QString sql = QString::fromUtf8(sqlite3_sql(stmt));
        if (!open || idle.size() >= kCachedStatements || idle.contains(sql)) {
            sqlite3_finalize(stmt);
            return;
        }
        idle.emplace(sql, stmt);
    }

    void close()
    {
        open = false;
        for (auto& [sql, stmt] : idle)
            sqlite3_finalize(stmt);
        idle.clear();
    }
};

// ---------------------------------------------------------------- Statement

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_prepareError(std::move(other.m_prepareError)),
      m_cache(std::move(other.m_cache))
{
    other.m_stmt = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        release();
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_prepareError = std::move(other.m_prepareError);
        m_cache = std::move(other.m_cache);
        other.m_stmt = nullptr;
    }
    return *this;
}

Statement::~Statement()
{
    release();
}

void Statement::release()
{
    if (m_stmt != nullptr && m_cache)
        m_cache->give(m_stmt);
    else
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_cache.reset();
}

void Statement::bind(int index, const QString& value)
{
    if (m_stmt == nullptr)
        return;
    if (value.isNull()) {
        sqlite3_bind_null(m_stmt, index);
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void Statement::bind(int index, qint64 value)
{
    if (m_stmt != nullptr)
        sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::bind(int index, double value)
{
    if (m_stmt != nullptr)
        sqlite3_bind_double(m_stmt, index, value);
}

void Statement::bindNull(int index)
{
    if (m_stmt != nullptr)
        sqlite3_bind_null(m_stmt, index);
}

void Statement::bindBlob(int index, std::span<const std::byte> bytes)
{
    if (m_stmt != nullptr)
        sqlite3_bind_blob64(m_stmt, index, bytes.data(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
}

void Statement::bind(int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        bind(index, value.toBool());
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        bind(index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bind(index, value.toDouble());
        break;
    default:
        bind(index, value.toString());
        break;
    }
}

StoreError Statement::lastError() const
{
    if (m_stmt == nullptr)
        return m_prepareError;
    return errorOf(m_db, sqlite3_errcode(m_db));
}

std::expected<bool, StoreError> Statement::step()
{
    if (m_stmt == nullptr)
        return std::unexpected(m_prepareError);
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    StoreError error = errorOf(m_db, rc);
    sqlite3_reset(m_stmt);
    return std::unexpected(error);
}

std::expected<bool, StoreError> Statement::next()
{
    return step();
}

std::expected<void, StoreError> Statement::run()
{
    auto stepped = step();
    if (!stepped)
        return std::unexpected(stepped.error());
    sqlite3_reset(m_stmt);
    return {};
}

std::expected<qint64, StoreError> Statement::scalar()
{
    auto stepped = step();
    if (!stepped)
        return std::unexpected(stepped.error());
    const qint64 value = *stepped ? integer(0) : 0;
    sqlite3_reset(m_stmt);
    return value;
}

bool Statement::isNull(int column) const
{
    return m_stmt == nullptr || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QString Statement::text(int column) const
{
    if (isNull(column))
        return {};
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (size == 0)
        return u""_s; // empty, but not Null
    return QString::fromUtf8(data, size);
}

qint64 Statement::integer(int column) const
{
    return m_stmt == nullptr ? 0 : sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const
{
    return m_stmt == nullptr ? 0.0 : sqlite3_column_double(m_stmt, column);
}

std::span<const std::byte> Statement::blob(int column) const
{
    if (m_stmt == nullptr)
        return {};
    // The pointer first, then the size: asking the size first could turn text into a copy.
    const auto* data = static_cast<const std::byte*>(sqlite3_column_blob(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    return data == nullptr ? std::span<const std::byte>() : std::span<const std::byte>(data, std::size_t(size));
}

QVariant Statement::value(int column) const
{
    if (m_stmt == nullptr)
        return {};
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return integer(column);
    case SQLITE_FLOAT:
        return real(column);
    case SQLITE_NULL:
        return {};
    default:
        return text(column);
    }
}

// ---------------------------------------------------------------- Database

std::expected<Database, StoreError> Database::open(const QString& path, const QString& key)
{
    // A file that is there but cannot be read by us must not be touched: opening read-write
    // is harmless by itself, nothing is written until the key has been proven below.
    const QFileInfo info(path);
    const bool existed = info.exists() && info.size() > 0;

    sqlite3* raw = nullptr;
    const QByteArray nativePath = path.toUtf8();
    const int rc = sqlite3_open_v2(nativePath.constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        StoreError error = errorOf(raw, rc);
        sqlite3_close(raw);
        return std::unexpected(error);
    }
    Database db(raw, path);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);

    // An empty key opens an ordinary, unencrypted SQLite file (tests make foreign files so).
    const QByteArray keyBytes = key.toUtf8();
    if (!keyBytes.isEmpty() && sqlite3_key(raw, keyBytes.constData(), int(keyBytes.size())) != SQLITE_OK)
        return std::unexpected(db.lastError());

    // Reading the schema is the first access that decrypts a page: a wrong key or a foreign
    // file fails here with "file is not a database" and nothing has been written.
    if (auto probe = db.prepare(u"SELECT count(*) FROM sqlite_master"_s).scalar(); !probe) {
        StoreError error = probe.error();
        if ((error.code & 0xff) == SQLITE_NOTADB)
            error.message =
                existed ? u"the file is not a tarvogate store, or it was saved with another password (%1)"_s.arg(
                              error.message)
                        : error.message;
        return std::unexpected(error);
    }

    // WAL keeps the screens' readers and the engine's writer out of each other's way;
    // FULL makes every committed change survive a power cut.
    if (auto r = db.exec(u"PRAGMA journal_mode=WAL"_s); !r)
        return std::unexpected(r.error());
    if (auto r = db.exec(u"PRAGMA synchronous=FULL"_s); !r)
        return std::unexpected(r.error());
    if (auto r = db.exec(u"PRAGMA foreign_keys=ON"_s); !r)
        return std::unexpected(r.error());
    // Every page read is decrypted and checked before use, which costs more than walking it;
    // the default 2 MB of decrypted pages is soon spent by a list at a million rows, and each
    // page of it read again. 16 MB a connection at most, taken only as pages are read.
    if (auto r = db.exec(u"PRAGMA cache_size=-16384"_s); !r)
        return std::unexpected(r.error());
    return db;
}

Database::Database(sqlite3* db, QString path)
    : m_db(db), m_path(std::move(path)), m_cache(std::make_shared<StatementCache>())
{}

Database::Database(Database&& other) noexcept
    : m_db(other.m_db), m_path(std::move(other.m_path)), m_cache(std::move(other.m_cache))
{
    other.m_db = nullptr;
}

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        close();
        m_db = other.m_db;
        m_path = std::move(other.m_path);
        m_cache = std::move(other.m_cache);
        other.m_db = nullptr;
    }
    return *this;
}

Database::~Database()
{
    close();
}

void Database::close()
{
    if (m_cache) {
        m_cache->close();
        m_cache.reset();
    }
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

Statement Database::prepare(const QString& sql) const
{
    if (m_db == nullptr)
        return Statement(nullptr, nullptr, {SQLITE_MISUSE, u"the store is not open"_s});
    sqlite3_stmt* stmt = m_cache->take(sql);
    if (stmt == nullptr) {
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            StoreError error = errorOf(m_db, rc);
            sqlite3_finalize(stmt);
            return Statement(m_db, nullptr, error);
        }
    }
    Statement statement(m_db, stmt, {});
    statement.m_cache = m_cache;
    return statement;
}

std::expected<void, StoreError> Database::exec(const QString& sql) const
{
    if (m_db == nullptr)
        return std::unexpected(StoreError{SQLITE_MISUSE, u"the store is not open"_s});
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        StoreError error{rc, message != nullptr ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc))};
        sqlite3_free(message);
        return std::unexpected(error);
    }
    return {};
}

std::expected<void, StoreError> Database::begin() const
{
    // IMMEDIATE takes the write lock up front, so two writers wait for each other instead of
    // failing half-way with SQLITE_BUSY.
    return exec(u"BEGIN IMMEDIATE"_s);
}

std::expected<void, StoreError> Database::commit() const
{
    return exec(u"COMMIT"_s);
}

void Database::rollback() const
{
    if (m_db != nullptr && !sqlite3_get_autocommit(m_db))
        (void)exec(u"ROLLBACK"_s);
}

bool Database::inTransaction() const
{
    return m_db != nullptr && !sqlite3_get_autocommit(m_db);
}

qint64 Database::lastInsertId() const
{
    return m_db == nullptr ? 0 : sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    return m_db == nullptr ? 0 : sqlite3_changes(m_db);
}

StoreError Database::lastError() const
{
    if (m_db == nullptr)
        return {SQLITE_MISUSE, u"the store is not open"_s};
    return errorOf(m_db, sqlite3_errcode(m_db));
}

// ---------------------------------------------------------------- Transaction

namespace {
std::atomic<int> gSavepointCounter = 0;
}

Transaction::Transaction(const Database& db) : m_db(db), m_nested(db.inTransaction())
{
    if (m_nested) {
        m_savepoint = u"tarvogate_sp%1"_s.arg(++gSavepointCounter);
        m_started = m_db.exec(u"SAVEPOINT "_s + m_savepoint);
    } else {
        m_started = m_db.begin();
    }
}

Transaction::~Transaction()
{
    if (m_done || !m_started)
        return;
    if (m_nested) {
        (void)m_db.exec(u"ROLLBACK TO "_s + m_savepoint);
        (void)m_db.exec(u"RELEASE "_s + m_savepoint);
    } else {
        m_db.rollback();
    }
}

std::expected<void, StoreError> Transaction::commit()
{
    if (!m_started)
        return m_started;
    if (m_nested) {
        auto result = m_db.exec(u"RELEASE "_s + m_savepoint);
        m_done = bool(result);
        return result;
    }
    m_done = true;
    auto result = m_db.commit();
    if (!result)
        m_db.rollback();
    return result;
}

} // namespace store

namespace store {
QString sqliteVersion()
{
    return QString::fromLatin1(sqlite3_libversion());
}
} // namespace store
