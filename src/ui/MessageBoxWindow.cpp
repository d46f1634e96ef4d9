#include "MessageBoxWindow.h"

#include "ComposeDialog.h"
#include "DateText.h"
#include "Dialogs.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "PageBar.h"
#include "ScreenParts.h"
#include "WaitDialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

using Folder = MessageBoxWindow::Folder;
using Field = MessageBoxWindow::Field;
using PageQuery = std::expected<store::MessageListPage, store::StoreError> (*)(const store::Database&,
                                                                               const store::MessageListQuery&);
using CountQuery = std::expected<qint64, store::StoreError> (*)(const store::Database&);

const QString kSearchHint = u"Enter Mobile Number"_s;

struct ListColumn
{
    QString header;
    Field field;
    int twips; // 0: a quarter of the list's width
    // The store column a click on the header sorts by; empty: the order stays as it is.
    QString sortKey;
};

struct FolderView
{
    Folder folder;
    QString node;       // the tree's caption
    CountQuery counted; // shown as "Inbox(n)" in bold while above 0; none for Sent Items
    PageQuery page;
    QString initialSort;
    std::vector<ListColumn> columns;
};

// Every folder of the screen in one place: its node, columns, sort keys and the query of its pages.
// The name columns sort by the number: the names they stand for are kept nowhere.
const std::array<FolderView, 3>& folderViews()
{
    static const std::array<FolderView, 3> views{{
        {Folder::Inbox,
         u"Inbox"_s,
         [](const store::Database& db) { return store::InboxTable(db).countUnread(); },
         &store::inboxPage,
         u"InboxDateTime desc"_s,
         {{u"Mobile Number"_s, Field::Number, 0, u"SenderMobileNo"_s},
          {u"Sender's Name"_s, Field::Name, 0, u"SenderMobileNo"_s},
          {u"Message"_s, Field::Message, 0, u"Message"_s},
          {u"Received On"_s, Field::Date, 0, u"InboxDateTime"_s}}},
        {Folder::Outbox,
         u"Outbox"_s,
         [](const store::Database& db) { return store::OutboxTable(db).countPending(); },
         &store::outboxPage,
         u"OutBoxDateTime"_s,
         {{u"Mobile Number"_s, Field::Number, 2000, u"RecipientMobileNo"_s},
          {u"Recipient Name"_s, Field::Name, 3000, u"RecipientMobileNo"_s},
          {u"Message"_s, Field::Message, 4000, u"Message"_s},
          {u"Outbox Date"_s, Field::Date, 2000, u"OutBoxDateTime"_s},
          {u"Status"_s, Field::Status, 1500, QString()}}},
        {Folder::Sent,
         u"Sent Items"_s,
         nullptr,
         &store::sentPage,
         u"DeliveryDatetime"_s,
         {{u"Mobile Number"_s, Field::Number, 0, u"RecipientMobileNo"_s},
          {u"Recipient Name"_s, Field::Name, 0, u"RecipientMobileNo"_s},
          {u"Message"_s, Field::Message, 0, u"Message"_s},
          {u"Delivered On"_s, Field::Date, 0, u"DeliveryDatetime"_s}}},
    }};
    return views;
}

std::size_t indexOf(Folder folder)
{
    return std::size_t(folder) - std::size_t(Folder::Inbox);
}

const FolderView& viewOf(Folder folder)
{
    return folderViews().at(indexOf(folder == Folder::None ? Folder::Inbox : folder));
}

QAction* toolAction(QToolBar* bar, const QString& text, const QString& tip, const QString& name)
{
    QAction* action = bar->addAction(text);
    action->setObjectName(name);
    action->setToolTip(tip);
    // A tool button shows its caption without the access key, and would not answer Alt+key.
    action->setShortcut(QKeySequence::mnemonic(text));
    return action;
}

void setBold(QTreeWidgetItem* item, bool bold)
{
    for (int column = 0; column < item->columnCount(); ++column) {
        QFont font = item->font(column);
        font.setBold(bold);
        item->setFont(column, font);
    }
}

