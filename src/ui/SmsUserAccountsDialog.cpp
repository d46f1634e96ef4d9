#include "SmsUserAccountsDialog.h"

#include "CheckableList.h"
#include "Dialogs.h"
#include "FieldChecks.h"
#include "ScreenParts.h"
#include "TextRules.h"
#include "UserAccountTable.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

enum Column
{
    UserNameColumn,
    PasswordColumn,
    FromNameColumn,
    BalanceColumn,
    IdColumn
};

// A balance as a 32-bit whole number: a fraction is rounded to the nearest, a half to the even one.
std::optional<qint64> wholeCredits(const QString& typed)
{
    const double rounded = std::nearbyint(numericValue(typed));
    if (rounded < double(std::numeric_limits<qint32>::min()) || rounded > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint64(rounded);
}

} // namespace

SmsUserAccountsDialog::SmsUserAccountsDialog(const store::Database& db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs)
{
    setObjectName(u"frm_ManageSMSUsers"_s);
    setWindowTitle(u"Manage SMS Users Accounts"_s);

    m_list = named(new CheckableList(
                       {u"SMS User Name"_s, u"SMS Password"_s, u"SMS From Name"_s, u"SMS Balance Credits"_s, QString()},
                       IdColumn, this),
                   u"lvwSMSUsers"_s);
    // Four columns of a quarter each.
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_selectAll = named(new QCheckBox(u"Select All"_s, this), u"chkSelectAll"_s);
    m_delete = named(new QPushButton(u"&Delete Selected"_s, this), u"cmdDelete"_s);

    m_userName = named(new QLineEdit(this), u"txtSMSUserName"_s);
    m_password = named(new QLineEdit(this), u"txtSMSPassword"_s);
    m_password->setEchoMode(QLineEdit::Password);
    auto* showPassword = named(new QCheckBox(u"Sho&w"_s, this), u"chkShowPassword"_s);
    m_fromName = named(new QLineEdit(this), u"txtSMSFromName"_s);
    m_balance = named(new QLineEdit(this), u"txtSMSBalanceCredits"_s);
    m_id = named(new QLineEdit(this), u"txtUserId"_s);
    m_id->setVisible(false);
    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"cmdSave"_s);
    auto* exitButton = named(new QPushButton(u"&Exit"_s, this), u"cmdExit"_s);

    auto* listHead = new QHBoxLayout;
    listHead->addWidget(new QLabel(u"To edit click on User Name."_s, this));
    listHead->addStretch();
    listHead->addWidget(m_selectAll);
    listHead->addWidget(m_delete);

    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_password);
    passwordRow->addWidget(showPassword);
    auto* note = new QLabel(u"(SMS From Name is used while sending SMS on behalf of this user account through an "
                            u"external SMTP SMS Gateway)"_s,
                            this);
    note->setWordWrap(true);
    auto* panel = new QGroupBox(this);
    auto* fields = new QFormLayout(panel);
    fields->addRow(u"SMS User Name :"_s, m_userName);
    fields->addRow(u"SMS Password :"_s, passwordRow);
    fields->addRow(u"SMS From Name :"_s, m_fromName);
    fields->addRow(QString(), note);
    fields->addRow(u"SMS Balance Credits :"_s, m_balance);
    fields->addRow(m_id);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(listHead);
    layout->addWidget(m_list, 1);
    layout->addWidget(panel);
    layout->addLayout(buttonRow({saveButton, exitButton}));
    resize(640, 560);

    connect(showPassword, &QCheckBox::toggled, this,
            [this](bool shown) { m_password->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password); });
    connect(m_list, &CheckableList::rowClicked, this, &SmsUserAccountsDialog::editRow);
    connect(m_list, &CheckableList::tickedChanged, m_delete, &QWidget::setEnabled);
    connect(m_selectAll, &QCheckBox::toggled, m_list, &CheckableList::setAllTicked);
    connect(m_delete, &QPushButton::clicked, this, &SmsUserAccountsDialog::deleteTicked);
    connect(saveButton, &QPushButton::clicked, this, &SmsUserAccountsDialog::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    fillList();
    newAccount();
}

