#pragma once

#include "ExportError.h"

#include <QStringList>

#include <expected>
#include <memory>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace exportfile {

struct WorkbookColumn
{
    enum class Kind
    {
        Text,
        // Takes ISO text "YYYY-MM-DD HH:MM:SS" and shows it as a date and time; any other text
        // is kept as text rather than lost.
        DateTime
    };
    QString name;
    Kind kind = Kind::Text;
};

// An Excel workbook (.xlsx) written with libxlsxwriter in constant-memory mode: rows go to a
// temporary file as they come, so memory stays flat. Every sheet ("Sheet1", "Sheet2", …) starts
// with the column names and holds at most rowsPerSheet rows below them; the next sheet is made
// only when another row comes. Texts are written as text cells, so "+49…" and "0151…" keep their
// leading characters.
class WorkbookWriter final
{
public:
    // What old Excel versions hold on one sheet below the name row.
    static constexpr int kRowsPerSheet = 65535;
    // The most characters Excel keeps in one cell.
    static constexpr int kMaxCellText = 32767;

    // The workbook "Browse" leaves behind: Sheet1 with the names and no rows. Never replaces an
    // existing file.
    static std::expected<void, ExportError> createEmpty(const QString& path,
                                                        const std::vector<WorkbookColumn>& columns);

    // Writes into a temporary file beside path; finish() puts it in path's place in one step,
    // so path holds its earlier content until the new workbook is whole.
    static std::expected<std::unique_ptr<WorkbookWriter>, ExportError>
    open(const QString& path, const std::vector<WorkbookColumn>& columns, int rowsPerSheet = kRowsPerSheet);

    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // One value per column; a null or empty value leaves its cell empty.
    std::expected<void, ExportError> appendRow(const QStringList& values);
    // Writes the workbook; may be called at any time (after a cancel too) and once only.
    std::expected<void, ExportError> finish();

    // Cells whose text was longer than a cell holds and was cut at kMaxCellText.
    qint64 cutCells() const { return m_cutCells; }
    int sheetCount() const { return m_sheets; }

private:
    WorkbookWriter(const QString& path, const std::vector<WorkbookColumn>& columns, int rowsPerSheet);
    std::expected<void, ExportError> start();
    std::expected<void, ExportError> addSheet();
    ExportError fail(const QString& what, int error);

    QString m_path;
    QString m_partPath;
    std::vector<WorkbookColumn> m_columns;
    int m_rowsPerSheet;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_dateFormat = nullptr;
    lxw_format* m_nameFormat = nullptr;
    int m_sheets = 0;
    int m_rowsOnSheet = 0;
    qint64 m_cutCells = 0;
};

} // namespace exportfile
