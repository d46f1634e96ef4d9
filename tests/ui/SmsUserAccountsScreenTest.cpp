#include "FakeDialogs.h"
#include "Gateway.h"
#include "ListClicks.h"
#include "MainWindow.h"
#include "ScreenFixture.h"
#include "SmsUserAccountsDialog.h"
#include "UserAccountTable.h"
#include "WebMailRequest.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;

namespace {

struct SmsUserAccountsScreenTest : testing_support::ScreenFixture<ui::SmsUserAccountsDialog>
{
    FakeClock clock;
    QTreeWidget* list() const { return get<QTreeWidget>(u"lvwSMSUsers"_s); }
    QTreeWidgetItem* row(const QString& userName) const { return testing_support::rowNamed(list(), userName); }
    void fill(const QString& user, const QString& password, const QString& fromName, const QString& balance) const
    {
        type(u"txtSMSUserName"_s, user);
        type(u"txtSMSPassword"_s, password);
        type(u"txtSMSFromName"_s, fromName);
        type(u"txtSMSBalanceCredits"_s, balance);
    }
    void add(const QString& user, const QString& password, const QString& fromName, const QString& balance) const
    {
        fill(user, password, fromName, balance);
        click(u"cmdSave"_s);
    }
    std::optional<store::UserAccountRow> account(const QString& userName) const
    {
        for (const auto& row : store::UserAccountTable(db).all().value_or(std::vector<store::UserAccountRow>{})) {
            if (row.userName == userName)
                return row;
        }
        return std::nullopt;
    }
    QString request(const QString& user, const QString& password)
    {
        const QString body = u"<smsusername>"_s + user + u"</smsusername><smspassword>"_s + password +
                             u"</smspassword><tomobilenumbers>+4915100001</tomobilenumbers><message>hi</message>"_s;
        return mail::ProcessWebMailToSMSEmail(db, clock, body, [](const QString&) {}).value_or(u"store error"_s);
    }
};

} // namespace

TEST_F(SmsUserAccountsScreenTest, OpensEmptyWithThePasswordMasked)
{
    EXPECT_EQ(screen->windowTitle(), u"Manage SMS Users Accounts"_s);
    QStringList headers;
    for (int column = 0; column < 4; ++column)
        headers << list()->headerItem()->text(column);
    EXPECT_EQ(headers,
              (QStringList{u"SMS User Name"_s, u"SMS Password"_s, u"SMS From Name"_s, u"SMS Balance Credits"_s}));
    EXPECT_TRUE(list()->isColumnHidden(4));
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_FALSE(get<QPushButton>(u"cmdDelete"_s)->isEnabled());
    EXPECT_FALSE(screen->isEditing());
    EXPECT_EQ(screen->focusWidget(), get(u"txtSMSUserName"_s));

    QLineEdit* password = get(u"txtSMSPassword"_s);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    get<QCheckBox>(u"chkShowPassword"_s)->click();
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    get<QCheckBox>(u"chkShowPassword"_s)->click();
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
}

TEST_F(SmsUserAccountsScreenTest, SaveRefusals)
{
    add(u"alice"_s, u"s3cret"_s, u"AliceCo"_s, u"5"_s);
    ASSERT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    const struct
    {
        const char* name;
        QString user, password, fromName, balance;
        QString message;
        QString focus;
    } cases[] = {
        {"no user name", u"  "_s, u"pw"_s, u"Bob"_s, u"1"_s, u"Please enter SMS UserName."_s, u"txtSMSUserName"_s},
        {"no password", u"bob"_s, u"   "_s, u"Bob"_s, u"1"_s, u"Please enter SMS Password."_s, u"txtSMSPassword"_s},
        {"no from name", u"bob"_s, u"pw"_s, QString(), u"1"_s, u"Please enter SMS From Name"_s, u"txtSMSFromName"_s},
        {"no balance", u"bob"_s, u"pw"_s, u"Bob"_s, QString(), u"Please enter SMS Balance Credits as a numeric value"_s,
         u"txtSMSBalanceCredits"_s},
        {"a balance in words", u"bob"_s, u"pw"_s, u"Bob"_s, u"ten"_s,
         u"Please enter SMS Balance Credits as a numeric value"_s, u"txtSMSBalanceCredits"_s},
        {"a balance beyond 32 bits", u"bob"_s, u"pw"_s, u"Bob"_s, u"3000000000"_s,
         u"SMS Balance Credits must lie between -2147483648 and 2147483647."_s, u"txtSMSBalanceCredits"_s},
        {"a name taken", u"alice"_s, u"other"_s, u"Bob"_s, u"1"_s, u"This SMS UserName already exists!"_s,
         u"txtSMSUserName"_s},
        {"taken, blanks around", u" alice "_s, u"other"_s, u"Bob"_s, u"1"_s, u"This SMS UserName already exists!"_s,
         u"txtSMSUserName"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        add(c.user, c.password, c.fromName, c.balance);
        EXPECT_EQ(dialogs.texts, QStringList{c.message});
        EXPECT_EQ(screen->focusWidget(), get(c.focus));
        // The fields stay for the operator to mend.
        EXPECT_EQ(get(u"txtSMSPassword"_s)->text(), c.password);
    }
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 1);

    // The store compares names exactly: another letter case is another user.
    dialogs.texts.clear();
    add(u"Alice"_s, u"pw"_s, u"Bob"_s, u"1"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 2);
}