QString oneLine(const QString& text)
{
    return QString(text).replace(u"\r\n"_s, u" "_s);
}

QString fieldText(const store::MessageListRow& row, Field field)
{
    switch (field) {
    case Field::Number:
        return row.number.trimmed();
    case Field::Name:
        return QString();
    case Field::Message:
        return oneLine(row.message);
    case Field::Date:
        return row.date;
    case Field::Status:
        return row.status;
    }
    return QString();
}

qint64 rowId(const QTreeWidgetItem* item)
{
    return item->data(0, Qt::UserRole).toLongLong();
}

} // namespace

MessageBoxWindow::MessageBoxWindow(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                   const store::Clock& clock, int pageSize, QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_gateway(gateway), m_dialogs(dialogs), m_clock(clock),
      m_pageSize(pageSize > 0 ? pageSize : 100)
{
    setObjectName(u"Frm_MessageBox"_s);
    setWindowTitle(u"Message Box"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1040, 640);

    auto* layout = new QVBoxLayout(this);
    buildToolBar();
    layout->setMenuBar(findChild<QToolBar*>(u"Toolbar1"_s));

    m_tree = named(new QTreeWidget(this), u"TreeView1"_s);
    m_tree->setHeaderHidden(true);
    m_tree->setMaximumWidth(220);

    m_all = named(new QRadioButton(u"All S&MS"_s, this), u"optAllSMS"_s);
    m_unread = named(new QRadioButton(u"All &Unread"_s, this), u"optUnread"_s);
    m_search = named(new QLineEdit(this), u"txtMobNo"_s);
    auto* show = new QPushButton(u"Searc&h"_s, this);
    show->setObjectName(u"cmdShow"_s);
    auto* filters = new QHBoxLayout;
    filters->addWidget(m_all);
    filters->addWidget(m_unread);
    filters->addStretch();
    filters->addWidget(m_search);
    filters->addWidget(show);

    m_list = named(new QTreeWidget(this), u"ListMessage"_s);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->setUniformRowHeights(true);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setStretchLastSection(false);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);

    m_previous = named(new QPushButton(u"<< Pre&vious"_s, this), u"cmdPrevious"_s);
    m_pageBox = named(new QLineEdit(u"1"_s, this), u"txtPages"_s);
    m_pageBox->setMaximumWidth(60);
    m_pagesCaption = named(new QLabel(this), u"lblPages"_s);
    m_next = named(new QPushButton(u"&Next >>"_s, this), u"cmdNext"_s);
    // Nothing is listed yet: there is no page to go to.
    m_previous->setEnabled(false);
    m_next->setEnabled(false);
    auto* paging = new QHBoxLayout;
    paging->addWidget(m_previous);
    paging->addWidget(m_pageBox);
    paging->addWidget(m_pagesCaption);
    paging->addStretch();
    paging->addWidget(m_next);

    m_name = named(new QLabel(u"Name :"_s, this), u"LblName"_s);
    m_number = named(new QLabel(u"Mobile Number :"_s, this), u"LblNo"_s);
    m_message = named(new QPlainTextEdit(this), u"txtMessage"_s);
    m_message->setReadOnly(true);
    m_message->setMaximumHeight(110);

    auto* right = new QVBoxLayout;
    right->addLayout(filters);
    right->addWidget(m_list, 1);
    right->addLayout(paging);
    right->addWidget(m_name);
    right->addWidget(m_number);
    right->addWidget(m_message);
    auto* body = new QHBoxLayout;
    body->addWidget(m_tree);
    body->addLayout(right, 1);
    layout->addLayout(body);

    // Headers from the start: an empty list never shows Qt's bare "1".
    showColumns(Folder::Inbox);

    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onTreeClicked(item); });
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onRowClicked(item); });
    // Rows chosen with the keyboard count as much as clicked ones for Reply, Forward and Delete.
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_list->hasFocus())
            setRowButtons(!m_list->selectedItems().isEmpty());
    });
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &MessageBoxWindow::onHeaderClicked);
    connect(m_all, &QRadioButton::clicked, this, &MessageBoxWindow::fillListInbox);
    connect(m_unread, &QRadioButton::clicked, this, &MessageBoxWindow::fillListInbox);
    connect(show, &QPushButton::clicked, this, &MessageBoxWindow::refillShown);
    connect(m_search, &QLineEdit::returnPressed, this, &MessageBoxWindow::refillShown);
    m_search->installEventFilter(this);
    connect(m_next, &QPushButton::clicked, this, [this] {
        ++m_page;
        m_after = m_lastShown;
        refillShown();
    });
    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (m_page > 1) {
            --m_page;
            m_before = m_firstShown;
        }
        refillShown();
    });
    connect(m_pageBox, &QLineEdit::textEdited, this, &MessageBoxWindow::onPageEdited);
    connect(m_pageBox, &QLineEdit::returnPressed, this, &MessageBoxWindow::onPageEntered);

    // The engine tells what changed; the screen redraws what it shows.
    connect(m_gateway, &engine::Gateway::messagesSent, this, &MessageBoxWindow::fillTreeView);
    connect(m_gateway, &engine::Gateway::inboxChanged, this, &MessageBoxWindow::fillTreeView);
    connect(m_gateway, &engine::Gateway::messageStored, this, &MessageBoxWindow::addStoredMessage);
    connect(m_gateway, &engine::Gateway::sendFinished, this, [this] {
        fillTreeView();
        refillShown();
    });
    connect(m_gateway, &engine::Gateway::receiveFinished, this, [this] {
        if (m_wait)
            m_wait->close();
        refillShown();
    });
}

