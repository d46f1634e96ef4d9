#pragma once

#include "DelimitedTextWriter.h"
#include "JetDatabaseWriter.h"

#include <QDate>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

namespace store {
class Database;
}

namespace exportfile {

enum class ExportFormat
{
    Access,
    Excel,
    DelimitedText
};

// The names of the fields an export may hold, in the order they are always written.
const QStringList& exportableFields();

// What the export wizard hands to the export: which rows, which fields, which file.
struct ExportJob
{
    QString storePath;
    QDate from;
    QDate to;
    QStringList fields; // out of exportableFields(), in their order
    ExportFormat format = ExportFormat::Access;
    QString path;
    DelimitedTextOptions text;
    // Access only: the database "Browse" made, with a table for exactly these fields.
    std::unique_ptr<JetDatabaseWriter> database;
};

struct ExportOutcome
{
    qint64 rows = 0;  // written to the file
    qint64 total = 0; // the range held when the export began
    bool cancelled = false;
    QString error; // empty when nothing failed
    qint64 cutCells = 0;
};

// Writes the range's rows to the job's file, reading them one at a time in one read
// transaction; `progress` hears of every row written. Ends after the row in hand once `cancel`
// is set, and leaves a complete file with the rows written so far.
ExportOutcome exportReceivedSms(const store::Database& db, ExportJob& job, const std::atomic_bool& cancel,
                                const std::function<void(qint64 rows, qint64 total)>& progress);

} // namespace exportfile
