// Writes an Access file the size of a large export (default 1 000 000 rows of the three
// exported columns) and prints the time it took and the process's peak memory, which must not
// depend on the row count: run it with 100000 and with 1000000 and compare.
//
//     jet_writer_bench [rows] [file]
#include "JetDatabaseWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qint64 rows = arguments.size() > 1 ? arguments[1].toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = arguments.size() > 2 ? arguments[2] : dir.filePath(u"ReceivedSMSReport.mdb"_s);
    QFile::remove(path);

    const long before = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    auto writer = exportfile::JetDatabaseWriter::create(path, u"SMS_Details"_s,
                                                        {u"SenderMobileNo"_s, u"Message"_s, u"InboxDateTime"_s});
    if (!writer) {
        std::fprintf(stderr, "%s\n", qPrintable(writer.error().message));
        return 1;
    }
    // Typical SMS: mostly one part, every tenth a long Cyrillic text, every 500th a very long one.
    const QString shortText = u"Your parcel 4711 is ready for collection at the counter, \"Main St\", until 6 pm."_s;
    const QString longText = QString(u"Длинное сообщение из нескольких частей. "_s).repeated(8);
    const QString veryLong = QString(u"网关短信中文测试"_s).repeated(700);
    for (qint64 i = 0; i < rows; ++i) {
        const QString& message = i % 500 == 499 ? veryLong : i % 10 == 9 ? longText : shortText;
        const QString when =
            u"03/14/2026 09:%1:%2"_s.arg(i / 60 % 60, 2, 10, QChar(u'0')).arg(i % 60, 2, 10, QChar(u'0'));
        if (auto id = (*writer)->appendRow({u"+49151%1"_s.arg(i, 8, 10, QChar(u'0')), message, when}); !id) {
            std::fprintf(stderr, "%s\n", qPrintable(id.error().message));
            return 1;
        }
    }
    if (auto finished = (*writer)->finish(); !finished) {
        std::fprintf(stderr, "%s\n", qPrintable(finished.error().message));
        return 1;
    }
    const qint64 ms = timer.elapsed();

    std::printf("| rows | seconds | rows/s | file MB | peak memory MB (before start) |\n");
    std::printf("|---:|---:|---:|---:|---:|\n");
    std::printf("| %lld | %.1f | %.0f | %.0f | %.1f (%.1f) |\n", static_cast<long long>(rows), ms / 1000.0,
                ms > 0 ? rows * 1000.0 / ms : 0.0, QFileInfo(path).size() / 1048576.0, peakKilobytes() / 1024.0,
                before / 1024.0);
    return 0;
}