MessageBoxWindow::~MessageBoxWindow()
{
    if (m_wait)
        m_wait->close();
}

void MessageBoxWindow::buildToolBar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(u"Toolbar1"_s);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction* composeAction = toolAction(bar, u"&Compose"_s, u"Write SMS and send at Out Box"_s, u"tbrCompose"_s);
    QAction* sendAll = toolAction(bar, u"Send &All"_s, u"Send all SMS from Out Box"_s, u"tbrSendAll"_s);
    QAction* receive = toolAction(bar, u"&Receive All"_s, u"Receive All SMS."_s, u"tbrReceiveAll"_s);
    m_reply = toolAction(bar, u"Re&ply"_s, u"Send reply to selected message."_s, u"tbrReply"_s);
    m_forward = toolAction(bar, u"&Forward"_s, u"Forward this message to another user."_s, u"tbrForward"_s);
    m_delete = toolAction(bar, u"&Delete"_s, u"Delete selected SMS."_s, u"tbrDelete"_s);
    QAction* autoReply = toolAction(bar, u"Auto Repl&y"_s, u"Send automatic reply."_s, u"tbrAutoReply"_s);
    connect(autoReply, &QAction::triggered, this, &MessageBoxWindow::autoReplyRequested);
    QAction* settings = toolAction(bar, u"&Settings"_s, u"Settings."_s, u"tbrSettings"_s);
    connect(settings, &QAction::triggered, this, &MessageBoxWindow::settingsRequested);

    connect(composeAction, &QAction::triggered, this, [this] { compose(QString(), QString()); });
    connect(sendAll, &QAction::triggered, this,
            [this] { QMetaObject::invokeMethod(m_gateway, &engine::Gateway::sendAll, Qt::QueuedConnection); });
    connect(receive, &QAction::triggered, this, &MessageBoxWindow::receiveAll);
    connect(m_reply, &QAction::triggered, this, &MessageBoxWindow::reply);
    connect(m_forward, &QAction::triggered, this, &MessageBoxWindow::forward);
    connect(m_delete, &QAction::triggered, this, &MessageBoxWindow::DeleteSMS);
}

void MessageBoxWindow::open(const QString& msgType)
{
    m_page = 1;
    m_folder = Folder::None;
    m_search->setText(kSearchHint);
    setRowButtons(false);
    for (const FolderView& view : folderViews())
        m_sortKeys.at(indexOf(view.folder)) = view.initialSort;
    m_unread->setChecked(true);
    m_all->setEnabled(false);
    m_unread->setEnabled(false);
    fillTreeView();
    // The operator comes for new messages more than for anything else.
    selectFolder(msgType == u"O"_s ? Folder::Outbox : Folder::Inbox);
}

