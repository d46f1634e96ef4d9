#include "ReceivedSmsExport.h"

#include "InboxExportRows.h"
#include "WorkbookWriter.h"

using namespace Qt::StringLiterals;

namespace exportfile {

namespace {

// One writer behind the three formats: append a row, finish the file.
struct Sink
{
    std::function<std::expected<void, ExportError>(const QStringList&)> append;
    std::function<std::expected<void, ExportError>()> finish;
    std::function<qint64()> cutCells = [] { return qint64(0); };
};

std::expected<Sink, ExportError> openSink(ExportJob& job)
{
    switch (job.format) {
    case ExportFormat::DelimitedText: {
        auto opened = DelimitedTextWriter::open(job.path, job.fields, job.text);
        if (!opened)
            return std::unexpected(opened.error());
        std::shared_ptr<DelimitedTextWriter> writer = std::move(*opened);
        return Sink{[writer](const QStringList& values) { return writer->appendRow(values); },
                    [writer] { return writer->finish(); }};
    }
    case ExportFormat::Excel: {
        std::vector<WorkbookColumn> columns;
        for (const QString& field : job.fields)
            columns.push_back(
                {field, field == u"InboxDateTime"_s ? WorkbookColumn::Kind::DateTime : WorkbookColumn::Kind::Text});
        auto opened = WorkbookWriter::open(job.path, columns);
        if (!opened)
            return std::unexpected(opened.error());
        std::shared_ptr<WorkbookWriter> writer = std::move(*opened);
        return Sink{[writer](const QStringList& values) { return writer->appendRow(values); },
                    [writer] { return writer->finish(); }, [writer] { return writer->cutCells(); }};
    }
    case ExportFormat::Access: {
        if (!job.database)
            return std::unexpected(ExportError{u"%1: the database was not prepared"_s.arg(job.path)});
        JetDatabaseWriter* writer = job.database.get();
        auto asExportError = [](const JetError& error) { return ExportError{error.message}; };
        return Sink{[writer, asExportError](const QStringList& values) -> std::expected<void, ExportError> {
                        if (auto added = writer->appendRow(values); !added)
                            return std::unexpected(asExportError(added.error()));
                        return {};
                    },
                    [writer, asExportError]() -> std::expected<void, ExportError> {
                        if (auto done = writer->finish(); !done)
                            return std::unexpected(asExportError(done.error()));
                        return {};
                    }};
    }
    }
    return std::unexpected(ExportError{u"unknown format"_s});
}

} // namespace

const QStringList& exportableFields()
{
    static const QStringList fields{u"SenderMobileNo"_s, u"Message"_s, u"InboxDateTime"_s};
    return fields;
}

ExportOutcome exportReceivedSms(const store::Database& db, ExportJob& job, const std::atomic_bool& cancel,
                                const std::function<void(qint64 rows, qint64 total)>& progress)
{
    ExportOutcome outcome;
    // One read transaction: the count and the rows see the same messages, whatever the
    // gateway receives or deletes meanwhile.
    if (auto begun = db.begin(); !begun) {
        outcome.error = begun.error().message;
        return outcome;
    }
    struct EndRead
    {
        const store::Database& db;
        ~EndRead() { db.rollback(); }
    } endRead{db};

    store::InboxExportRows rows(db, job.from, job.to);
    auto total = rows.count();
    if (!total) {
        outcome.error = total.error().message;
        return outcome;
    }
    outcome.total = *total;
    auto sink = openSink(job);
    if (!sink) {
        outcome.error = sink.error().message;
        return outcome;
    }
    QStringList values;
    values.reserve(job.fields.size());
    while (!cancel.load(std::memory_order_relaxed)) {
        auto more = rows.next();
        if (!more) {
            outcome.error = more.error().message;
            break;
        }
        if (!*more)
            break;
        values.clear();
        for (const QString& field : job.fields) {
            if (field == u"SenderMobileNo"_s)
                values << rows.SenderMobileNo();
            else if (field == u"Message"_s)
                values << rows.Message();
            else
                values << rows.InboxDateTime();
        }
        if (auto added = sink->append(values); !added) {
            outcome.error = added.error().message;
            break;
        }
        ++outcome.rows;
        if (progress)
            progress(outcome.rows, outcome.total);
    }
    outcome.cancelled = outcome.error.isEmpty() && cancel.load();
    // Finished after a cancel or a failure too: the rows written so far make a whole file.
    if (auto done = sink->finish(); !done && outcome.error.isEmpty())
        outcome.error = done.error().message;
    outcome.cutCells = sink->cutCells();
    return outcome;
}

} // namespace exportfile
