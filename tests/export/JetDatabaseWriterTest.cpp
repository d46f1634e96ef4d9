// Every file here is read back by mdbtools, a reader written by others, never by our own code.
#include "JetDatabaseWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using exportfile::JetDatabaseWriter;

// Readable, and short, texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.left(80).toStdString() << (text.size() > 80 ? "…" : "") << '"';
}

namespace {

const QStringList kSmsColumns{u"SenderMobileNo"_s, u"Message"_s, u"InboxDateTime"_s};

struct ToolResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

ToolResult runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForFinished(90000)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = u"%1 did not finish"_s.arg(program);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// mdb-export's CSV: fields separated by commas, rows by LF, text in double quotes with inner
// quotes doubled; a quoted text keeps its own line breaks.
std::vector<QStringList> parseCsv(const QString& text)
{
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            row << field;
            field.clear();
            rows.push_back(row);
            row.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

// The table's rows as mdb-export gives them, name row first.
std::vector<QStringList> exportTable(const QString& path, const QString& table)
{
    const ToolResult result = runTool(u"mdb-export"_s, {path, table});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.err, QString());
    return parseCsv(result.out);
}

std::unique_ptr<JetDatabaseWriter> createWriter(const QString& path, const QStringList& columns = kSmsColumns)
{
    auto writer = JetDatabaseWriter::create(path, u"SMS_Details"_s, columns);
    EXPECT_TRUE(writer.has_value()) << (writer ? "" : writer.error().message.toStdString());
    return writer ? std::move(*writer) : nullptr;
}

QByteArray readPage(const QString& path, quint32 page)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64(page) * 4096))
        return {};
    return file.read(4096);
}

// The type byte of the table's "owned pages" usage map, found the way a reader finds it: the
// table definition (page 4, named by the catalogue) points at a row of a usage-map page.
int ownedPagesMapType(const QString& path)
{
    const QByteArray definition = readPage(path, 4);
    const quint32 pointer = qFromLittleEndian<quint32>(definition.constData() + 55);
    const QByteArray maps = readPage(path, pointer >> 8);
    const int rowStart = qFromLittleEndian<quint16>(maps.constData() + 14 + 2 * int(pointer & 0xFF)) & 0x1FFF;
    return maps.at(rowStart);
}

QString repeated(const QString& piece, int length)
{
    QString text;
    while (text.size() < length)
        text += piece;
    return text.left(length);
}

struct TextCase
{
    const char* what;
    QString text;
};

// Kept in rows, on one long-value page, or chained over several; every alphabet the gateway
// receives; the characters CSV and C strings treat specially.
std::vector<TextCase> textCases()
{
    return {
        {"plain", u"Hello from the gateway"_s},
        {"quotes and commas", u"He said \"yes\", then \"no\",, and left"_s},
        {"CR LF, lone LF and lone CR", u"line 1\r\nline 2\nline 3\rline 4\r\n"_s},
        {"tab and backslash", u"a\tb\\c\\\\d"_s},
        {"Cyrillic", u"Привет, как дела? Ёжик в тумане."_s},
        {"Chinese", u"你好，世界。短信网关测试。"_s},
        {"mixed alphabets", u"Grüße – Ελληνικά – עברית – العربية – 日本語"_s},
        {"empty", u""_s},
        {"blanks only", u"   "_s},
        {"leading plus and zeros", u"+004915112345678"_s},
        {"fills the row budget", repeated(u"abcdefghij"_s, 512)},
        {"just past the row budget", repeated(u"abcdefghij"_s, 513)},
        {"fills one long-value page", repeated(u"Жж"_s, 2040)},
        {"one past a page", repeated(u"Жж"_s, 2041)},
        {"5 000 ASCII characters", repeated(u"0123456789 \"quoted\", "_s, 5000)},
        {"5 000 Chinese characters", repeated(u"网关短信中文测试"_s, 5000)},
        {"5 000 Cyrillic characters with line breaks", repeated(u"Строка текста\r\n"_s, 5000)},
        {"40 000 characters over ten pages", repeated(u"long value chain "_s, 40000)},
        {"a byte-order mark first", u"\uFEFFstarts with a byte-order mark"_s},
    };
}

} // namespace