QString MessageBoxWindow::sortKey(Folder folder) const
{
    return folder == Folder::None ? QString() : m_sortKeys.at(indexOf(folder));
}

void MessageBoxWindow::fillTreeView()
{
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {u"Message"_s});
    setBold(root, true);
    for (const FolderView& view : folderViews()) {
        const qint64 count = view.counted != nullptr ? view.counted(m_db).value_or(0) : 0;
        auto* node = new QTreeWidgetItem(root, {count > 0 ? u"%1(%2)"_s.arg(view.node).arg(count) : view.node});
        node->setData(0, Qt::UserRole, int(view.folder));
        setBold(node, count > 0);
    }
    root->setExpanded(true);
    if (QTreeWidgetItem* shown = folderNode(m_folder))
        m_tree->setCurrentItem(shown);
}

QTreeWidgetItem* MessageBoxWindow::folderNode(Folder folder) const
{
    const QTreeWidgetItem* root = m_tree->topLevelItem(0);
    for (int child = 0; root != nullptr && folder != Folder::None && child < root->childCount(); ++child) {
        if (root->child(child)->data(0, Qt::UserRole).toInt() == int(folder))
            return root->child(child);
    }
    return nullptr;
}

void MessageBoxWindow::selectFolder(Folder folder)
{
    m_page = 1;
    m_search->setText(kSearchHint);
    setRowButtons(false);
    const bool inbox = folder == Folder::Inbox;
    m_all->setEnabled(inbox);
    m_unread->setEnabled(inbox);
    fill(folder);
    m_tree->setCurrentItem(folderNode(folder));
}

void MessageBoxWindow::onTreeClicked(QTreeWidgetItem* item)
{
    // The root carries no folder and does nothing.
    const QVariant folder = item != nullptr ? item->data(0, Qt::UserRole) : QVariant();
    if (folder.isValid())
        selectFolder(Folder(folder.toInt()));
}

void MessageBoxWindow::fillListInbox()
{
    fill(Folder::Inbox);
}

void MessageBoxWindow::fillListOutbox()
{
    fill(Folder::Outbox);
}

void MessageBoxWindow::fillListSent()
{
    fill(Folder::Sent);
}

void MessageBoxWindow::refillShown()
{
    if (m_folder != Folder::None)
        fill(m_folder);
}

QString MessageBoxWindow::searchText() const
{
    const QString text = m_search->text().trimmed();
    return text == kSearchHint ? QString() : text;
}

void MessageBoxWindow::showColumns(Folder folder)
{
    m_columnsOf = folder;
    const FolderView& view = viewOf(folder);
    QStringList headers;
    for (const ListColumn& column : view.columns)
        headers << column.header;
    m_list->setColumnCount(int(headers.size()));
    m_list->setHeaderLabels(headers);
    fitColumns();
}

void MessageBoxWindow::fitColumns()
{
    const FolderView& view = viewOf(m_columnsOf);
    QFont bold = m_list->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    // Room for the cell's margins and the header's sort mark.
    const int padding = 2 * m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16;
    const int quarter = m_list->viewport()->width() / 4;
    for (int index = 0; index < int(view.columns.size()); ++index) {
        const ListColumn& column = view.columns.at(std::size_t(index));
        int width = column.twips > 0 ? column.twips * logicalDpiX() / 1440 : quarter;
        // A date is cut nowhere, even in bold and on a narrow window: the whole of it matters.
        if (column.field == Field::Date)
            width = std::max(width, metrics.horizontalAdvance(u"0000-00-00 00:00:00"_s) + padding);
        width = std::max(width, metrics.horizontalAdvance(column.header) + padding);
        m_list->setColumnWidth(index, width);
    }
}

