#include "CallLogWindow.h"

#include "CheckedRows.h"
#include "DateRangeRow.h"
#include "DateText.h"
#include "Dialogs.h"
#include "PageBar.h"
#include "ReportQueries.h"
#include "ScreenParts.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

CallLogWindow::CallLogWindow(const store::Database& db, Dialogs& dialogs, const store::Clock& clock, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs)
{
    setObjectName(u"Frm_ManageLogs"_s);
    setWindowTitle(u"Missed Calls Report"_s);
    const QDate today = clock.now().date();
    auto* searchButton = named(new QPushButton(u"&Search"_s, this), u"cmdSearch"_s);
    const DateRangeRow range = dateRangeRow(this, u"DtpFrom"_s, u"DtpTo"_s, today, searchButton);
    m_from = range.from;
    m_to = range.to;

    m_list = reportList(this, u"ListLogs"_s, {u"Call Date"_s, u"Call Number"_s, u"Call Timing"_s}, {2500, 2600, 2000});

    m_pages = new PageBar(dialogs, PageBar::Caption::RecordsWithPages, kPageSize, this);
    m_all = named(new QCheckBox(u"Select All"_s, this), u"chkAll"_s);
    m_delete = named(new QPushButton(u"&Delete Selected"_s, this), u"cmdDelete"_s);
    m_delete->setEnabled(false);
    auto* exitButton = named(new QPushButton(u"&Exit"_s, this), u"CmdExit"_s);
    m_rows = new CheckedRows(m_list, m_all, m_delete);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range.layout);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_pages);
    auto* buttons = buttonRow({m_delete, exitButton});
    buttons->insertWidget(0, m_all);
    layout->addLayout(buttons);
    resize(560, 480);

    connect(searchButton, &QPushButton::clicked, this, &CallLogWindow::search);
    connect(m_pages, &PageBar::pageChosen, this, &CallLogWindow::FillLogList);
    connect(m_delete, &QPushButton::clicked, this, &CallLogWindow::deleteChecked);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    FillLogList();
}

void CallLogWindow::search()
{
    if (m_from->date() > m_to->date()) {
        m_dialogs.information(this, u"'From Date' should be less than 'To Date'."_s);
        m_from->setFocus();
        return;
    }
    m_pages->setPage(1);
    FillLogList();
}

void CallLogWindow::FillLogList()
{
    m_list->clear();
    m_delete->setEnabled(false);
    const QDate from = m_from->date();
    const QDate to = m_to->date();
    const auto paging = m_pages->paging(from.toString(Qt::ISODate) + u'/' + to.toString(Qt::ISODate));
    auto page = store::missedCallsPage(m_db, from, to, paging);
    if (!page) {
        m_pages->failed();
        m_dialogs.error(this, u"The missed calls could not be read: "_s + page.error().message);
        return;
    }
    const QLocale locale;
    for (const store::CallLogRow& row : page->rows) {
        const QDateTime when = store::fromIsoText(row.callDateTime);
        m_rows->addRow({when.toString(u"dd/MM/yyyy"_s), row.callerNumber,
                        locale.toString(when.time(), QLocale::ShortFormat), QString::number(row.id)},
                       row.id);
    }
    if (page->rows.empty())
        m_pages->shown(page->total, std::nullopt, std::nullopt);
    else
        m_pages->shown(page->total, page->rows.front().key, page->rows.back().key);
}

void CallLogWindow::deleteChecked()
{
    if (m_dialogs.question(this, u"Are u sure to delete the logs?"_s) != Dialogs::Yes)
        return;
    auto deleted = store::deleteCalls(m_db, m_rows->checkedIds());
    if (!deleted) {
        m_dialogs.error(this, u"The calls could not be deleted: "_s + deleted.error().message);
    } else {
        m_dialogs.information(this, u"Records Deleted Successfully!!!"_s);
    }
    FillLogList();
    m_delete->setEnabled(false);
}

} // namespace ui
