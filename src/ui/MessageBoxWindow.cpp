#include "MessageBoxWindow.h"

#include "DateText.h"
#include "Dialogs.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "ComposeDialog.h"
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
#include <QRegularExpression>
#include <QSplitter>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

const QString kSearchHint = u"Enter Mobile Number"_s;
constexpr int kKeyColumn = 4;

QAction* toolAction(QToolBar* bar, const QString& text, const QString& tip, const QString& name)
{
    QAction* action = bar->addAction(text);
    action->setObjectName(name);
    action->setToolTip(tip);
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

} // namespace

MessageBoxWindow::MessageBoxWindow(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                               const store::Clock& clock, int pageSize, QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_gateway(gateway), m_dialogs(dialogs), m_clock(clock),
      m_pageSize(pageSize > 0 ? pageSize : 100)
{
    setObjectName(u"Frm_MessageBox"_s);
    setWindowTitle(u"Message Box"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(980, 640);

    auto* layout = new QVBoxLayout(this);
    buildToolBar();
    layout->setMenuBar(findChild<QToolBar*>(u"Toolbar1"_s));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(u"TreeView1"_s);
    m_tree->setHeaderHidden(true);
    m_tree->setMaximumWidth(220);

    m_all = new QRadioButton(u"All SMS"_s, this);
    m_all->setObjectName(u"optAllSMS"_s);
    m_unread = new QRadioButton(u"All Unread"_s, this);
    m_unread->setObjectName(u"optUnread"_s);
    m_search = new QLineEdit(this);
    m_search->setObjectName(u"txtMobNo"_s);
    auto* show = new QPushButton(u"Search"_s, this);
    show->setObjectName(u"cmdShow"_s);
    auto* filters = new QHBoxLayout;
    filters->addWidget(m_all);
    filters->addWidget(m_unread);
    filters->addStretch();
    filters->addWidget(m_search);
    filters->addWidget(show);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(u"ListMessage"_s);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setSectionsClickable(true);
    m_list->installEventFilter(this);

    m_previous = new QPushButton(u"<< Previous"_s, this);
    m_previous->setObjectName(u"cmdPrevious"_s);
    m_pageBox = new QLineEdit(u"1"_s, this);
    m_pageBox->setObjectName(u"txtPages"_s);
    m_pageBox->setMaximumWidth(60);
    m_pagesCaption = new QLabel(this);
    m_pagesCaption->setObjectName(u"lblPages"_s);
    m_next = new QPushButton(u"Next >>"_s, this);
    m_next->setObjectName(u"cmdNext"_s);
    auto* paging = new QHBoxLayout;
    paging->addWidget(m_previous);
    paging->addWidget(m_pageBox);
    paging->addWidget(m_pagesCaption);
    paging->addStretch();
    paging->addWidget(m_next);

    m_name = new QLabel(u"Name :"_s, this);
    m_name->setObjectName(u"LblName"_s);
    m_number = new QLabel(u"Mobile Number :"_s, this);
    m_number->setObjectName(u"LblNo"_s);
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(u"txtMessage"_s);
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

    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onTreeClicked(item); });
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onRowClicked(item); });
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &MessageBoxWindow::onHeaderClicked);
    connect(m_all, &QRadioButton::clicked, this, &MessageBoxWindow::fillListInbox);
    connect(m_unread, &QRadioButton::clicked, this, &MessageBoxWindow::fillListInbox);
    connect(show, &QPushButton::clicked, this, &MessageBoxWindow::refillShown);
    connect(m_search, &QLineEdit::returnPressed, this, &MessageBoxWindow::refillShown);
    m_search->installEventFilter(this);
    connect(m_next, &QPushButton::clicked, this, [this] {
        ++m_page;
        refillShown();
    });
    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (m_page > 1)
            --m_page;
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
    // Its screen is not part of this build yet.
    toolAction(bar, u"Auto Repl&y"_s, u"Send automatic reply."_s, u"tbrAutoReply"_s)->setEnabled(false);
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
    m_inboxSort = u"InboxDateTime desc"_s;
    m_outboxSort = u"OutBoxDateTime"_s;
    m_sentSort = u"DeliveryDatetime"_s;
    m_unread->setChecked(true);
    m_all->setEnabled(false);
    m_unread->setEnabled(false);
    fillTreeView();
    if (msgType == u"I"_s)
        selectFolder(Folder::Inbox);
    else if (msgType == u"O"_s)
        selectFolder(Folder::Outbox);
}

void MessageBoxWindow::fillTreeView()
{
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {u"Message"_s});
    setBold(root, true);
    const qint64 unread = store::InboxTable(m_db).countUnread().value_or(0);
    m_inboxNode = new QTreeWidgetItem(root, {unread > 0 ? u"Inbox(%1)"_s.arg(unread) : u"Inbox"_s});
    setBold(m_inboxNode, unread > 0);
    const qint64 pending = store::OutboxTable(m_db).countPending().value_or(0);
    m_outboxNode = new QTreeWidgetItem(root, {pending > 0 ? u"Outbox(%1)"_s.arg(pending) : u"Outbox"_s});
    setBold(m_outboxNode, pending > 0);
    m_sentNode = new QTreeWidgetItem(root, {u"Sent Items"_s});
    root->setExpanded(true);
    if (m_folder == Folder::Inbox)
        m_tree->setCurrentItem(m_inboxNode);
    else if (m_folder == Folder::Outbox)
        m_tree->setCurrentItem(m_outboxNode);
    else if (m_folder == Folder::Sent)
        m_tree->setCurrentItem(m_sentNode);
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
    m_tree->setCurrentItem(inbox ? m_inboxNode : folder == Folder::Outbox ? m_outboxNode : m_sentNode);
}