int MessageBoxWindow::columnOf(Field field) const
{
    const FolderView& view = viewOf(m_columnsOf);
    for (int index = 0; index < int(view.columns.size()); ++index) {
        if (view.columns.at(std::size_t(index)).field == field)
            return index;
    }
    return -1;
}

void MessageBoxWindow::addRow(const store::MessageListRow& row)
{
    QStringList texts;
    for (const ListColumn& column : viewOf(m_columnsOf).columns)
        texts << fieldText(row, column.field);
    auto* item = new QTreeWidgetItem(m_list, texts);
    item->setData(0, Qt::UserRole, row.id);
    if (!row.isRead)
        setBold(item, true);
}

void MessageBoxWindow::fill(Folder folder)
{
    // Widths the operator has set stay while the same folder is refilled.
    QList<int> widths;
    for (int column = 0; folder == m_columnsOf && column < m_list->columnCount(); ++column)
        widths << m_list->columnWidth(column);
    m_folder = folder;
    emptyPreview();
    m_list->clear();
    showColumns(folder);
    for (int column = 0; column < int(widths.size()); ++column)
        m_list->setColumnWidth(column, widths.at(column));
    const FolderView& view = viewOf(folder);

    store::MessageListQuery query;
    query.unreadOnly = folder == Folder::Inbox && m_unread->isChecked();
    query.search = searchText();
    query.page = m_page;
    query.pageSize = m_pageSize;
    query.sortKey = sortKey(folder);
    // A key is good for the one fill it was set for, and for the list it came from.
    const QString list =
        QStringList{QString::number(int(folder)), query.unreadOnly ? u"u"_s : u"a"_s, query.search, query.sortKey}.join(
            QChar(u'\n'));
    query.after = std::exchange(m_after, std::nullopt);
    query.before = std::exchange(m_before, std::nullopt);
    if (list != m_shownList) {
        query.after.reset();
        query.before.reset();
    }
    m_shownList = list;
    m_firstShown.reset();
    m_lastShown.reset();
    auto page = view.page(m_db, query);
    if (!page) {
        m_pageCount = 0;
        m_next->setEnabled(false);
        m_previous->setEnabled(m_page > 1);
        m_dialogs.error(this, u"The messages could not be read: "_s + page.error().message);
        return;
    }
    if (page->total > 0) {
        const qint64 whole = page->total / m_pageSize;
        if (page->total % m_pageSize != 0) {
            m_pageCount = int(whole + 1);
            m_pagesCaption->setText(u"of %1 Pages. Total records: %2"_s.arg(m_pageCount).arg(page->total));
        } else {
            m_pageCount = int(whole);
            m_pagesCaption->setText(u"of %1 Total records: %2"_s.arg(m_pageCount).arg(page->total));
        }
    } else {
        // Next and Previous are judged against the list shown, not an earlier one.
        m_pageCount = 0;
        m_pagesCaption->clear();
    }
    for (const store::MessageListRow& row : page->rows)
        addRow(row);
    if (!page->rows.empty()) {
        m_firstShown = page->rows.front().key;
        m_lastShown = page->rows.back().key;
    }
    m_next->setEnabled(m_pageCount > m_page);
    m_previous->setEnabled(m_page > 1);
}

void MessageBoxWindow::setRowButtons(bool enabled)
{
    m_reply->setEnabled(enabled);
    m_forward->setEnabled(enabled);
    m_delete->setEnabled(enabled);
}

void MessageBoxWindow::emptyPreview()
{
    m_name->setText(u"Name :"_s);
    m_number->setText(u"Mobile Number :"_s);
    m_message->clear();
}

void MessageBoxWindow::showMessage(const QString& stored)
{
    // The store breaks lines with CR LF; the text box knows only LF.
    m_message->setPlainText(store::trimBlanks(stored).replace(u"\r\n"_s, u"\n"_s));
}

