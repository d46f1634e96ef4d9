#include "AutoReplyCommandsDialog.h"

#include "AutoReplyTable.h"
#include "CheckableList.h"
#include "Dialogs.h"
#include "FieldChecks.h"
#include "ScreenParts.h"
#include "SmsTextEdit.h"
#include "TextRules.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

enum Column
{
    CommandColumn,
    ReplyColumn,
    IdColumn
};

} // namespace

AutoReplyCommandsDialog::AutoReplyCommandsDialog(const store::Database& db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs)
{
    setObjectName(u"Frm_Reply"_s);
    setWindowTitle(u"SMS Auto Reply Setting"_s);

    m_switch = named(new QCheckBox(u"Enable SMS Auto Reply?"_s, this), u"chkSendAutoreply"_s);
    m_list =
        named(new CheckableList({u"SMS Command"_s, u"Auto Reply"_s, QString()}, IdColumn, this), u"ListOfSMSReply"_s);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(ReplyColumn, QHeaderView::Stretch);
    m_list->setColumnWidth(CommandColumn, 140);
    m_selectAll = named(new QCheckBox(u"Select All"_s, this), u"chkAll"_s);
    auto* deleteButton = named(new QPushButton(u"&Delete Selected"_s, this), u"Cmd_delete"_s);
    m_command = named(new QLineEdit(this), u"Text_received"_s);
    m_command->setMaxLength(kMaxCommandLength);
    m_reply = named(new SmsTextEdit(kMaxReplyLength, this), u"Text_reply"_s);
    m_id = named(new QLineEdit(this), u"Text_commandId"_s);
    m_id->setVisible(false);
    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"CmdEdit"_s);
    auto* exitButton = named(new QPushButton(u"E&xit"_s, this), u"CmdExit"_s);

    auto* listFoot = new QHBoxLayout;
    listFoot->addWidget(m_selectAll);
    listFoot->addWidget(deleteButton);
    listFoot->addStretch();
    listFoot->addWidget(new QLabel(u"To edit click on SMS Command."_s, this));
    auto* fields = new QGridLayout;
    auto* commandLabel = new QLabel(u"SMS &Command"_s, this);
    commandLabel->setBuddy(m_command);
    auto* replyLabel = new QLabel(u"Auto &Reply :"_s, this);
    replyLabel->setBuddy(m_reply);
    fields->addWidget(commandLabel, 0, 0);
    fields->addWidget(m_command, 0, 1);
    fields->addWidget(replyLabel, 1, 0, Qt::AlignTop);
    fields->addWidget(m_reply, 1, 1);
    fields->addWidget(m_reply->makeCounter(this), 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_switch);
    layout->addWidget(m_list, 1);
    layout->addLayout(listFoot);
    layout->addLayout(fields);
    layout->addWidget(m_id);
    layout->addLayout(buttonRow({saveButton, exitButton}));
    resize(560, 520);

    connect(m_switch, &QCheckBox::clicked, this, &AutoReplyCommandsDialog::switchClicked);
    connect(m_list, &CheckableList::rowClicked, this, &AutoReplyCommandsDialog::editRow);
    connect(m_selectAll, &QCheckBox::toggled, m_list, &CheckableList::setAllTicked);
    connect(deleteButton, &QPushButton::clicked, this, &AutoReplyCommandsDialog::deleteTicked);
    connect(saveButton, &QPushButton::clicked, this, &AutoReplyCommandsDialog::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    reopen();
}

void AutoReplyCommandsDialog::reopen()
{
    m_editing = false;
    m_command->clear();
    m_reply->clear();
    m_id->clear();
    {
        const QSignalBlocker block(m_selectAll);
        m_selectAll->setChecked(false);
    }
    m_list->clearRows();
    store::AutoReplyTable replies(m_db);
    auto on = replies.isSwitchedOn();
    if (!on)
        m_dialogs.error(this, u"The auto reply switch could not be read: "_s + on.error().message);
    else
        m_switch->setChecked(*on);
    auto rows = replies.all();
    if (!rows) {
        m_dialogs.error(this, u"The SMS commands could not be read: "_s + rows.error().message);
        return;
    }
    QFont bold = m_list->font();
    bold.setBold(true);
    for (const store::AutoReplyRow& row : *rows) {
        QTreeWidgetItem* item = m_list->addRow({row.command, row.reply, QString()}, row.id);
        item->setFont(CommandColumn, bold);
        item->setForeground(CommandColumn, Qt::blue);
    }
}

void AutoReplyCommandsDialog::switchClicked(bool checked)
{
    if (auto saved = store::AutoReplyTable(m_db).setSwitchedOn(checked); !saved) {
        m_dialogs.error(this, u"The auto reply switch could not be saved: "_s + saved.error().message);
        // The box shows what the receiver will do.
        m_switch->setChecked(!checked);
    }
}

void AutoReplyCommandsDialog::editRow(QTreeWidgetItem* item)
{
    m_editing = true;
    m_id->setText(QString::number(m_list->idOf(item)));
    m_command->setText(item->text(CommandColumn));
    m_reply->setStoredText(item->text(ReplyColumn));
}

void AutoReplyCommandsDialog::save()
{
    if (store::trimBlanks(m_command->text()).isEmpty()) {
        refuseField(m_dialogs, m_command, u"Please Enter SMS Command."_s);
        return;
    }
    const QString reply = m_reply->storedText();
    if (store::trimBlanks(reply).isEmpty()) {
        refuseField(m_dialogs, m_reply, u"Please Enter Auto Reply."_s);
        return;
    }
    // Both as typed: a blank after a command is part of what it matches.
    store::AutoReplyTable replies(m_db);
    std::expected<void, store::StoreError> saved;
    if (m_editing) {
        saved = replies.update(m_id->text().toLongLong(), m_command->text(), reply);
    } else if (auto added = replies.insert(m_command->text(), reply); !added) {
        saved = std::unexpected(added.error());
    }
    if (!saved) {
        m_dialogs.error(this, u"The SMS command could not be saved: "_s + saved.error().message);
        return;
    }
    reopen();
}

void AutoReplyCommandsDialog::deleteTicked()
{
    if (m_dialogs.question(this, u"Are you sure to delete the items?"_s) != Dialogs::Yes)
        return;
    if (auto removed = store::AutoReplyTable(m_db).remove(m_list->tickedIds()); !removed)
        m_dialogs.error(this, u"The SMS commands could not be deleted: "_s + removed.error().message);
    reopen();
}

} // namespace ui