TEST(JetDatabaseWriter, EveryTextComesBackExactly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"ReceivedSMSReport.mdb"_s);
    const std::vector<TextCase> cases = textCases();
    {
        auto writer = createWriter(path);
        ASSERT_TRUE(writer);
        // Each text in every column, beside a short and a long neighbour, so that texts of
        // one row are kept in different forms.
        for (size_t i = 0; i < cases.size(); ++i) {
            const QString& text = cases[i].text;
            const QString& other = cases[(i + 7) % cases.size()].text;
            ASSERT_EQ(writer->appendRow({text, other, text}).value_or(-1), qint32(3 * i + 1));
            ASSERT_EQ(writer->appendRow({u"+4915112345678"_s, text, other}).value_or(-1), qint32(3 * i + 2));
            ASSERT_EQ(writer->appendRow({other, u"x"_s, text}).value_or(-1), qint32(3 * i + 3));
        }
        ASSERT_TRUE(writer->finish().has_value());
    }

    const std::vector<QStringList> rows = exportTable(path, u"SMS_Details"_s);
    ASSERT_EQ(rows.size(), 3 * cases.size() + 1);
    EXPECT_EQ(rows[0], (QStringList{u"ID"_s} + kSmsColumns));
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const QString& text = cases[i].text;
        const QString& other = cases[(i + 7) % cases.size()].text;
        EXPECT_EQ(rows[3 * i + 1], (QStringList{QString::number(3 * i + 1), text, other, text}));
        EXPECT_EQ(rows[3 * i + 2], (QStringList{QString::number(3 * i + 2), u"+4915112345678"_s, text, other}));
        EXPECT_EQ(rows[3 * i + 3], (QStringList{QString::number(3 * i + 3), other, u"x"_s, text}));
    }
}

TEST(JetDatabaseWriter, ToolsSeeAJet4DatabaseWithTheTable)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"ReceivedSMSReport.mdb"_s);
    {
        auto writer = createWriter(path);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->appendRow({u"+4915112345678"_s, u"Hi"_s, u"03/14/2026 09:26:53"_s}).has_value());
    }
    EXPECT_EQ(QFileInfo(path).size() % 4096, 0);

    const struct
    {
        QStringList arguments;
        QStringList lines;
    } checks[] = {
        {{u"mdb-ver"_s, path}, {u"JET4"_s}},
        {{u"mdb-tables"_s, u"-1"_s, path}, {u"SMS_Details"_s}},
        {{u"mdb-schema"_s, path, u"access"_s},
         {u"CREATE TABLE [SMS_Details]"_s, u"\t[ID]\t\t\tLong Integer, "_s,
          u"\t[SenderMobileNo]\t\t\tMemo/Hyperlink (255), "_s, u"\t[Message]\t\t\tMemo/Hyperlink (255), "_s,
          u"\t[InboxDateTime]\t\t\tMemo/Hyperlink (255)"_s}},
        // The MySQL dialect is where mdb-schema tells an AutoNumber from a plain long integer.
        {{u"mdb-schema"_s, path, u"mysql"_s},
         {u"\t`ID`\t\t\tint not null auto_increment unique, "_s, u"\t`Message`\t\t\ttext, "_s}},
        {{u"mdb-count"_s, path, u"SMS_Details"_s}, {u"1"_s}},
    };
    for (const auto& check : checks) {
        SCOPED_TRACE(check.arguments.join(u' ').toStdString());
        const ToolResult result = runTool(check.arguments.first(), check.arguments.mid(1));
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        const QStringList lines = result.out.split(u'\n');
        for (const QString& line : check.lines)
            EXPECT_TRUE(lines.contains(line)) << line.toStdString() << " in:\n" << result.out.toStdString();
    }
    // The system tables readers look for are there, marked as system tables.
    const ToolResult all = runTool(u"mdb-tables"_s, {u"-1"_s, u"-S"_s, path});
    for (const QString& table : {u"MSysObjects"_s, u"MSysRelationships"_s})
        EXPECT_TRUE(all.out.split(u'\n').contains(table)) << all.out.toStdString();
    const ToolResult user = runTool(u"mdb-tables"_s, {u"-1"_s, path});
    EXPECT_EQ(user.out.trimmed(), u"SMS_Details"_s);
}

