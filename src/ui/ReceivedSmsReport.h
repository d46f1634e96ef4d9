#pragma once

#include "Clock.h"
#include "Database.h"

#include <QDate>
#include <QDialog>

class QCheckBox;
class QDateEdit;
class QPushButton;
class QTreeWidget;

namespace ui {

class CheckedRows;
class Dialogs;
class PageBar;

// "Received SMS Report": the inbox messages of a range of whole days, 500 to a page, sorted by
// a column header, the deletion of the rows checked, and the export of the whole range.
class ReceivedSmsReport final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kPageSize = 500;

    ReceivedSmsReport(const store::Database& db, Dialogs& dialogs, const store::Clock& clock,
                      QWidget* parent = nullptr);

    void FillSMSList();
    QString sortKey() const { return m_sortKey; }

    // What the export reads: the range of the last fill (store::reportDays makes its bounds)
    // and how many messages it held.
    QDate SMSReportFromDate;
    QDate SMSReportToDate;
    qint64 TotalSMSToBeExport = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showRange();
    void sortBy(int column);
    void deleteChecked();
    void exportAll();
    // The export wizard takes over from here: the report's range and count are set.
    void openExportWizard();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    QString m_sortKey;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QTreeWidget* m_list;
    QCheckBox* m_all;
    QPushButton* m_delete;
    PageBar* m_pages;
    CheckedRows* m_rows;
};

} // namespace ui
