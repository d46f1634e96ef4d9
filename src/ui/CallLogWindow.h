#pragma once

#include "Clock.h"
#include "Database.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QPushButton;
class QTreeWidget;

namespace ui {

class CheckedRows;
class Dialogs;
class PageBar;

// "Missed Calls Report": the missed calls of a range of whole days, oldest first, a page at a
// time, and the deletion of the rows checked.
class CallLogWindow final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kPageSize = 500;

    CallLogWindow(const store::Database& db, Dialogs& dialogs, const store::Clock& clock, QWidget* parent = nullptr);

    void FillLogList();

private:
    void search();
    void deleteChecked();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QTreeWidget* m_list;
    QCheckBox* m_all;
    QPushButton* m_delete;
    PageBar* m_pages;
    CheckedRows* m_rows;
};

} // namespace ui