TEST(JetDatabaseWriter, SeventyThousandRowsAreAllThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"ReceivedSMSReport.mdb"_s);
    constexpr int kRows = 70000;
    const auto message = [](int i) {
        if (i % 1000 == 999)
            return repeated(u"Длинное сообщение %1, "_s.arg(i), 5000);
        return u"Message %1: \"hello\", 你好\r\nsecond line"_s.arg(i);
    };
    {
        auto writer = createWriter(path);
        ASSERT_TRUE(writer);
        for (int i = 0; i < kRows; ++i)
            ASSERT_TRUE(writer
                            ->appendRow({u"+49151%1"_s.arg(i, 8, 10, QChar(u'0')), message(i),
                                         u"03/14/2026 09:%1:00"_s.arg(i % 60, 2, 10, QChar(u'0'))})
                            .has_value());
        ASSERT_TRUE(writer->finish().has_value());
    }
    // Far more data pages than an inline map covers: the table's map points at bitmap pages.
    EXPECT_EQ(ownedPagesMapType(path), 1);

    const std::vector<QStringList> rows = exportTable(path, u"SMS_Details"_s);
    ASSERT_EQ(rows.size(), size_t(kRows + 1));
    int mismatches = 0;
    for (int i = 0; i < kRows && mismatches < 5; ++i) {
        const QStringList expected{QString::number(i + 1), u"+49151%1"_s.arg(i, 8, 10, QChar(u'0')), message(i),
                                   u"03/14/2026 09:%1:00"_s.arg(i % 60, 2, 10, QChar(u'0'))};
        if (rows[size_t(i) + 1] != expected) {
            ++mismatches;
            ADD_FAILURE() << "row " << i + 1 << " differs: " << rows[size_t(i) + 1].join(u'|').left(200).toStdString();
        }
    }
    EXPECT_EQ(runTool(u"mdb-count"_s, {path, u"SMS_Details"_s}).out.trimmed(), u"70000"_s);
}

TEST(JetDatabaseWriter, ASmallTableKeepsItsPagesInAnInlineMap)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"small.mdb"_s);
    {
        auto writer = createWriter(path, {u"Message"_s});
        ASSERT_TRUE(writer);
        for (int i = 0; i < 3000; ++i)
            ASSERT_TRUE(writer->appendRow({u"message %1"_s.arg(i)}).has_value());
    }
    EXPECT_EQ(ownedPagesMapType(path), 0);
    const std::vector<QStringList> rows = exportTable(path, u"SMS_Details"_s);
    ASSERT_EQ(rows.size(), 3001u);
    EXPECT_EQ(rows.back(), (QStringList{u"3000"_s, u"message 2999"_s}));
}

// mdbtools prints a null and an empty text alike, so the row's null mask (its last byte: bit 0
// the ID, then one bit per column, set when there is a value) is read from the data page.
TEST(JetDatabaseWriter, NullAndEmptyTextsAreToldApart)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"nulls.mdb"_s);
    const struct
    {
        QStringList values;
        quint8 mask;
    } cases[] = {
        {{u"+4915112345678"_s, QString(), u""_s}, 0b1011},
        {{QString(), QString(), QString()}, 0b0001},
        {{u""_s, u""_s, u""_s}, 0b1111},
        {{QString(), u"only the message"_s, QString()}, 0b0101},
    };
    {
        auto writer = createWriter(path);
        ASSERT_TRUE(writer);
        for (const auto& c : cases)
            ASSERT_TRUE(writer->appendRow(c.values).has_value());
    }
    const QByteArray definition = readPage(path, 4);
    const quint32 pointer = qFromLittleEndian<quint32>(definition.constData() + 55);
    const QByteArray maps = readPage(path, pointer >> 8);
    const int mapStart = qFromLittleEndian<quint16>(maps.constData() + 14 + 2 * int(pointer & 0xFF)) & 0x1FFF;
    ASSERT_EQ(maps.at(mapStart), 0); // inline: the first data page follows the type byte
    const QByteArray data = readPage(path, qFromLittleEndian<quint32>(maps.constData() + mapStart + 1));
    ASSERT_EQ(data.at(0), 1);
    ASSERT_EQ(qFromLittleEndian<quint16>(data.constData() + 12), std::size(cases));
    int rowEnd = 4096;
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(quint8(data.at(rowEnd - 1)), cases[i].mask);
        rowEnd = qFromLittleEndian<quint16>(data.constData() + 14 + 2 * int(i)) & 0x1FFF;
    }
    const std::vector<QStringList> rows = exportTable(path, u"SMS_Details"_s);
    ASSERT_EQ(rows.size(), std::size(cases) + 1);
    EXPECT_EQ(rows[4], (QStringList{u"4"_s, u""_s, u"only the message"_s, u""_s}));
}