void MessageBoxWindow::onRowClicked(QTreeWidgetItem* item)
{
    setRowButtons(!m_list->selectedItems().isEmpty());
    if (item == nullptr)
        return;
    m_name->setText(u"Name :"_s + item->text(columnOf(Field::Name)).trimmed());
    m_number->setText(u"Mobile Number :"_s + item->text(columnOf(Field::Number)).trimmed());
    const qint64 id = rowId(item);
    if (m_folder == Folder::Inbox) {
        auto message = store::InboxTable(m_db).readMessage(id);
        if (message && message->has_value())
            showMessage(**message);
        setBold(item, false);
        fillTreeView();
    } else {
        auto row = store::OutboxTable(m_db).row(id);
        if (row)
            showMessage(row->message);
    }
    m_list->setCurrentItem(item);
}

void MessageBoxWindow::onHeaderClicked(int column)
{
    if (m_folder == Folder::None)
        return;
    const auto& columns = viewOf(m_folder).columns;
    if (column < 0 || column >= int(columns.size()) || columns.at(std::size_t(column)).sortKey.isEmpty())
        return;
    m_sortKeys.at(indexOf(m_folder)) = columns.at(std::size_t(column)).sortKey;
    refillShown();
}

void MessageBoxWindow::onPageEdited(const QString& text)
{
    acceptPageText(m_dialogs, this, m_pageBox, text, m_page);
}

void MessageBoxWindow::onPageEntered()
{
    if (const auto typed = enteredPage(m_dialogs, this, m_pageBox, m_page, m_pageCount)) {
        m_page = *typed;
        refillShown();
    }
}

void MessageBoxWindow::DeleteSMS()
{
    if (m_dialogs.question(this, u"Are you sure to delete the message(s)?"_s) != Dialogs::Yes)
        return;
    int deleted = 0;
    for (QTreeWidgetItem* item : m_list->selectedItems()) {
        const qint64 id = rowId(item);
        const auto removed = m_folder == Folder::Inbox ? store::InboxTable(m_db).remove(id)
                                                       : store::OutboxTable(m_db).remove(id, m_folder == Folder::Sent);
        if (!removed) {
            m_dialogs.error(this, u"The message could not be deleted: "_s + removed.error().message);
            break;
        }
        delete item;
        ++deleted;
    }
    if (deleted > 0) {
        emptyPreview();
        fillTreeView();
    } else {
        m_dialogs.information(this, u"Please select message which you want to delete."_s);
    }
}

void MessageBoxWindow::compose(const QString& numbers, const QString& message)
{
    ComposeDialog screen(m_db, m_dialogs, m_clock, this);
    if (!numbers.isEmpty())
        screen.setMobileNumbers(numbers);
    if (!message.isEmpty())
        screen.setMessage(message);
    if (m_dialogs.run(screen) == QDialog::Accepted) {
        fillTreeView();
        if (m_folder == Folder::Outbox)
            refillShown();
        Q_EMIT outboxChanged();
    }
}

void MessageBoxWindow::reply()
{
    if (m_folder != Folder::Inbox && m_folder != Folder::Sent)
        return;
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    compose(selected.first()->text(columnOf(Field::Number)).trimmed(), QString());
}

void MessageBoxWindow::forward()
{
    if ((m_folder != Folder::Inbox && m_folder != Folder::Sent) || m_list->selectedItems().isEmpty())
        return;
    compose(QString(), m_message->toPlainText());
}

void MessageBoxWindow::receiveAll()
{
    if (!m_wait) {
        m_wait = new WaitDialog(this);
        m_wait->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_wait->show();
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::receiveAll, Qt::QueuedConnection);
}

void MessageBoxWindow::addStoredMessage(qint64 id, const QString& sender, const QString& text, const QDateTime& when)
{
    if (m_folder != Folder::Inbox)
        return;
    store::MessageListRow row;
    row.id = id;
    row.number = sender;
    row.message = text;
    row.date = store::isoText(when);
    row.isRead = false;
    addRow(row);
}

bool MessageBoxWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list) {
        if (event->type() == QEvent::FocusOut)
            setRowButtons(false);
        else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete)
            DeleteSMS();
    } else if (watched == m_list->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    } else if (watched == m_search && event->type() == QEvent::MouseButtonPress && m_search->text() == kSearchHint) {
        m_search->clear();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ui