TEST_F(SmsUserAccountsScreenTest, BalanceIsStoredAsAWholeNumber)
{
    const struct
    {
        QString typed;
        qint64 stored;
    } cases[] = {
        {u"12"_s, 12}, {u"12.4"_s, 12}, {u"12.6"_s, 13},       {u"2.5"_s, 2},
        {u"3.5"_s, 4}, {u"-3"_s, -3},   {u" $1,000 "_s, 1000}, {u"2147483647"_s, 2147483647},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const QString user = u"user%1"_s.arg(++n);
        add(user, u"pw"_s, u"From"_s, c.typed);
        EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
        ASSERT_TRUE(account(user));
        EXPECT_EQ(account(user)->balanceCredits, c.stored);
        EXPECT_EQ(row(user)->text(3), QString::number(c.stored));
    }
}

TEST_F(SmsUserAccountsScreenTest, AddAndEditAnAccount)
{
    add(u"  alice  "_s, u"  s3cret "_s, u" Alice & Co. "_s, u"5"_s);
    add(u"bob"_s, u"pw"_s, u"Bob"_s, u"1"_s);
    ASSERT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    const auto alice = account(u"alice"_s);
    ASSERT_TRUE(alice);
    EXPECT_EQ(alice->password, u"s3cret"_s);
    EXPECT_EQ(alice->fromName, u"Alice & Co."_s);
    EXPECT_EQ(alice->balanceCredits, 5);
    // Listed in the store's order; the password readable, the name bold and blue; the panel empty.
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    QTreeWidgetItem* item = list()->topLevelItem(0);
    EXPECT_EQ(item->text(0), u"alice"_s);
    EXPECT_EQ(item->text(1), u"s3cret"_s);
    EXPECT_EQ(item->text(2), u"Alice & Co."_s);
    EXPECT_EQ(item->text(3), u"5"_s);
    EXPECT_TRUE(item->font(0).bold());
    EXPECT_EQ(item->foreground(0).color(), QColor(Qt::blue));
    EXPECT_TRUE(get(u"txtSMSUserName"_s)->text().isEmpty());
    EXPECT_FALSE(screen->isEditing());
    EXPECT_EQ(screen->focusWidget(), get(u"txtSMSUserName"_s));

    // A click on the name edits the account, from the store.
    testing_support::clickCell(list(), item, 0);
    ASSERT_TRUE(screen->isEditing());
    EXPECT_EQ(get(u"txtUserId"_s)->text(), QString::number(alice->userId));
    EXPECT_EQ(get(u"txtSMSUserName"_s)->text(), u"alice"_s);
    EXPECT_EQ(get(u"txtSMSPassword"_s)->text(), u"s3cret"_s);
    EXPECT_EQ(get(u"txtSMSFromName"_s)->text(), u"Alice & Co."_s);
    EXPECT_EQ(get(u"txtSMSBalanceCredits"_s)->text(), u"5"_s);

    // Saved under its own name with new credits: the same row changes, the balance date stays.
    type(u"txtSMSBalanceCredits"_s, u"50"_s);
    click(u"cmdSave"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    const auto credited = store::UserAccountTable(db).row(alice->userId).value();
    ASSERT_TRUE(credited);
    EXPECT_EQ(credited->userName, u"alice"_s);
    EXPECT_EQ(credited->balanceCredits, 50);
    EXPECT_TRUE(credited->balanceUpdatedOn.isNull());
    EXPECT_FALSE(screen->isEditing());

    // Renamed to the other account's name: refused, nothing changes.
    testing_support::clickCell(list(), row(u"alice"_s), 0);
    type(u"txtSMSUserName"_s, u"bob"_s);
    click(u"cmdSave"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"This SMS UserName already exists!"_s});
    EXPECT_EQ(store::UserAccountTable(db).row(alice->userId).value()->userName, u"alice"_s);
    EXPECT_TRUE(screen->isEditing());

    // Renamed freely: the login changes with it.
    type(u"txtSMSUserName"_s, u"alicia"_s);
    click(u"cmdSave"_s);
    EXPECT_EQ(store::UserAccountTable(db).row(alice->userId).value()->userName, u"alicia"_s);
    EXPECT_EQ(request(u"alicia"_s, u"s3cret"_s), u"Success"_s);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 2);
}