void SmsUserAccountsDialog::fillList()
{
    {
        const QSignalBlocker block(m_selectAll);
        m_selectAll->setChecked(false);
    }
    m_delete->setEnabled(false);
    m_list->clearRows();
    auto accounts = store::UserAccountTable(m_db).all();
    if (!accounts) {
        m_dialogs.error(this, accounts.error().message);
        return;
    }
    QFont bold = m_list->font();
    bold.setBold(true);
    for (const store::UserAccountRow& account : *accounts) {
        const QString balance = account.balanceCredits ? QString::number(*account.balanceCredits) : QString();
        QTreeWidgetItem* item =
            m_list->addRow({account.userName, account.password, account.fromName, balance, QString()}, account.userId);
        item->setFont(UserNameColumn, bold);
        item->setForeground(UserNameColumn, Qt::blue);
    }
}

void SmsUserAccountsDialog::newAccount()
{
    m_editing = false;
    m_userName->clear();
    m_password->clear();
    m_fromName->clear();
    m_balance->clear();
    m_id->clear();
    m_userName->setFocus();
}

void SmsUserAccountsDialog::editRow(QTreeWidgetItem* item)
{
    const qint64 id = m_list->idOf(item);
    auto account = store::UserAccountTable(m_db).row(id);
    if (!account) {
        m_dialogs.error(this, account.error().message);
        return;
    }
    if (!*account) {
        m_dialogs.error(this, u"The SMS user account %1 no longer exists."_s.arg(id));
        fillList();
        return;
    }
    m_editing = true;
    m_id->setText(QString::number(id));
    m_userName->setText((*account)->userName);
    m_password->setText((*account)->password);
    m_fromName->setText((*account)->fromName);
    m_balance->setText((*account)->balanceCredits ? QString::number(*(*account)->balanceCredits) : QString());
}

void SmsUserAccountsDialog::save()
{
    const QString userName = store::trimBlanks(m_userName->text());
    const QString password = store::trimBlanks(m_password->text());
    const QString fromName = store::trimBlanks(m_fromName->text());
    if (userName.isEmpty()) {
        refuseField(m_dialogs, m_userName, u"Please enter SMS UserName."_s);
        return;
    }
    if (password.isEmpty()) {
        refuseField(m_dialogs, m_password, u"Please enter SMS Password."_s);
        return;
    }
    if (fromName.isEmpty()) {
        refuseField(m_dialogs, m_fromName, u"Please enter SMS From Name"_s);
        return;
    }
    if (!isNumeric(m_balance->text())) {
        refuseField(m_dialogs, m_balance, u"Please enter SMS Balance Credits as a numeric value"_s);
        return;
    }
    const std::optional<qint64> balance = wholeCredits(m_balance->text());
    if (!balance) {
        refuseField(m_dialogs, m_balance, u"SMS Balance Credits must lie between -2147483648 and 2147483647."_s);
        return;
    }

    store::UserAccountTable accounts(m_db);
    const std::optional<qint64> editedId = m_editing ? std::optional(m_id->text().toLongLong()) : std::nullopt;
    auto taken = accounts.nameTaken(userName, editedId);
    if (!taken) {
        m_dialogs.error(this, taken.error().message);
        return;
    }
    if (*taken) {
        refuseField(m_dialogs, m_userName, u"This SMS UserName already exists!"_s);
        return;
    }
    std::expected<void, store::StoreError> saved;
    if (editedId) {
        saved = accounts.update(*editedId, userName, password, fromName, *balance);
    } else if (auto added = accounts.insert(userName, password, fromName, *balance); !added) {
        saved = std::unexpected(added.error());
    }
    if (!saved) {
        m_dialogs.error(this, saved.error().message);
        return;
    }
    fillList();
    newAccount();
}

void SmsUserAccountsDialog::deleteTicked()
{
    if (m_dialogs.question(this, u"Are you sure to delete these data?"_s) != Dialogs::Yes)
        return;
    if (auto removed = store::UserAccountTable(m_db).remove(m_list->tickedIds()); !removed) {
        m_dialogs.error(this, removed.error().message);
        return;
    }
    fillList();
}

} // namespace ui