void MessageBoxWindow::onTreeClicked(QTreeWidgetItem* item)
{
    if (item == m_inboxNode)
        selectFolder(Folder::Inbox);
    else if (item == m_outboxNode)
        selectFolder(Folder::Outbox);
    else if (item == m_sentNode)
        selectFolder(Folder::Sent);
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

void MessageBoxWindow::fill(Folder folder)
{
    m_folder = folder;
    emptyPreview();
    m_list->clear();
    QStringList columns;
    if (folder == Folder::Inbox)
        columns = {u"Mobile Number"_s, u"Sender's Name"_s, u"Message"_s, u"Received On"_s, QString()};
    else if (folder == Folder::Outbox)
        columns = {u"Mobile Number"_s, u"Recipient Name"_s, u"Message"_s, u"Outbox Date"_s, QString(), u"Status"_s};
    else
        columns = {u"Mobile Number"_s, u"Recipient Name"_s, u"Message"_s, u"Delivered On"_s, QString()};
    m_list->setColumnCount(int(columns.size()));
    m_list->setHeaderLabels(columns);
    m_list->setColumnHidden(kKeyColumn, true);

    store::MessageListQuery query;
    query.unreadOnly = folder == Folder::Inbox && m_unread->isChecked();
    query.search = searchText();
    query.page = m_page;
    query.pageSize = m_pageSize;
    query.sortKey = folder == Folder::Inbox ? m_inboxSort : folder == Folder::Outbox ? m_outboxSort : m_sentSort;
    auto page = folder == Folder::Inbox    ? store::inboxPage(m_db, query)
                : folder == Folder::Outbox ? store::outboxPage(m_db, query)
                                           : store::sentPage(m_db, query);
    if (!page) {
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
    for (const store::MessageListRow& row : page->rows) {
        QStringList texts{row.number.trimmed(), QString(), oneLine(row.message), row.date, QString::number(row.id)};
        if (folder == Folder::Outbox)
            texts << row.status;
        auto* item = new QTreeWidgetItem(m_list, texts);
        if (folder == Folder::Inbox && !row.isRead)
            setBold(item, true);
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

void MessageBoxWindow::onRowClicked(QTreeWidgetItem* item)
{
    setRowButtons(!m_list->selectedItems().isEmpty());
    if (item == nullptr)
        return;
    m_name->setText(u"Name :"_s + item->text(1).trimmed());
    m_number->setText(u"Mobile Number :"_s + item->text(0).trimmed());
    const qint64 id = item->text(kKeyColumn).toLongLong();
    if (m_folder == Folder::Inbox) {
        auto message = store::InboxTable(m_db).readMessage(id);
        if (message && message->has_value())
            m_message->setPlainText(store::trimBlanks(**message));
        setBold(item, false);
        fillTreeView();
    } else {
        auto row = store::OutboxTable(m_db).row(id);
        if (row)
            m_message->setPlainText(store::trimBlanks(row->message));
    }
    m_list->setCurrentItem(item);
}

void MessageBoxWindow::onHeaderClicked(int column)
{
    // Column 2 holds names nobody stores; it sorts by the number instead.
    static const QStringList inboxKeys{u"SenderMobileNo"_s, u"SenderMobileNo"_s, u"Message"_s, u"InboxDateTime"_s};
    static const QStringList outboxKeys{u"RecipientMobileNo"_s, u"RecipientMobileNo"_s, u"Message"_s,
                                        u"OutBoxDateTime"_s};
    static const QStringList sentKeys{u"RecipientMobileNo"_s, u"RecipientMobileNo"_s, u"Message"_s,
                                      u"DeliveryDatetime"_s};
    if (column < 0 || column > 3)
        return;
    if (m_folder == Folder::Inbox)
        m_inboxSort = inboxKeys.at(column);
    else if (m_folder == Folder::Outbox)
        m_outboxSort = outboxKeys.at(column);
    else if (m_folder == Folder::Sent)
        m_sentSort = sentKeys.at(column);
    refillShown();
}

void MessageBoxWindow::onPageEdited(const QString& text)
{
    static const QRegularExpression digits(u"^[0-9]+$"_s);
    if (text.isEmpty() || digits.match(text.trimmed()).hasMatch())
        return;
    m_dialogs.information(this, u"Please enter numeric value."_s);
    m_pageBox->setText(QString::number(m_page));
}

void MessageBoxWindow::onPageEntered()
{
    bool ok = false;
    const int typed = m_pageBox->text().trimmed().toInt(&ok);
    if (ok && typed >= 1 && typed <= m_pageCount) {
        m_page = typed;
        refillShown();
        return;
    }
    m_dialogs.information(this, u"This page does not exist."_s);
    m_pageBox->setText(QString::number(m_page));
}

void MessageBoxWindow::DeleteSMS()
{
    if (m_dialogs.question(this, u"Are you sure to delete the message(s)?"_s) != Dialogs::Yes)
        return;
    int deleted = 0;
    for (QTreeWidgetItem* item : m_list->selectedItems()) {
        const qint64 id = item->text(kKeyColumn).toLongLong();
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
    if (screen.exec() == QDialog::Accepted) {
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
    compose(selected.first()->text(0).trimmed(), QString());
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
    auto* item =
        new QTreeWidgetItem(m_list, {sender, QString(), oneLine(text), store::isoText(when), QString::number(id)});
    setBold(item, true);
}

bool MessageBoxWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list) {
        if (event->type() == QEvent::FocusOut)
            setRowButtons(false);
        else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete)
            DeleteSMS();
    } else if (watched == m_search && event->type() == QEvent::MouseButtonPress && m_search->text() == kSearchHint) {
        m_search->clear();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ui
