#include "ReceivedSmsReport.h"

#include "CheckedRows.h"
#include "DateRangeRow.h"
#include "DateText.h"
#include "Dialogs.h"
#include "ExportWizard.h"
#include "PageBar.h"
#include "ReportQueries.h"
#include "ScreenParts.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// What a click on each header sorts by; the hidden id column keeps the order.
const QString kSortKeys[] = {u"SenderMobileNo"_s, u"Message"_s, store::kReceivedSmsNewestFirst};

} // namespace

ReceivedSmsReport::ReceivedSmsReport(const store::Database& db, Dialogs& dialogs, const store::Clock& clock,
                                     QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs), m_sortKey(store::kReceivedSmsNewestFirst)
{
    setObjectName(u"Frm_SMSReport"_s);
    setWindowTitle(u"Received SMS Report"_s);
    const QDate today = clock.now().date();
    auto* showButton = named(new QPushButton(u"&Show"_s, this), u"cmdShow"_s);
    const DateRangeRow range = dateRangeRow(this, u"DtpFromDate"_s, u"DtpToDate"_s, today, showButton);
    m_from = range.from;
    m_to = range.to;

    m_list = reportList(this, u"lstSMS"_s, {u"Mobile Number"_s, u"Message"_s, u"Received On"_s}, {1900, 7000, 2000});
    m_list->header()->setSectionsClickable(true);

    m_pages = new PageBar(dialogs, PageBar::Caption::RecordsWithPages, kPageSize, this);
    m_all = named(new QCheckBox(u"Select All"_s, this), u"chkAll"_s);
    auto* exportButton = named(new QPushButton(u"&Export All"_s, this), u"cmdExport"_s);
    m_delete = named(new QPushButton(u"&Delete Selected"_s, this), u"CmdDelete"_s);
    m_delete->setEnabled(false);
    auto* exitButton = named(new QPushButton(u"E&xit"_s, this), u"cmdExit"_s);
    m_rows = new CheckedRows(m_list, m_all, m_delete);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range.layout);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_pages);
    auto* buttons = buttonRow({exportButton, m_delete, exitButton});
    buttons->insertWidget(0, m_all);
    layout->addLayout(buttons);
    resize(900, 560);

    connect(showButton, &QPushButton::clicked, this, &ReceivedSmsReport::showRange);
    connect(m_pages, &PageBar::pageChosen, this, &ReceivedSmsReport::FillSMSList);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &ReceivedSmsReport::sortBy);
    connect(m_delete, &QPushButton::clicked, this, &ReceivedSmsReport::deleteChecked);
    connect(exportButton, &QPushButton::clicked, this, &ReceivedSmsReport::exportAll);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ReceivedSmsReport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Filled whenever the report comes (back) into view, not on every activation: switching
    // windows must not throw away the rows the operator has checked.
    FillSMSList();
}

void ReceivedSmsReport::showRange()
{
    m_pages->setPage(1);
    FillSMSList();
}

void ReceivedSmsReport::FillSMSList()
{
    m_list->clear();
    m_delete->setEnabled(false);
    SMSReportFromDate = m_from->date();
    SMSReportToDate = m_to->date();
    const auto paging = m_pages->paging(SMSReportFromDate.toString(Qt::ISODate) + u'/' +
                                        SMSReportToDate.toString(Qt::ISODate) + u'/' + m_sortKey);
    auto page = store::receivedSmsPage(m_db, SMSReportFromDate, SMSReportToDate, m_sortKey, paging);
    if (!page) {
        TotalSMSToBeExport = 0;
        m_pages->failed();
        m_dialogs.error(this, u"The received SMS could not be read: "_s + page.error().message);
        return;
    }
    TotalSMSToBeExport = page->total;
    for (const store::ReceivedSmsRow& row : page->rows) {
        m_rows->addRow({row.number, row.message, store::fromIsoText(row.date).toString(u"dd/MM/yyyy HH:mm:ss"_s),
                        QString::number(row.id)},
                       row.id);
    }
    if (page->rows.empty())
        m_pages->shown(page->total, std::nullopt, std::nullopt);
    else
        m_pages->shown(page->total, page->rows.front().key, page->rows.back().key);
}

void ReceivedSmsReport::sortBy(int column)
{
    if (column >= 0 && column < int(std::size(kSortKeys)))
        m_sortKey = kSortKeys[column];
    FillSMSList();
}

void ReceivedSmsReport::deleteChecked()
{
    if (m_dialogs.question(this, u"Are you sure to delete the SMS?"_s) == Dialogs::Yes) {
        auto deleted = store::deleteReceivedSms(m_db, m_rows->checkedIds());
        if (!deleted)
            m_dialogs.error(this, u"The SMS could not be deleted: "_s + deleted.error().message);
    }
    FillSMSList();
}

void ReceivedSmsReport::exportAll()
{
    m_dialogs.information(this, u"Records from all pages based on search criteria will be selected for Export."_s);
    if (TotalSMSToBeExport == 0) {
        m_dialogs.information(this, u"No record found for exporting."_s);
        return;
    }
    openExportWizard();
}

void ReceivedSmsReport::openExportWizard()
{
    // Out of sight while the wizard runs, yet still in its own modal loop, which QDialog::hide()
    // would end.
    QWidget::setVisible(false);
    if (runExportWizard(m_dialogs, this, {m_db.path(), SMSReportFromDate, SMSReportToDate}, TotalSMSToBeExport)) {
        show();
        return;
    }
    // The wizard's end closes the report too. A dialog hidden the way above does not leave its
    // loop when closed, so it is shown, off screen, first.
    setAttribute(Qt::WA_DontShowOnScreen);
    show();
    reject();
}

} // namespace ui