TEST_F(SmsUserAccountsScreenTest, DeletedAccountsNoLongerSendByEmail)
{
    add(u"alice"_s, u"s3cret"_s, u"AliceCo"_s, u"5"_s);
    add(u"bob"_s, u"pw"_s, u"Bob"_s, u"5"_s);
    add(u"carol"_s, u"pw2"_s, u"Carol"_s, u"5"_s);
    ASSERT_EQ(request(u"alice"_s, u"s3cret"_s), u"Success"_s);
    auto* remove = get<QPushButton>(u"cmdDelete"_s);
    EXPECT_FALSE(remove->isEnabled());

    testing_support::clickTickBox(list(), row(u"alice"_s));
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_FALSE(screen->isEditing()); // a tick is no click on the row
    dialogs.answerNext(FakeDialogs::No);
    click(u"cmdDelete"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"Are you sure to delete these data?"_s});
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 3);

    click(u"cmdDelete"_s); // Yes
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 2);
    EXPECT_EQ(row(u"alice"_s), nullptr);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(request(u"alice"_s, u"s3cret"_s),
              u"**WARNING** SMS user authentication failed for SMSUserName 'alice'"_s);
    EXPECT_EQ(request(u"bob"_s, u"pw"_s), u"Success"_s);

    // Select All ticks every row and enables the button; clearing it does the reverse.
    auto* all = get<QCheckBox>(u"chkSelectAll"_s);
    all->click();
    EXPECT_TRUE(remove->isEnabled());
    all->click();
    EXPECT_FALSE(remove->isEnabled());
    all->click();
    click(u"cmdDelete"_s);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 0);
    EXPECT_EQ(request(u"bob"_s, u"pw"_s), u"**WARNING** SMS user authentication failed for SMSUserName 'bob'"_s);
}

TEST_F(SmsUserAccountsScreenTest, StoreErrorsAreShownAndTheScreenGoesOn)
{
    add(u"alice"_s, u"s3cret"_s, u"AliceCo"_s, u"5"_s);
    ASSERT_TRUE(db.exec(u"CREATE TRIGGER refuse BEFORE INSERT ON SMS_UserAccounts "
                        u"BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    add(u"bob"_s, u"pw"_s, u"Bob"_s, u"1"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"disk full"_s});
    EXPECT_EQ(get(u"txtSMSUserName"_s)->text(), u"bob"_s); // nothing typed is lost
    ASSERT_TRUE(db.exec(u"DROP TRIGGER refuse"_s));
    click(u"cmdSave"_s);
    EXPECT_TRUE(account(u"bob"_s));

    // An account deleted elsewhere while it is being edited is not brought back.
    dialogs.texts.clear();
    testing_support::clickCell(list(), row(u"alice"_s), 0);
    ASSERT_TRUE(db.exec(u"DELETE FROM SMS_UserAccounts WHERE SMSUserName='alice'"_s));
    type(u"txtSMSBalanceCredits"_s, u"99"_s);
    click(u"cmdSave"_s);
    ASSERT_EQ(dialogs.texts.size(), 1);
    EXPECT_TRUE(dialogs.lastText().contains(u"no longer exists"_s)) << dialogs.lastText().toStdString();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_UserAccounts"_s), 1);
}

TEST_F(SmsUserAccountsScreenTest, OpensModallyFromTheMenu)
{
    click(u"cmdExit"_s);
    EXPECT_EQ(screen->result(), QDialog::Rejected);
    engine::Gateway gateway(folder.storePath(), clock);
    ui::MainWindow window(db, &gateway, dialogs, clock, false);
    QAction* entry = window.findChild<QAction*>(u"mnuSMSUserAccounts"_s);
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isEnabled());
    bool modal = false;
    dialogs.onDialog[u"frm_ManageSMSUsers"_s] = [&](QDialog& opened) {
        modal = true;
        opened.reject();
    };
    entry->trigger();
    EXPECT_TRUE(modal);
    EXPECT_EQ(dialogs.opened, QStringList{u"frm_ManageSMSUsers"_s});
}