// A cancelled export finishes the file at once, a writer dropped without finishing is finished
// by its destructor, and a file nobody wrote rows to yet is already a database.
TEST(JetDatabaseWriter, AStoppedExportLeavesTheRowsWrittenSoFar)
{
    for (const int rows : {0, 1, 250, 4000}) {
        for (const bool explicitFinish : {true, false}) {
            SCOPED_TRACE(rows);
            SCOPED_TRACE(explicitFinish);
            QTemporaryDir dir;
            const QString path = dir.filePath(u"cancelled.mdb"_s);
            auto writer = createWriter(path);
            ASSERT_TRUE(writer);
            if (rows == 0) {
                const std::vector<QStringList> empty = exportTable(path, u"SMS_Details"_s);
                ASSERT_EQ(empty.size(), 1u);
            }
            for (int i = 0; i < rows; ++i)
                ASSERT_TRUE(writer->appendRow({u"+4915%1"_s.arg(i), repeated(u"text "_s, i % 3000), QString()}));
            if (explicitFinish) {
                ASSERT_TRUE(writer->finish().has_value());
                EXPECT_TRUE(writer->finish().has_value());
                EXPECT_FALSE(writer->appendRow({u"a"_s, u"b"_s, u"c"_s}).has_value());
            }
            writer.reset();

            const std::vector<QStringList> back = exportTable(path, u"SMS_Details"_s);
            ASSERT_EQ(back.size(), size_t(rows + 1));
            for (int i = 0; i < rows; ++i)
                ASSERT_EQ(back[size_t(i) + 1], (QStringList{QString::number(i + 1), u"+4915%1"_s.arg(i),
                                                            repeated(u"text "_s, i % 3000), QString()}));
        }
    }
}

TEST(JetDatabaseWriter, RefusesBadNamesAndPathsWithoutTouchingFiles)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(u"existing.mdb"_s);
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    const QString fresh = dir.filePath(u"fresh.mdb"_s);
    const struct
    {
        const char* what;
        QString path;
        QString table;
        QStringList columns;
    } cases[] = {
        {"an existing file", existing, u"SMS_Details"_s, kSmsColumns},
        {"a folder that is not there", dir.filePath(u"missing/x.mdb"_s), u"SMS_Details"_s, kSmsColumns},
        {"a folder as the file", dir.path(), u"SMS_Details"_s, kSmsColumns},
        {"no columns", fresh, u"SMS_Details"_s, {}},
        {"an empty column name", fresh, u"SMS_Details"_s, {u"Message"_s, u""_s}},
        {"a blank table name", fresh, u"  "_s, kSmsColumns},
        {"a name of 65 characters", fresh, u"SMS_Details"_s, {QString(65, u'M')}},
        {"a column twice", fresh, u"SMS_Details"_s, {u"Message"_s, u"message"_s}},
        {"a column named like the ID", fresh, u"SMS_Details"_s, {u"Id"_s}},
        {"a line break in a name", fresh, u"SMS_Details"_s, {u"Mess\nage"_s}},
        {"a dot in a name", fresh, u"SMS.Details"_s, kSmsColumns},
        {"brackets in a name", fresh, u"SMS_Details"_s, {u"[Message]"_s}},
        {"a leading blank", fresh, u"SMS_Details"_s, {u" Message"_s}},
        {"too many columns", fresh, u"SMS_Details"_s,
         [] {
             QStringList names;
             for (int i = 0; i <= JetDatabaseWriter::kMaxMemoColumns; ++i)
                 names << u"Column%1"_s.arg(i);
             return names;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto writer = JetDatabaseWriter::create(c.path, c.table, c.columns);
        ASSERT_FALSE(writer.has_value());
        EXPECT_FALSE(writer.error().message.isEmpty());
    }
    QFile kept(existing);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    EXPECT_FALSE(QFile::exists(fresh));

    // The most columns a table may have, with the longest names.
    QStringList widest;
    for (int i = 0; i < JetDatabaseWriter::kMaxMemoColumns; ++i)
        widest << u"%1"_s.arg(i, 64, 10, QChar(u'C'));
    auto writer = createWriter(fresh, widest);
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer->appendRow(QStringList(widest.size(), u"v"_s)).has_value());
    ASSERT_TRUE(writer->finish().has_value());
    const std::vector<QStringList> rows = exportTable(fresh, u"SMS_Details"_s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], QStringList{u"ID"_s} + widest);
}

