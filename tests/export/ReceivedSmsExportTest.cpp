// The export's files are read back by programs written by others: Python's csv module, openpyxl
// and mdbtools, never by our own code.
#include "ReceivedSmsExport.h"
#include "DelimitedTextWriter.h"
#include "InboxTable.h"
#include "JetDatabaseWriter.h"
#include "TestStore.h"
#include "WorkbookWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using exportfile::DelimitedTextOptions;
using exportfile::ExportFormat;
using exportfile::ExportJob;
using exportfile::WorkbookColumn;
using exportfile::WorkbookWriter;
using testing_support::TempFolder;

namespace {

const QDate kDay(2026, 3, 14);

QJsonObject readBack(const QStringList& arguments)
{
    QProcess python;
    // Debian's interpreter, which has the openpyxl package.
    python.start(u"/usr/bin/python3"_s, QStringList{TARVOGATE_SOURCE_DIR "/tests/export/read_back.py"} + arguments);
    if (!python.waitForFinished(120000)) {
        python.kill();
        python.waitForFinished(5000);
        ADD_FAILURE() << "read_back.py did not finish";
        return {};
    }
    const QByteArray err = python.readAllStandardError();
    EXPECT_EQ(python.exitCode(), 0) << err.toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

std::vector<QStringList> rowsOf(const QJsonArray& array)
{
    std::vector<QStringList> rows;
    for (const QJsonValue& row : array) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << (cell.isNull() ? u"<empty>"_s : cell.toString());
        rows.push_back(cells);
    }
    return rows;
}

std::vector<QStringList> csvRows(const QString& path, const QString& delimiter, const QString& quote)
{
    return rowsOf(readBack({u"csv"_s, path, delimiter, quote})[u"rows"_s].toArray());
}

std::vector<QStringList> mdbRows(const QString& path)
{
    return rowsOf(readBack({u"mdb"_s, path, u"SMS_Details"_s})[u"rows"_s].toArray());
}

struct Sheet
{
    QString name;
    int count = 0;
    std::vector<QStringList> rows;
};

std::vector<Sheet> sheetsOf(const QString& path, bool full = true)
{
    std::vector<Sheet> sheets;
    for (const QJsonValue& value :
         readBack({u"xlsx"_s, path, full ? u"full"_s : u"summary"_s})[u"sheets"_s].toArray()) {
        const QJsonObject sheet = value.toObject();
        sheets.push_back({sheet[u"name"_s].toString(), sheet[u"count"_s].toInt(), rowsOf(sheet[u"rows"_s].toArray())});
    }
    return sheets;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString repeated(const QString& piece, int length)
{
    QString text;
    while (text.size() < length)
        text += piece;
    return text.left(length);
}

struct Sms
{
    QString number;
    QString message;
    QTime at;
};

// What the gateway receives: quotes, delimiters, line breaks, every alphabet, a long text,
// numbers with a leading "+" or "0", and a text of blanks only.
const std::vector<Sms>& messages()
{
    static const std::vector<Sms> sms{
        {u"+4915112345678"_s, u"He said \"hi\", then left"_s, QTime(0, 0, 0)},
        {u"01511234567"_s, u"line one\r\nline two"_s, QTime(8, 15, 1)},
        {u"+79991234567"_s, u"Привет, мир; всё хорошо"_s, QTime(9, 0, 0)},
        {u"+8613800138000"_s, u"你好，世界 😀 it's"_s, QTime(12, 30, 59)},
        {u"+4930123"_s, u"   "_s, QTime(18, 0, 0)},
        {u"0049301234"_s, repeated(u"long message 0123456789 äöü "_s, 5000), QTime(23, 59, 59)},
    };
    return sms;
}

QString isoOf(const Sms& sms)
{
    return kDay.toString(Qt::ISODate) + u' ' + sms.at.toString(u"HH:mm:ss"_s);
}

struct ExportTest : ::testing::Test
{
    TempFolder folder;
    store::Database db;

    void SetUp() override { db = testing_support::openTestStore(folder.storePath()); }

    // The day's messages in the order of arrival, and one on each neighbouring day, which the
    // range leaves out.
    void fill()
    {
        store::InboxTable inbox(db);
        ASSERT_TRUE(inbox.insert(u"+1"_s, u"the day before"_s, QDateTime(kDay.addDays(-1), QTime(23, 59, 59))));
        // Stored newest first, so that the file's order comes from the export's own order.
        for (auto it = messages().rbegin(); it != messages().rend(); ++it)
            ASSERT_TRUE(inbox.insert(it->number, it->message, QDateTime(kDay, it->at)));
        ASSERT_TRUE(inbox.insert(u"+2"_s, u"the day after"_s, QDateTime(kDay.addDays(1), QTime(0, 0, 0))));
    }

    ExportJob job(ExportFormat format, const QString& name, const QStringList& fields = exportfile::exportableFields())
    {
        ExportJob job;
        job.storePath = folder.storePath();
        job.from = kDay;
        job.to = kDay;
        job.fields = fields;
        job.format = format;
        job.path = folder.file(name);
        if (format == ExportFormat::Access) {
            auto database = exportfile::JetDatabaseWriter::create(job.path, u"SMS_Details"_s, fields);
            EXPECT_TRUE(database.has_value());
            if (database)
                job.database = std::move(*database);
        } else if (format == ExportFormat::DelimitedText) {
            EXPECT_TRUE(exportfile::DelimitedTextWriter::createEmpty(job.path));
        }
        return job;
    }

    exportfile::ExportOutcome run(ExportJob& job, qint64 cancelAfter = -1)
    {
        std::atomic_bool cancel = false;
        return exportfile::exportReceivedSms(db, job, cancel, [&](qint64 rows, qint64) {
            if (rows == cancelAfter)
                cancel = true;
        });
    }
};

TEST(DelimitedText, ReplaceTextQualifierAndLines)
{
    struct Case
    {
        QString qualifier;
        QString value;
        QString field;
    };
    for (const Case& c : {Case{u"\""_s, u"say \"hi\""_s, u"say \"\"hi\"\""_s}, Case{u"'"_s, u"it's"_s, u"it''s"_s},
                          Case{u""_s, u"say \"hi\""_s, u"say \"hi\""_s}, Case{u"\""_s, u"   "_s, u""_s},
                          Case{u"\""_s, u"  x "_s, u"  x "_s}, Case{u"\""_s, u"\t"_s, u"\t"_s}})
        EXPECT_EQ(exportfile::ReplaceTextQualifier(c.qualifier, c.value), c.field) << c.value.toStdString();

    struct LineCase
    {
        const char* what;
        QString delimiter;
        QString qualifier;
        QStringList values;
        QString line;
    };
    const LineCase lines[] = {
        {"defaults", u","_s, u"\""_s, {u"+49"_s, u"a, \"b\""_s}, u"\"+49\",\"a, \"\"b\"\"\""_s},
        {"empty and null are empty qualified fields", u","_s, u"\""_s, {u""_s, QString(), u" "_s}, u"\"\",\"\",\"\""_s},
        {"no qualifier: an empty first field starts the line with the delimiter",
         u";"_s,
         u""_s,
         {QString(), u"a;b"_s},
         u";a;b"_s},
        {"tab and apostrophe", u"\t"_s, u"'"_s, {u"0151"_s, u"it's"_s}, u"'0151'\t'it''s'"_s},
        {"a delimiter of several characters", u"||"_s, u"\""_s, {u"a"_s, u"b"_s}, u"\"a\"||\"b\""_s},
    };
    for (const LineCase& c : lines)
        EXPECT_EQ(exportfile::delimitedLine(c.values, {true, c.delimiter, c.qualifier}), c.line) << c.what;
}

TEST_F(ExportTest, DelimitedTextReadsBackWithEveryCharacter)
{
    fill();
    struct Case
    {
        const char* what;
        DelimitedTextOptions options;
        QStringList fields;
    };
    const Case cases[] = {
        {"comma and double quote", {true, u","_s, u"\""_s}, exportfile::exportableFields()},
        {"semicolon and apostrophe, no names", {false, u";"_s, u"'"_s}, {u"SenderMobileNo"_s, u"Message"_s}},
        {"tab and double quote", {true, u"\t"_s, u"\""_s}, {u"Message"_s, u"InboxDateTime"_s}},
    };
    int n = 0;
    for (const Case& c : cases) {
        ExportJob job = this->job(ExportFormat::DelimitedText, u"export%1.csv"_s.arg(++n), c.fields);
        job.text = c.options;
        const auto outcome = run(job);
        EXPECT_EQ(outcome.error, QString()) << c.what;
        EXPECT_EQ(outcome.rows, 6) << c.what;
        EXPECT_EQ(outcome.total, 6) << c.what;

        std::vector<QStringList> expected;
        if (c.options.includeFieldNames)
            expected.push_back(c.fields);
        for (const Sms& sms : messages()) {
            QStringList row;
            for (const QString& field : c.fields)
                row << (field == u"SenderMobileNo"_s ? sms.number
                        : field == u"Message"_s      ? (sms.message.trimmed().isEmpty() ? u""_s : sms.message)
                                                     : isoOf(sms));
            expected.push_back(row);
        }
        EXPECT_EQ(csvRows(job.path, c.options.delimiter, c.options.qualifier), expected) << c.what;

        const QByteArray bytes = fileBytes(job.path);
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << c.what;
        EXPECT_TRUE(bytes.endsWith("\r\n")) << c.what;
        // Every line break is CR LF: the message's own and the line ends.
        EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << c.what;
        if (c.options.includeFieldNames) {
            EXPECT_TRUE(bytes.mid(3).startsWith(c.fields.join(c.options.delimiter).toUtf8() + "\r\n")) << c.what;
        }
    }
}

TEST_F(ExportTest, DelimitedTextWithoutQualifierWritesValuesAsTheyAre)
{
    fill();
    ExportJob job = this->job(ExportFormat::DelimitedText, u"plain.csv"_s, {u"SenderMobileNo"_s, u"Message"_s});
    job.text = {true, u","_s, u""_s};
    ASSERT_EQ(run(job).rows, 6);
    const QString text = QString::fromUtf8(fileBytes(job.path).mid(3));
    const QStringList lines = text.split(u"\r\n"_s);
    EXPECT_EQ(lines.at(0), u"SenderMobileNo,Message"_s);
    EXPECT_EQ(lines.at(1), u"+4915112345678,He said \"hi\", then left"_s);
    // Nothing protects a delimiter inside a value: the reader sees one field more.
    EXPECT_EQ(csvRows(job.path, u","_s, u""_s).at(1).size(), 3);
    EXPECT_TRUE(text.contains(u"\r\n+4930123,\r\n"_s));
}

TEST_F(ExportTest, WorkbookHoldsTextAsTextAndDatesAsDates)
{
    fill();
    ExportJob job = this->job(ExportFormat::Excel, u"ReceivedSMSReport.xlsx"_s);
    const auto outcome = run(job);
    EXPECT_EQ(outcome.error, QString());
    EXPECT_EQ(outcome.rows, 6);
    const auto sheets = sheetsOf(job.path);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].name, u"Sheet1"_s);
    ASSERT_EQ(sheets[0].rows.size(), 7u);
    EXPECT_EQ(sheets[0].rows[0], exportfile::exportableFields());
    for (size_t i = 0; i < messages().size(); ++i) {
        const Sms& sms = messages()[i];
        // Exact values, no padding; a blank-only message is kept as it is.
        EXPECT_EQ(sheets[0].rows[i + 1],
                  (QStringList{sms.number, sms.message, u"D:"_s + isoOf(sms) + u"|dd/mm/yyyy hh:mm:ss"_s}))
            << i;
    }
}

