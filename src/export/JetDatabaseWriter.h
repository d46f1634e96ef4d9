#pragma once

#include "JetPages.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <expected>
#include <memory>
#include <optional>
#include <vector>

namespace exportfile {

struct JetError
{
    QString message;
};

// Writes a Microsoft Access database file (Jet 4, as Access 2000-2003 make them) holding one
// table: an `ID` long integer that numbers the rows from 1 like an AutoNumber, then long-text
// (memo) columns. Rows are written to their pages as they come, so memory stays flat however
// many rows there are. Right after create() the file already is a valid, empty database;
// finish() makes the rows appended so far part of it, and may be called at any time (after a
// cancel too); the destructor finishes a writer nobody finished.
class JetDatabaseWriter final
{
public:
    // The most memo columns one table may have here: each needs two usage maps on page 1.
    static constexpr int kMaxMemoColumns = 24;

    // Never replaces an existing file. Names are 1 to 64 characters, unique ignoring case.
    static std::expected<std::unique_ptr<JetDatabaseWriter>, JetError>
    create(const QString& path, const QString& tableName, const QStringList& memoColumns);

    ~JetDatabaseWriter();
    JetDatabaseWriter(const JetDatabaseWriter&) = delete;
    JetDatabaseWriter& operator=(const JetDatabaseWriter&) = delete;

    // One value per memo column, in order; a null QString is stored as NULL, an empty one as
    // an empty text. Returns the row's ID. After a write error every later call fails too.
    std::expected<qint32, JetError> appendRow(const QStringList& values);

    // Writes the pages still held and the table's row count, usage maps and next ID.
    std::expected<void, JetError> finish();

    qint64 rowCount() const { return m_rowCount; }
    QString path() const { return m_file.fileName(); }

private:
    struct LongValueColumn
    {
        jet::RowPage page;
        quint32 pageNumber = 0;
        jet::PageSet pages;
    };

    JetDatabaseWriter(const QString& path, const QString& tableName, const QStringList& memoColumns);

    std::expected<void, JetError> writeSkeleton();
    std::expected<void, JetError> writeDefinitions();
    std::expected<QByteArray, JetError> memoField(int column, const QString& value, int rowSoFar);
    std::expected<quint32, JetError> storeLongValue(int column, const QByteArray& bytes);
    std::expected<quint32, JetError> allocatePage();
    std::expected<void, JetError> writePage(quint32 number, const QByteArray& page);
    std::expected<void, JetError> flushDataPage();
    std::expected<void, JetError> flushLongValuePage(int column);
    std::expected<QByteArray, JetError> usageMapRow(const jet::PageSet& pages);
    JetError fail(const QString& message);

    QFile m_file;
    QString m_tableName;
    QStringList m_columns;
    double m_created = 0;
    quint32 m_nextPage = 0;
    jet::RowPage m_dataPage;
    quint32 m_dataPageNumber = 0;
    jet::PageSet m_dataPages;
    std::vector<LongValueColumn> m_longValues;
    qint64 m_rowCount = 0;
    std::optional<JetError> m_failure;
    bool m_finished = false;
};

} // namespace exportfile