TEST(JetDatabaseWriter, ARefusedRowLeavesTheWriterUsable)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"shape.mdb"_s);
    auto writer = createWriter(path);
    ASSERT_TRUE(writer);
    EXPECT_FALSE(writer->appendRow({u"only one"_s}).has_value());
    EXPECT_FALSE(writer->appendRow({u"1"_s, u"2"_s, u"3"_s, u"4"_s}).has_value());
    // A field's length has 24 bits.
    const auto tooLong = writer->appendRow({u"1"_s, QString(0x800000, u'x'), u"3"_s});
    ASSERT_FALSE(tooLong.has_value());
    EXPECT_TRUE(tooLong.error().message.contains(u"8388608"_s)) << tooLong.error().message.toStdString();
    EXPECT_EQ(writer->appendRow({u"1"_s, u"2"_s, u"3"_s}).value_or(-1), 1);
    ASSERT_TRUE(writer->finish().has_value());
    const std::vector<QStringList> rows = exportTable(path, u"SMS_Details"_s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (QStringList{u"1"_s, u"1"_s, u"2"_s, u"3"_s}));
}

// A full disk shows up as an error value on the row that did not fit, and on every call after.
TEST(JetDatabaseWriter, AFullDiskIsReportedNotCrashedOn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"full.mdb"_s);
    auto writer = createWriter(path);
    ASSERT_TRUE(writer);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::optional<exportfile::JetError> error;
    int written = 0;
    for (; written < 100000 && !error; ++written) {
        if (auto id = writer->appendRow({u"+4915112345678"_s, repeated(u"a full disk "_s, 3000), u"x"_s}); !id)
            error = id.error();
    }
    const auto again = writer->appendRow({u"a"_s, u"b"_s, u"c"_s});
    const auto finished = writer->finish();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(error.has_value());
    EXPECT_LT(written, 100000);
    EXPECT_TRUE(error->message.contains(path)) << error->message.toStdString();
    EXPECT_FALSE(again.has_value());
    EXPECT_FALSE(finished.has_value());
}

// Known answers (the published RC4 test vectors), then page 0 unscrambled with the key Jet uses
// for its header: no encryption key for the other pages, and no password.
TEST(JetDatabaseWriter, TheHeaderIsScrambledAsJetExpects)
{
    const struct
    {
        QByteArray key;
        QByteArray plain;
        QByteArray scrambled;
    } vectors[] = {
        {"Key", "Plaintext", QByteArray::fromHex("BBF316E8D940AF0AD3")},
        {"Wiki", "pedia", QByteArray::fromHex("1021BF0420")},
        {"Secret", "Attack at dawn", QByteArray::fromHex("45A01F645FC35B383552544B9BF5")},
    };
    for (const auto& v : vectors) {
        QByteArray data = v.plain;
        exportfile::jet::rc4(v.key, data.data(), int(data.size()));
        EXPECT_EQ(data.toHex(), v.scrambled.toHex());
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(u"header.mdb"_s);
    ASSERT_TRUE(createWriter(path));
    QByteArray page = readPage(path, 0);
    ASSERT_EQ(page.size(), 4096);
    EXPECT_EQ(page.mid(4, 16), QByteArray("Standard Jet DB\0", 16));
    EXPECT_EQ(page.at(0x14), 1);
    exportfile::jet::rc4(QByteArray::fromHex("C7DA396B"), page.data() + 0x18, 128);
    EXPECT_EQ(qFromLittleEndian<quint32>(page.constData() + 0x3E), 0u);
    EXPECT_EQ(qFromLittleEndian<quint16>(page.constData() + 0x6E), 1033);
    double created = 0;
    const quint64 bits = qFromLittleEndian<quint64>(page.constData() + 0x72);
    std::memcpy(&created, &bits, sizeof created);
    const double today = double(QDate(1899, 12, 30).daysTo(QDate::currentDate()));
    EXPECT_NEAR(created, today + 0.5, 1.5);
    // The password is stored masked with the creation date; unmasked it must be empty.
    const quint32 mask = quint32(qint32(created));
    for (int offset = 0x42; offset < 0x42 + 40; offset += 4)
        EXPECT_EQ(qFromLittleEndian<quint32>(page.constData() + offset) ^ mask, 0u) << offset;
}