TEST_F(ExportTest, WorkbookSheetsHoldAtMost65535Rows)
{
    struct Case
    {
        int rows;
        std::vector<int> perSheet;
    };
    for (const Case& c : {Case{70000, {65535, 4465}}, Case{65535, {65535}}, Case{0, {0}}}) {
        const QString path = folder.file(u"rows%1.xlsx"_s.arg(c.rows));
        auto writer = WorkbookWriter::open(path, {{u"SenderMobileNo"_s}, {u"Message"_s}});
        ASSERT_TRUE(writer);
        for (int i = 1; i <= c.rows; ++i)
            ASSERT_TRUE((*writer)->appendRow({u"+49%1"_s.arg(i), u"sms %1"_s.arg(i)}));
        ASSERT_TRUE((*writer)->finish());
        const auto sheets = sheetsOf(path, false);
        ASSERT_EQ(sheets.size(), c.perSheet.size()) << c.rows;
        int before = 0;
        for (size_t s = 0; s < sheets.size(); ++s) {
            EXPECT_EQ(sheets[s].name, u"Sheet%1"_s.arg(s + 1)) << c.rows;
            EXPECT_EQ(sheets[s].count, c.perSheet[s] + 1) << c.rows;
            EXPECT_EQ(sheets[s].rows.front(), (QStringList{u"SenderMobileNo"_s, u"Message"_s})) << c.rows;
            if (c.perSheet[s] > 0) {
                EXPECT_EQ(sheets[s].rows.back(), (QStringList{u"+49%1"_s.arg(before + c.perSheet[s]),
                                                              u"sms %1"_s.arg(before + c.perSheet[s])}))
                    << c.rows;
            }
            before += c.perSheet[s];
        }
    }
}

