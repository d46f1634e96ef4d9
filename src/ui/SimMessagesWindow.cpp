#include "SimMessagesWindow.h"

#include "Dialogs.h"
#include "ScreenParts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// The statuses the screen offers, in the order they are listed and deleted.
struct StatusChoice
{
    QString caption;
    QString status; // the modem's name
    QString shownAs;
    QString readBox;
    QString deleteBox;
};

const std::array<StatusChoice, 5>& statusChoices()
{
    static const std::array<StatusChoice, 5> choices{{
        {u"All"_s, u"ALL"_s, u"ALL"_s, u"chkAll"_s, u"chkDeleteAll"_s},
        {u"Read"_s, u"REC READ"_s, u"READ"_s, u"chkRead"_s, u"chkDeleteRead"_s},
        {u"Un Read"_s, u"REC UNREAD"_s, u"UNREAD"_s, u"chkUnRead"_s, u"chkDeleteUnRead"_s},
        {u"Sent"_s, u"STO SENT"_s, u"SENT"_s, u"chkSent"_s, u"chkDeleteSent"_s},
        {u"Un Sent"_s, u"STO UNSENT"_s, u"UNSENT"_s, u"chkUnSent"_s, u"chkDeleteUnSent"_s},
    }};
    return choices;
}

QStringList tickedStatuses(const std::array<QCheckBox*, 5>& boxes)
{
    QStringList statuses;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (boxes.at(i)->isChecked())
            statuses << statusChoices().at(i).status;
    }
    return statuses;
}

// What a row was listed as, for a delete that checks the slot still holds it.
constexpr int kPduRole = Qt::UserRole;
constexpr int kStatusRole = Qt::UserRole + 1;

} // namespace

