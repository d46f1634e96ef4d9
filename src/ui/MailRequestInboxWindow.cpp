#include "MailRequestInboxWindow.h"

#include "DateRangeRow.h"
#include "Dialogs.h"
#include "PageBar.h"
#include "ReportQueries.h"
#include "ScreenParts.h"
#include "TextRules.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

const QString kPickerFormat = u"ddd, dd-MMMM-yyyy"_s;

struct FilterChoice
{
    QString text;
    store::MailFilter filter;
};

const FilterChoice kFilters[] = {
    {u"All Received Emails"_s, store::MailFilter::All},
    {u"Emails sent to SMS"_s, store::MailFilter::SentToSms},
    {u"Emails could NOT be sent to SMS"_s, store::MailFilter::NotSentToSms},
};

} // namespace

MailRequestInboxWindow::MailRequestInboxWindow(const store::Database& db, Dialogs& dialogs, const store::Clock& clock,
                                               int pageSize, QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_dialogs(dialogs)
{
    setObjectName(u"frm_POP3InBoxForWebToSMS"_s);
    setWindowTitle(u"POP3 InBox for Web - To SMS Account"_s);
    setAttribute(Qt::WA_DeleteOnClose);

    const QDate today = clock.now().date();
    m_filter = named(new QComboBox(this), u"cmbEmailType"_s);
    for (const FilterChoice& choice : kFilters)
        m_filter->addItem(choice.text, int(choice.filter));
    m_filter->setCurrentIndex(m_filter->findText(u"Emails could NOT be sent to SMS"_s));
    m_sender = named(new QLineEdit(this), u"txtEmail"_s);
    m_from = datePicker(this, u"dtpFromDate"_s, today.addDays(-7), kPickerFormat);
    m_to = datePicker(this, u"dtpToDate"_s, today, kPickerFormat);
    m_user = named(new QLineEdit(this), u"txtSMSUserName"_s);
    auto* searchButton = named(new QPushButton(u"&Search"_s, this), u"cmdSearch"_s);

    auto* filters = new QGroupBox(u"Filter Emails"_s, this);
    auto* grid = new QGridLayout(filters);
    grid->addWidget(new QLabel(u"Filter Criteria :"_s, filters), 0, 0);
    grid->addWidget(m_filter, 0, 1);
    grid->addWidget(new QLabel(u"From Email Address :"_s, filters), 0, 2);
    grid->addWidget(m_sender, 0, 3);
    grid->addWidget(new QLabel(u"Email Date :"_s, filters), 1, 0);
    auto* days = new QHBoxLayout;
    days->addWidget(new QLabel(u"From -"_s, filters));
    days->addWidget(m_from);
    days->addWidget(new QLabel(u"To -"_s, filters));
    days->addWidget(m_to);
    grid->addLayout(days, 1, 1);
    grid->addWidget(new QLabel(u"From SMS UserName :"_s, filters), 1, 2);
    grid->addWidget(m_user, 1, 3);
    grid->addWidget(searchButton, 1, 4);

    m_list = named(new QTreeWidget(this), u"ListMessage"_s);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels(
        {u"Email Date/Time"_s, u"Sender's Email Address"_s, u"Email Subject"_s, u"Received On"_s, u"Status"_s});
    m_list->setColumnWidth(0, 150);
    m_list->setColumnWidth(1, 200);
    m_list->setColumnWidth(2, 220);
    m_list->setColumnWidth(3, 150);
    m_list->installEventFilter(this);

    m_pages = new PageBar(dialogs, PageBar::Caption::Records, pageSize > 0 ? pageSize : 100, this);
    m_text = named(new QPlainTextEdit(this), u"txtMessage"_s);
    m_text->setReadOnly(true);
    m_text->setMaximumHeight(140);
    auto* deleteButton = named(new QPushButton(u"Delete Selected Mails"_s, this), u"cmdDelete"_s);
    auto* closeButton = named(new QPushButton(u"Close This Window"_s, this), u"cmdClose"_s);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filters);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_pages);
    layout->addWidget(m_text);
    layout->addLayout(buttonRow({deleteButton, closeButton}));
    resize(960, 620);

    connect(searchButton, &QPushButton::clicked, this, &MailRequestInboxWindow::fillList);
    connect(m_pages, &PageBar::pageChosen, this, &MailRequestInboxWindow::fillList);
    connect(m_list, &QTreeWidget::itemClicked, this, &MailRequestInboxWindow::showText);
    connect(deleteButton, &QPushButton::clicked, this, &MailRequestInboxWindow::deleteSelected);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    fillList();
}

void MailRequestInboxWindow::fillList()
{
    m_list->clear();
    m_text->clear();
    store::MailInboxFilter filter;
    filter.filter = store::MailFilter(m_filter->currentData().toInt());
    filter.sender = m_sender->text();
    filter.smsUserName = m_user->text();
    filter.from = m_from->date();
    filter.to = m_to->date();
    const QString list =
        QStringList{QString::number(int(filter.filter)), filter.sender.trimmed(), filter.smsUserName.trimmed(),
                    filter.from.toString(Qt::ISODate), filter.to.toString(Qt::ISODate)}
            .join(QChar(u'\n'));
    auto page = store::mailInboxPage(m_db, filter, m_pages->paging(list));
    if (!page) {
        m_pages->failed();
        m_dialogs.error(this, u"The e-mails could not be read: "_s + page.error().message);
        return;
    }
    for (const store::MailInboxRow& row : page->rows) {
        auto* item = new QTreeWidgetItem(m_list, {row.emailDateTime, store::trimBlanks(row.fromAddress),
                                                  store::trimBlanks(row.subject), row.receivedOn,
                                                  store::trimBlanks(row.reason)});
        item->setData(0, Qt::UserRole, row.id);
    }
    if (page->rows.empty())
        m_pages->shown(page->total, std::nullopt, std::nullopt);
    else
        m_pages->shown(page->total, page->rows.front().key, page->rows.back().key);
}

void MailRequestInboxWindow::showText(QTreeWidgetItem* item)
{
    if (item == nullptr)
        return;
    auto text = store::mailText(m_db, item->data(0, Qt::UserRole).toLongLong());
    if (!text) {
        m_dialogs.error(this, u"The e-mail could not be read: "_s + text.error().message);
        return;
    }
    // An e-mail deleted meanwhile shows no text; the store breaks lines with CR LF.
    m_text->setPlainText(text->value_or(QString()).replace(u"\r\n"_s, u"\n"_s));
}

void MailRequestInboxWindow::deleteSelected()
{
    if (m_dialogs.question(this, u"Are you sure to delete the message(s)?"_s) != Dialogs::Yes)
        return;
    std::vector<qint64> ids;
    for (const QTreeWidgetItem* item : m_list->selectedItems())
        ids.push_back(item->data(0, Qt::UserRole).toLongLong());
    if (ids.empty()) {
        m_dialogs.information(this, u"Please select message which you want to delete."_s);
        return;
    }
    auto deleted = store::deleteMails(m_db, ids);
    if (!deleted)
        m_dialogs.error(this, u"The e-mails could not be deleted: "_s + deleted.error().message);
    fillList();
}

bool MailRequestInboxWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete)
        deleteSelected();
    return QWidget::eventFilter(watched, event);
}

} // namespace ui