TEST_F(ExportTest, WorkbookCutsOnlyWhatACellCannotHoldAndKeepsOddTextsAsText)
{
    const QString path = folder.file(u"odd.xlsx"_s);
    auto writer = WorkbookWriter::open(path, {{u"Message"_s}, {u"InboxDateTime"_s, WorkbookColumn::Kind::DateTime}});
    ASSERT_TRUE(writer);
    const QString tooLong = repeated(u"0123456789"_s, 40000);
    ASSERT_TRUE((*writer)->appendRow({tooLong, u"1899-12-31 10:00:00"_s}));
    ASSERT_TRUE((*writer)->appendRow({u"=1+1"_s, u"not a date"_s}));
    ASSERT_TRUE((*writer)->appendRow({u"bell\x07 and tab\t"_s, u"2026-02-30 10:00:00"_s}));
    ASSERT_TRUE((*writer)->appendRow({u"_x0041_ looks like an escape"_s, QString()}));
    ASSERT_TRUE((*writer)->finish());
    EXPECT_EQ((*writer)->cutCells(), 1);
    const auto sheets = sheetsOf(path);
    ASSERT_EQ(sheets.size(), 1u);
    ASSERT_EQ(sheets[0].rows.size(), 5u);
    EXPECT_EQ(sheets[0].rows[1], (QStringList{tooLong.left(WorkbookWriter::kMaxCellText), u"1899-12-31 10:00:00"_s}));
    EXPECT_EQ(sheets[0].rows[2], (QStringList{u"=1+1"_s, u"not a date"_s}));
    EXPECT_EQ(sheets[0].rows[3], (QStringList{u"bell\x07 and tab\t"_s, u"2026-02-30 10:00:00"_s}));
    EXPECT_EQ(sheets[0].rows[4], (QStringList{u"_x0041_ looks like an escape"_s, u"<empty>"_s}));
}