SimMessagesWindow::SimMessagesWindow(engine::Gateway* gateway, Dialogs& dialogs, bool modemConnected, QWidget* parent)
    : QWidget(parent, Qt::Window), m_gateway(gateway), m_dialogs(dialogs), m_modemConnected(modemConnected)
{
    setObjectName(u"Frm_ManageSIMMsg"_s);
    setWindowTitle(u"Manage Messages"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(720, 600);

    auto* read = named(new QGroupBox(u"Read Messages"_s, this), u"fraReadMessages"_s);
    auto* readStatuses = new QHBoxLayout;
    auto* manage = named(new QGroupBox(u"Manage Messages"_s, this), u"fraManageMessages"_s);
    auto* deleteStatuses = new QHBoxLayout;
    for (size_t i = 0; i < statusChoices().size(); ++i) {
        const StatusChoice& choice = statusChoices().at(i);
        m_readStatuses.at(i) = named(new QCheckBox(choice.caption, read), choice.readBox);
        readStatuses->addWidget(m_readStatuses.at(i));
        m_deleteStatuses.at(i) = named(new QCheckBox(choice.caption, manage), choice.deleteBox);
        deleteStatuses->addWidget(m_deleteStatuses.at(i));
    }
    m_show = named(new QPushButton(u"&Show"_s, read), u"cmdShow"_s);
    readStatuses->addStretch();
    readStatuses->addWidget(m_show);
    deleteStatuses->addStretch();

    m_list = named(new QTreeWidget(read), u"lstMessages"_s);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({u"Message"_s, u"Status"_s, u"Mobile Number"_s, u"Index"_s});
    m_list->setColumnHidden(IndexColumn, true);
    m_list->header()->resizeSection(MessageColumn, 380);

    m_selectAll = named(new QCheckBox(u"Select All"_s, read), u"chkSelectAll"_s);
    m_deleteSelected = named(new QPushButton(u"Dele&te"_s, read), u"cmdDeleteSelected"_s);
    auto* exitRead = named(new QPushButton(u"&Exit"_s, read), u"cmdExit"_s);
    auto* readButtons = buttonRow({m_deleteSelected, exitRead});
    readButtons->insertWidget(0, m_selectAll);

    auto* readLayout = new QVBoxLayout(read);
    readLayout->addWidget(new QLabel(u"Please select the type of messages you wanted to read"_s, read));
    readLayout->addLayout(readStatuses);
    readLayout->addWidget(m_list, 1);
    readLayout->addLayout(readButtons);

    m_delete = named(new QPushButton(u"&Delete"_s, manage), u"cmdDelete"_s);
    auto* exitManage = named(new QPushButton(u"E&xit"_s, manage), u"cmdExit1"_s);
    auto* hint = new QLabel(u"Please select which type of messages you want to delete.All the messages of selected "
                            u"type will be deleted from the SIM card."_s,
                            manage);
    hint->setWordWrap(true);
    auto* manageLayout = new QVBoxLayout(manage);
    manageLayout->addWidget(hint);
    manageLayout->addLayout(deleteStatuses);
    manageLayout->addLayout(buttonRow({m_delete, exitManage}));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(read, 1);
    layout->addWidget(manage);

    connect(m_show, &QPushButton::clicked, this, &SimMessagesWindow::showMessages);
    connect(m_deleteSelected, &QPushButton::clicked, this, &SimMessagesWindow::deleteSelected);
    connect(m_delete, &QPushButton::clicked, this, &SimMessagesWindow::deleteByStatus);
    connect(exitRead, &QPushButton::clicked, this, &QWidget::close);
    connect(exitManage, &QPushButton::clicked, this, &QWidget::close);
    connect(m_selectAll, &QCheckBox::toggled, this, [this](bool ticked) {
        for (int row = 0; row < m_list->topLevelItemCount(); ++row)
            m_list->topLevelItem(row)->setCheckState(MessageColumn, ticked ? Qt::Checked : Qt::Unchecked);
    });

    // The answers come from the engine's thread, queued; a screen closed meanwhile gets none.
    connect(m_gateway, &engine::Gateway::simMessagesListed, this, &SimMessagesWindow::onListed);
    connect(m_gateway, &engine::Gateway::simRequestFinished, this, &SimMessagesWindow::onFinished);
    connect(m_gateway, &engine::Gateway::modemStateChanged, this,
            [this](bool, bool portOpen) { m_modemConnected = portOpen; });
}

SimMessagesWindow::~SimMessagesWindow() = default;

bool SimMessagesWindow::modemReady()
{
    if (m_modemConnected)
        return true;
    m_dialogs.information(this, kNotCommunicating);
    return false;
}

void SimMessagesWindow::startRequest(int request, Request kind)
{
    m_request = request;
    m_requestKind = kind;
    setBusy(true);
}

void SimMessagesWindow::setBusy(bool busy)
{
    // The busy cursor belongs to this screen alone: the rest of the program, and the screen's
    // own Exit, stay usable while the modem works.
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    m_show->setEnabled(!busy);
    m_deleteSelected->setEnabled(!busy);
    m_delete->setEnabled(!busy);
}

void SimMessagesWindow::showMessages()
{
    if (!modemReady())
        return;
    m_list->clear();
    const QStringList statuses = tickedStatuses(m_readStatuses);
    if (statuses.isEmpty())
        return;
    startRequest(m_gateway->requestSimListing(statuses), Request::Listing);
}

void SimMessagesWindow::onListed(int request, const QString& status, const QList<engine::SimMessageRow>& rows)
{
    if (request != m_request)
        return;
    const auto choice = std::ranges::find(statusChoices(), status, &StatusChoice::status);
    const QString shownAs = choice != statusChoices().end() ? choice->shownAs : status;
    // Each row goes to the top: the last message of the last status comes first.
    for (const engine::SimMessageRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        item->setText(MessageColumn, row.text);
        item->setToolTip(MessageColumn, row.text);
        item->setText(StatusColumn, shownAs);
        item->setText(NumberColumn, row.number);
        item->setText(IndexColumn, QString::number(row.index));
        item->setData(MessageColumn, kPduRole, row.pdu);
        item->setData(MessageColumn, kStatusRole, row.status);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(MessageColumn, Qt::Unchecked);
        m_list->insertTopLevelItem(0, item);
    }
}

void SimMessagesWindow::deleteSelected()
{
    if (!modemReady())
        return;
    if (m_dialogs.question(this, u"Are you sure to delete the selected messages?"_s) == Dialogs::Yes) {
        QList<engine::SimMessageRow> rows;
        for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = m_list->topLevelItem(row);
            if (item->checkState(MessageColumn) != Qt::Checked)
                continue;
            engine::SimMessageRow chosen;
            chosen.index = item->text(IndexColumn).toInt();
            chosen.status = item->data(MessageColumn, kStatusRole).toInt();
            chosen.pdu = item->data(MessageColumn, kPduRole).toString();
            // A message listed under two statuses is deleted once.
            if (std::ranges::find(rows, chosen.index, &engine::SimMessageRow::index) == rows.end())
                rows << chosen;
        }
        if (!rows.isEmpty()) {
            startRequest(m_gateway->requestSimDelete(rows), Request::RowDelete);
            return; // opened afresh once the engine is done
        }
    }
    reopen();
}

void SimMessagesWindow::deleteByStatus()
{
    if (!modemReady())
        return;
    // The boxes as they are at the click, before the question.
    const QStringList statuses = tickedStatuses(m_deleteStatuses);
    if (m_dialogs.question(this, u"Are you sure to delete the Messages?"_s) != Dialogs::Yes || statuses.isEmpty())
        return;
    startRequest(m_gateway->requestSimDeleteByStatus(statuses), Request::StatusDelete);
}

void SimMessagesWindow::onFinished(int request, engine::SimRequestOutcome outcome)
{
    if (request != m_request)
        return;
    m_request = 0;
    setBusy(false);
    if (outcome == engine::SimRequestOutcome::NotConnected) {
        // The modem went away after the screen last heard of it.
        m_modemConnected = false;
        m_dialogs.information(this, kNotCommunicating);
    }
    if (m_requestKind == Request::RowDelete)
        reopen();
}

void SimMessagesWindow::reopen()
{
    m_list->clear();
    const QSignalBlocker blocker(m_selectAll);
    m_selectAll->setChecked(false);
    for (QCheckBox* box : m_readStatuses)
        box->setChecked(false);
    for (QCheckBox* box : m_deleteStatuses)
        box->setChecked(false);
}

} // namespace ui
