#include "WorkbookWriter.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace exportfile {

namespace {

// "YYYY-MM-DD HH:MM:SS", the store's form of a date-time; false for anything else.
bool parseIsoDateTime(const QString& text, lxw_datetime& out)
{
    if (text.size() != 19 || text.at(4) != u'-' || text.at(7) != u'-' || text.at(10) != u' ' || text.at(13) != u':' ||
        text.at(16) != u':')
        return false;
    auto number = [&](int from, int length, int& value) {
        value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return false;
            value = value * 10 + (c - u'0');
        }
        return true;
    };
    int year, month, day, hour, minute, second;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour) ||
        !number(14, 2, minute) || !number(17, 2, second))
        return false;
    // Excel counts days from 1900; earlier dates and impossible ones stay text.
    if (year < 1900 || !QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return false;
    out = lxw_datetime{year, month, day, hour, minute, double(second)};
    return true;
}

// Cut at a character's end, never between the two halves of a surrogate pair.
QString cutToCell(const QString& text)
{
    QString cut = text.left(WorkbookWriter::kMaxCellText);
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

// Workbooks keep characters XML cannot hold as "_xHHHH_", which Excel decodes on reading; a
// message that itself holds such a sequence has its "_" written as "_x005F_" to stay as it is.
QString protectEscapes(const QString& text)
{
    if (!text.contains(u"_x"_s))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_') {
            bool hex = true;
            for (qsizetype h = i + 2; h < i + 6; ++h) {
                const char16_t c = text.at(h).unicode();
                hex = hex && ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'));
            }
            if (hex) {
                out += u"_x005F_"_s;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

double columnWidth(const WorkbookColumn& column)
{
    if (column.kind == WorkbookColumn::Kind::DateTime)
        return 20;
    return column.name == u"Message"_s ? 60 : 18;
}

} // namespace

std::expected<void, ExportError> WorkbookWriter::createEmpty(const QString& path,
                                                             const std::vector<WorkbookColumn>& columns)
{
    // Claim the name first, so that a file that appeared meanwhile is never replaced.
    QFile claim(path);
    if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return std::unexpected(ExportError{u"%1: %2"_s.arg(path, claim.errorString())});
    claim.close();
    auto writer = open(path, columns);
    if (!writer) {
        QFile::remove(path);
        return std::unexpected(writer.error());
    }
    return (*writer)->finish();
}

WorkbookWriter::WorkbookWriter(const QString& path, const std::vector<WorkbookColumn>& columns, int rowsPerSheet)
    : m_path(path), m_columns(columns), m_rowsPerSheet(std::max(1, rowsPerSheet))
{
    const QFileInfo info(path);
    m_partPath = info.absolutePath() + u"/."_s + info.fileName() + u".part"_s;
}

std::expected<std::unique_ptr<WorkbookWriter>, ExportError>
WorkbookWriter::open(const QString& path, const std::vector<WorkbookColumn>& columns, int rowsPerSheet)
{
    std::unique_ptr<WorkbookWriter> writer(new WorkbookWriter(path, columns, rowsPerSheet));
    if (auto started = writer->start(); !started)
        return std::unexpected(started.error());
    return writer;
}

std::expected<void, ExportError> WorkbookWriter::start()
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray part = QFile::encodeName(m_partPath);
    m_workbook = workbook_new_opt(part.constData(), &options);
    if (!m_workbook)
        return std::unexpected(ExportError{u"%1: the workbook could not be started"_s.arg(m_path)});
    m_dateFormat = workbook_add_format(m_workbook);
    format_set_num_format(m_dateFormat, "dd/mm/yyyy hh:mm:ss");
    m_nameFormat = workbook_add_format(m_workbook);
    format_set_bold(m_nameFormat);
    return addSheet();
}

WorkbookWriter::~WorkbookWriter()
{
    (void)finish();
}

ExportError WorkbookWriter::fail(const QString& what, int error)
{
    return {u"%1: %2 (%3)"_s.arg(m_path, what, QString::fromUtf8(lxw_strerror(lxw_error(error))))};
}

std::expected<void, ExportError> WorkbookWriter::addSheet()
{
    ++m_sheets;
    const QByteArray name = u"Sheet%1"_s.arg(m_sheets).toUtf8();
    m_sheet = workbook_add_worksheet(m_workbook, name.constData());
    if (!m_sheet)
        return std::unexpected(ExportError{u"%1: the sheet %2 could not be added"_s.arg(m_path, name)});
    m_rowsOnSheet = 0;
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const auto column = lxw_col_t(c);
        worksheet_set_column(m_sheet, column, column, columnWidth(m_columns[c]),
                             m_columns[c].kind == WorkbookColumn::Kind::DateTime ? m_dateFormat : nullptr);
        const QByteArray text = m_columns[c].name.toUtf8();
        if (const lxw_error error = worksheet_write_string(m_sheet, 0, column, text.constData(), m_nameFormat);
            error != LXW_NO_ERROR)
            return std::unexpected(fail(u"the names could not be written"_s, error));
    }
    return {};
}

std::expected<void, ExportError> WorkbookWriter::appendRow(const QStringList& values)
{
    if (!m_workbook)
        return std::unexpected(ExportError{u"%1: the workbook is already closed"_s.arg(m_path)});
    if (m_rowsOnSheet == m_rowsPerSheet) {
        if (auto added = addSheet(); !added)
            return added;
    }
    ++m_rowsOnSheet;
    const auto row = lxw_row_t(m_rowsOnSheet);
    for (size_t c = 0; c < m_columns.size() && c < size_t(values.size()); ++c) {
        const QString& value = values.at(qsizetype(c));
        if (value.isEmpty())
            continue;
        const auto column = lxw_col_t(c);
        lxw_error error = LXW_NO_ERROR;
        lxw_datetime when{};
        if (m_columns[c].kind == WorkbookColumn::Kind::DateTime && parseIsoDateTime(value, when)) {
            error = worksheet_write_datetime(m_sheet, row, column, &when, m_dateFormat);
        } else {
            QString text = value;
            if (text.size() > kMaxCellText) {
                text = cutToCell(text);
                ++m_cutCells;
            }
            const QByteArray utf8 = protectEscapes(text).toUtf8();
            error = worksheet_write_string(m_sheet, row, column, utf8.constData(), nullptr);
        }
        if (error != LXW_NO_ERROR)
            return std::unexpected(fail(u"row %1 could not be written"_s.arg(m_rowsOnSheet), error));
    }
    return {};
}

std::expected<void, ExportError> WorkbookWriter::finish()
{
    if (!m_workbook)
        return {};
    const lxw_error error = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    const QByteArray part = QFile::encodeName(m_partPath);
    if (error != LXW_NO_ERROR) {
        QFile::remove(m_partPath);
        return std::unexpected(fail(u"the workbook could not be written"_s, error));
    }
    // rename() replaces the earlier file in one step: path is never half written.
    if (std::rename(part.constData(), QFile::encodeName(m_path).constData()) != 0) {
        QFile::remove(m_partPath);
        return std::unexpected(ExportError{u"%1: the finished workbook could not be put in place"_s.arg(m_path)});
    }
    return {};
}

} // namespace exportfile