TEST_F(ExportTest, AccessDatabaseGivesBackEveryRow)
{
    fill();
    ExportJob job = this->job(ExportFormat::Access, u"ReceivedSMSReport.mdb"_s);
    const auto outcome = run(job);
    EXPECT_EQ(outcome.error, QString());
    EXPECT_EQ(outcome.rows, 6);
    job.database.reset();
    const auto rows = mdbRows(job.path);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], (QStringList{u"ID"_s} + exportfile::exportableFields()));
    for (size_t i = 0; i < messages().size(); ++i) {
        const Sms& sms = messages()[i];
        // mdbtools converts the file's UTF-16 as UCS-2: a character beyond it comes back as "??".
        QString message;
        for (qsizetype c = 0; c < sms.message.size(); ++c)
            message += sms.message.at(c).isHighSurrogate()  ? u"??"_s
                       : sms.message.at(c).isLowSurrogate() ? u""_s
                                                            : QString(sms.message.at(c));
        EXPECT_EQ(rows[i + 1], (QStringList{QString::number(i + 1), sms.number, message, isoOf(sms)})) << i;
    }
}

// A cancel ends the export after the row in hand; what was written makes a whole file that
// other programs read, and nothing after it.
TEST_F(ExportTest, CancelLeavesTheRowsWrittenSoFar)
{
    fill();
    struct Case
    {
        ExportFormat format;
        const char* name;
    };
    for (const Case& c : {Case{ExportFormat::DelimitedText, "cancel.csv"}, Case{ExportFormat::Excel, "cancel.xlsx"},
                          Case{ExportFormat::Access, "cancel.mdb"}}) {
        ExportJob job = this->job(c.format, QString::fromLatin1(c.name), {u"SenderMobileNo"_s});
        const auto outcome = run(job, 3);
        job.database.reset();
        EXPECT_TRUE(outcome.cancelled) << c.name;
        EXPECT_EQ(outcome.rows, 3) << c.name;
        EXPECT_EQ(outcome.total, 6) << c.name;
        std::vector<QStringList> rows;
        if (c.format == ExportFormat::DelimitedText)
            rows = csvRows(job.path, u","_s, u"\""_s);
        else if (c.format == ExportFormat::Excel)
            rows = sheetsOf(job.path).at(0).rows;
        else
            for (QStringList row : mdbRows(job.path))
                rows.push_back(row.mid(1));
        EXPECT_EQ(rows,
                  (std::vector<QStringList>{
                      {u"SenderMobileNo"_s}, {messages()[0].number}, {messages()[1].number}, {messages()[2].number}}))
            << c.name;
    }
}

