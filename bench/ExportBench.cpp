// Exports a large received-SMS range (default 1 000 000 rows) to each format and prints the
// time it took and the peak memory of the process that did it, which must not grow with the
// row count: run it with 100000 and with 1000000 and compare.
//
//     export_bench [rows]
//
// The store is built once in /tmp/tarvogate-export-bench-<rows>.mdb and reused while it holds
// that many rows; each format is exported by a process of its own, so each peak is its own.
#include "InboxTable.h"
#include "JetDatabaseWriter.h"
#include "ReceivedSmsExport.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

const QDate kFirstDay(2026, 1, 1);

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString storePath(qint64 rows)
{
    return u"/tmp/tarvogate-export-bench-%1.mdb"_s.arg(rows);
}

// Typical SMS: mostly one part, every tenth a long Cyrillic text, every 500th a very long one;
// a thousand a day or more, so the range spans some weeks.
bool fillStore(qint64 rows)
{
    const QString path = storePath(rows);
    {
        auto db = store::openStore(path);
        if (!db) {
            std::fprintf(stderr, "%s\n", qPrintable(db.error().message));
            return false;
        }
        auto count = db->prepare(u"SELECT COUNT(*) FROM Message_InBox"_s).scalar();
        if (count && *count == rows)
            return true;
    }
    QFile::remove(path);
    auto db = store::openStore(path);
    if (!db)
        return false;
    std::fprintf(stderr, "building %s ...\n", qPrintable(path));
    const QString shortText = u"Your parcel 4711 is ready for collection at the counter, \"Main St\", until 6 pm."_s;
    const QString longText = QString(u"Длинное сообщение из нескольких частей, с запятыми. "_s).repeated(6);
    const QString veryLong = QString(u"网关短信中文测试"_s).repeated(700);
    store::InboxTable inbox(*db);
    const QDateTime start(kFirstDay, QTime(0, 0));
    for (qint64 done = 0; done < rows;) {
        store::Transaction transaction(*db);
        for (int i = 0; i < 50000 && done < rows; ++i, ++done) {
            const QString& message = done % 500 == 499 ? veryLong : done % 10 == 9 ? longText : shortText;
            if (!inbox.insert(u"+49151%1"_s.arg(done, 8, 10, QChar(u'0')), message, start.addSecs(done * 2)))
                return false;
        }
        if (!transaction.commit())
            return false;
    }
    return true;
}

// One format, in this process: prints "seconds peak-MB file-MB".
int exportOne(const QString& format, qint64 rows)
{
    QTemporaryDir dir;
    exportfile::ExportJob job;
    job.storePath = storePath(rows);
    job.from = kFirstDay;
    job.to = kFirstDay.addDays(int(rows * 2 / 86400) + 1);
    job.fields = exportfile::exportableFields();
    if (format == u"csv"_s) {
        job.format = exportfile::ExportFormat::DelimitedText;
        job.path = dir.filePath(u"ReceivedSMSReport.csv"_s);
    } else if (format == u"xlsx"_s) {
        job.format = exportfile::ExportFormat::Excel;
        job.path = dir.filePath(u"ReceivedSMSReport.xlsx"_s);
    } else {
        job.format = exportfile::ExportFormat::Access;
        job.path = dir.filePath(u"ReceivedSMSReport.mdb"_s);
    }
    auto db = store::openStore(job.storePath);
    if (!db)
        return 1;
    QElapsedTimer timer;
    timer.start();
    if (job.format == exportfile::ExportFormat::Access) {
        auto database = exportfile::JetDatabaseWriter::create(job.path, u"SMS_Details"_s, job.fields);
        if (!database)
            return 1;
        job.database = std::move(*database);
    }
    std::atomic_bool cancel = false;
    const auto outcome = exportfile::exportReceivedSms(*db, job, cancel, {});
    job.database.reset();
    const qint64 ms = timer.elapsed();
    if (!outcome.error.isEmpty() || outcome.rows != rows) {
        std::fprintf(stderr, "%s: %lld rows, %s\n", qPrintable(format), static_cast<long long>(outcome.rows),
                     qPrintable(outcome.error));
        return 1;
    }
    std::printf("%.1f %.1f %.1f\n", ms / 1000.0, peakKilobytes() / 1024.0, QFileInfo(job.path).size() / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == u"--one"_s)
        return exportOne(arguments[2], arguments[3].toLongLong());

    const qint64 rows = arguments.size() > 1 ? arguments[1].toLongLong() : 1000000;
    if (rows <= 0 || !fillStore(rows))
        return 1;
    std::printf("| format | rows | seconds | rows/s | file MB | peak memory MB |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (const QString& format : {u"csv"_s, u"xlsx"_s, u"mdb"_s}) {
        QProcess one;
        one.start(QCoreApplication::applicationFilePath(), {u"--one"_s, format, QString::number(rows)});
        if (!one.waitForFinished(3600 * 1000) || one.exitCode() != 0) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(format), one.readAllStandardError().constData());
            return 1;
        }
        const QStringList values = QString::fromUtf8(one.readAllStandardOutput()).simplified().split(u' ');
        const double seconds = values.value(0).toDouble();
        std::printf("| %s | %lld | %s | %.0f | %s | %s |\n", qPrintable(format), static_cast<long long>(rows),
                    qPrintable(values.value(0)), seconds > 0 ? rows / seconds : 0.0, qPrintable(values.value(2)),
                    qPrintable(values.value(1)));
        std::fflush(stdout);
    }
    return 0;
}