// Messages deleted after the report counted them: the export ends cleanly with its file.
TEST_F(ExportTest, NoRowsGiveTheFileAsCreated)
{
    struct Case
    {
        ExportFormat format;
        const char* name;
    };
    for (const Case& c : {Case{ExportFormat::DelimitedText, "none.csv"}, Case{ExportFormat::Excel, "none.xlsx"},
                          Case{ExportFormat::Access, "none.mdb"}}) {
        ExportJob job = this->job(c.format, QString::fromLatin1(c.name), {u"Message"_s});
        const auto outcome = run(job);
        job.database.reset();
        EXPECT_EQ(outcome.error, QString()) << c.name;
        EXPECT_EQ(outcome.rows, 0) << c.name;
        EXPECT_FALSE(outcome.cancelled) << c.name;
        std::vector<QStringList> rows;
        if (c.format == ExportFormat::DelimitedText)
            rows = csvRows(job.path, u","_s, u"\""_s);
        else if (c.format == ExportFormat::Excel)
            rows = sheetsOf(job.path).at(0).rows;
        else
            rows = mdbRows(job.path);
        const QStringList names =
            c.format == ExportFormat::Access ? QStringList{u"ID"_s, u"Message"_s} : QStringList{u"Message"_s};
        EXPECT_EQ(rows, std::vector<QStringList>{names}) << c.name;
    }
}

TEST_F(ExportTest, BrowseFilesAreNeverReplacedAndAreValidAtOnce)
{
    const QString csv = folder.file(u"a.csv"_s);
    ASSERT_TRUE(exportfile::DelimitedTextWriter::createEmpty(csv));
    EXPECT_FALSE(exportfile::DelimitedTextWriter::createEmpty(csv));
    EXPECT_EQ(QFile(csv).size(), 0);

    const QString xlsx = folder.file(u"a.xlsx"_s);
    ASSERT_TRUE(WorkbookWriter::createEmpty(xlsx, {{u"SenderMobileNo"_s}, {u"Message"_s}}));
    const QByteArray before = fileBytes(xlsx);
    EXPECT_FALSE(WorkbookWriter::createEmpty(xlsx, {{u"Message"_s}}));
    EXPECT_EQ(fileBytes(xlsx), before);
    const auto sheets = sheetsOf(xlsx);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].rows, (std::vector<QStringList>{{u"SenderMobileNo"_s, u"Message"_s}}));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).filter(u".part"_s), QStringList());
}

TEST_F(ExportTest, TheRangeHoldsWholeDaysInArrivalOrder)
{
    store::InboxTable inbox(db);
    // Same second twice: the id decides.
    ASSERT_TRUE(inbox.insert(u"+3"_s, u"late"_s, QDateTime(kDay.addDays(1), QTime(23, 59, 59))));
    ASSERT_TRUE(inbox.insert(u"+1"_s, u"first"_s, QDateTime(kDay, QTime(0, 0, 0))));
    ASSERT_TRUE(inbox.insert(u"+2a"_s, u"same second"_s, QDateTime(kDay, QTime(10, 0, 0))));
    ASSERT_TRUE(inbox.insert(u"+2b"_s, u"same second"_s, QDateTime(kDay, QTime(10, 0, 0))));
    ASSERT_TRUE(inbox.insert(u"+4"_s, u"outside"_s, QDateTime(kDay.addDays(2), QTime(0, 0, 0))));
    ExportJob job = this->job(ExportFormat::DelimitedText, u"range.csv"_s, {u"SenderMobileNo"_s});
    job.to = kDay.addDays(1);
    job.text.includeFieldNames = false;
    ASSERT_EQ(run(job).rows, 4);
    EXPECT_EQ(csvRows(job.path, u","_s, u"\""_s),
              (std::vector<QStringList>{{u"+1"_s}, {u"+2a"_s}, {u"+2b"_s}, {u"+3"_s}}));
    // Read off the date index: no sorting of a million rows before the first one is written.
    auto plan = db.prepare(u"EXPLAIN QUERY PLAN SELECT SenderMobileNo, Message, InboxDateTime FROM Message_InBox "
                           u"WHERE InboxDateTime >= ?1 AND InboxDateTime < ?2 ORDER BY InboxDateTime, InBox_Id"_s);
    QString steps;
    while (plan.next().value_or(false))
        steps += plan.text(3) + u'\n';
    EXPECT_FALSE(steps.contains(u"TEMP B-TREE"_s)) << steps.toStdString();
}

} // namespace
