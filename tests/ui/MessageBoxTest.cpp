#include "FakeDialogs.h"
#include "MessageBoxWindow.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "Store.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;

namespace {

struct MessageBoxTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db;
    std::unique_ptr<engine::Gateway> gateway;
    std::unique_ptr<ui::MessageBoxWindow> box;

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock);
    }

    void TearDown() override
    {
        if (box)
            box->setAttribute(Qt::WA_DeleteOnClose, false);
        box.reset();
    }

    void inbox(int rows, const QString& numberPattern = u"+49151%1"_s)
    {
        store::Transaction transaction(db);
        for (int i = 1; i <= rows; ++i)
            ASSERT_TRUE(store::InboxTable(db).insert(numberPattern.arg(i, 8, 10, QChar(u'0')), u"message %1"_s.arg(i),
                                                     clock.now().addSecs(i)));
        ASSERT_TRUE(transaction.commit());
    }

    void open(const QString& msgType)
    {
        box = std::make_unique<ui::MessageBoxWindow>(db, gateway.get(), dialogs, clock, 100);
        box->setAttribute(Qt::WA_DeleteOnClose, false);
        box->open(msgType);
    }

    QTreeWidget* list() const { return box->findChild<QTreeWidget*>(u"ListMessage"_s); }
    QTreeWidget* tree() const { return box->findChild<QTreeWidget*>(u"TreeView1"_s); }
    QString caption() const { return box->findChild<QLabel*>(u"lblPages"_s)->text(); }
    QPushButton* button(const QString& name) const { return box->findChild<QPushButton*>(name); }
    QAction* action(const QString& name) const { return box->findChild<QAction*>(name); }
    QLineEdit* edit(const QString& name) const { return box->findChild<QLineEdit*>(name); }
    QString treeText(int child) const { return tree()->topLevelItem(0)->child(child)->text(0); }

    void search(const QString& text)
    {
        edit(u"txtMobNo"_s)->setText(text);
        button(u"cmdShow"_s)->click();
    }

    void clickRow(int row)
    {
        QTreeWidgetItem* item = list()->topLevelItem(row);
        list()->setCurrentItem(item);
        item->setSelected(true);
        Q_EMIT list()->itemClicked(item, 0);
    }

    // Runs `action`, answering the modal dialog it may open; returns whether one opened.
    bool opensDialog(const std::function<void()>& action, const std::function<void(QDialog*)>& answer = {})
    {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = true;
                if (answer)
                    answer(dialog);
                dialog->reject();
            }
        });
        action();
        QCoreApplication::processEvents();
        return opened;
    }
};

} // namespace

TEST_F(MessageBoxTest, OpeningFromTheMenuShowsTheTreeButNoList)
{
    inbox(2);
    open(QString());
    EXPECT_EQ(box->folder(), ui::MessageBoxWindow::Folder::None);
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0), u"Message"_s);
    EXPECT_EQ(treeText(0), u"Inbox(2)"_s);
    EXPECT_TRUE(tree()->topLevelItem(0)->child(0)->font(0).bold());
    EXPECT_EQ(treeText(1), u"Outbox"_s);
    EXPECT_EQ(treeText(2), u"Sent Items"_s);
    EXPECT_FALSE(action(u"tbrReply"_s)->isEnabled());
    EXPECT_FALSE(action(u"tbrAutoReply"_s)->isEnabled());
}

TEST_F(MessageBoxTest, PagingCaptionsAndTheLastPage)
{
    inbox(250);
    open(u"I"_s);
    EXPECT_EQ(caption(), u"of 3 Pages. Total records: 250"_s);
    EXPECT_EQ(list()->topLevelItemCount(), 100);
    EXPECT_TRUE(list()->topLevelItem(0)->font(0).bold());
    EXPECT_FALSE(button(u"cmdPrevious"_s)->isEnabled());
    button(u"cmdNext"_s)->click();
    button(u"cmdNext"_s)->click();
    EXPECT_EQ(box->currentPage(), 3);
    // Rows 201 to 250 of the listing: newest first, so the oldest fifty.
    ASSERT_EQ(list()->topLevelItemCount(), 50);
    EXPECT_EQ(list()->topLevelItem(0)->text(2), u"message 50"_s);
    EXPECT_EQ(list()->topLevelItem(49)->text(2), u"message 1"_s);
    EXPECT_FALSE(button(u"cmdNext"_s)->isEnabled());
    EXPECT_TRUE(button(u"cmdPrevious"_s)->isEnabled());
}

TEST_F(MessageBoxTest, TwoFullPagesHaveNoPagesWord)
{
    inbox(200);
    open(u"I"_s);
    EXPECT_EQ(caption(), u"of 2 Total records: 200"_s);
    button(u"cmdNext"_s)->click();
    EXPECT_EQ(list()->topLevelItemCount(), 100);
    EXPECT_FALSE(button(u"cmdNext"_s)->isEnabled());
}

TEST_F(MessageBoxTest, SearchByTheLastTenDigitsOrAnyPart)
{
    for (const QString& number : {u"+4915112345678"_s, u"004915112345678"_s, u"15112345678"_s, u"+447700900123"_s})
        ASSERT_TRUE(store::InboxTable(db).insert(number, u"x"_s, clock.now()));
    open(u"I"_s);
    search(u"5112345678"_s);
    EXPECT_EQ(list()->topLevelItemCount(), 3);
    search(u"0090"_s);
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(list()->topLevelItem(0)->text(0), u"+447700900123"_s);
}

TEST_F(MessageBoxTest, PageBoxRefusals)
{
    inbox(150);
    open(u"I"_s);
    QLineEdit* pageBox = edit(u"txtPages"_s);
    // A decimal point, a sign or a letter typed after the page number.
    for (const QString& typed : {u"."_s, u"-"_s, u"x"_s, u"+"_s, u"$"_s}) {
        pageBox->setText(u"1"_s);
        pageBox->end(false);
        QTest::keyClicks(pageBox, typed);
        EXPECT_EQ(dialogs.lastText(), u"Please enter numeric value."_s) << typed.toStdString();
        EXPECT_EQ(pageBox->text(), u"1"_s);
        dialogs.texts.clear();
    }
    pageBox->setText(u"9"_s);
    QTest::keyClick(pageBox, Qt::Key_Return);
    EXPECT_EQ(dialogs.lastText(), u"This page does not exist."_s);
    EXPECT_EQ(pageBox->text(), u"1"_s);
    pageBox->setText(u"2"_s);
    QTest::keyClick(pageBox, Qt::Key_Return);
    EXPECT_EQ(box->currentPage(), 2);
    EXPECT_EQ(list()->topLevelItemCount(), 50);
}

TEST_F(MessageBoxTest, SearchOnPageThreeWithAOnePageResult)
{
    inbox(250);
    open(u"I"_s);
    button(u"cmdNext"_s)->click();
    button(u"cmdNext"_s)->click();
    search(u"00000007"_s);
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_TRUE(button(u"cmdPrevious"_s)->isEnabled());
    EXPECT_FALSE(button(u"cmdNext"_s)->isEnabled());
    button(u"cmdPrevious"_s)->click();
    button(u"cmdPrevious"_s)->click();
    EXPECT_EQ(list()->topLevelItemCount(), 1);
}

TEST_F(MessageBoxTest, UnreadFilterAtOpeningAndAllSms)
{
    inbox(5);
    ASSERT_TRUE(db.exec(u"UPDATE Message_InBox SET IsRead=-1 WHERE InBox_Id<=2"_s));
    open(u"I"_s);
    EXPECT_TRUE(box->findChild<QRadioButton*>(u"optUnread"_s)->isChecked());
    EXPECT_EQ(list()->topLevelItemCount(), 3);
    box->findChild<QRadioButton*>(u"optAllSMS"_s)->click();
    EXPECT_EQ(list()->topLevelItemCount(), 5);
}

TEST_F(MessageBoxTest, ClickingAnUnreadRowReadsIt)
{
    inbox(3);
    open(u"I"_s);
    box->findChild<QRadioButton*>(u"optAllSMS"_s)->click();
    clickRow(0);
    EXPECT_FALSE(list()->topLevelItem(0)->font(0).bold());
    EXPECT_EQ(treeText(0), u"Inbox(2)"_s);
    EXPECT_EQ(box->findChild<QPlainTextEdit*>(u"txtMessage"_s)->toPlainText(), u"message 3"_s);
    EXPECT_EQ(box->findChild<QLabel*>(u"LblNo"_s)->text(), u"Mobile Number :+4915100000003"_s);
    EXPECT_TRUE(action(u"tbrReply"_s)->isEnabled());
    EXPECT_EQ(store::InboxTable(db).countUnread().value_or(-1), 2);
}

TEST_F(MessageBoxTest, ReplyAndForwardDoNothingOnTheOutbox)
{
    ASSERT_TRUE(store::OutboxTable(db).insert(u"4915112345678"_s, u"pending"_s, clock.now()));
    open(u"O"_s);
    clickRow(0);
    EXPECT_FALSE(opensDialog([&] { action(u"tbrReply"_s)->trigger(); }));
    EXPECT_FALSE(opensDialog([&] { action(u"tbrForward"_s)->trigger(); }));
}

TEST_F(MessageBoxTest, ReplyPutsTheNumberIntoCompose)
{
    inbox(1);
    open(u"I"_s);
    clickRow(0);
    QString numbers;
    EXPECT_TRUE(
        opensDialog([&] { action(u"tbrReply"_s)->trigger(); },
                    [&](QDialog* dialog) { numbers = dialog->findChild<QLineEdit*>(u"MobileNumbers"_s)->text(); }));
    EXPECT_EQ(numbers, u"+4915100000001"_s);
}

TEST_F(MessageBoxTest, DeletingThreeSelectedRows)
{
    inbox(5);
    open(u"I"_s);
    const QString before = caption();
    for (int row : {0, 2, 4})
        list()->topLevelItem(row)->setSelected(true);
    dialogs.answerNext(ui::Dialogs::Yes);
    box->DeleteSMS();
    EXPECT_EQ(dialogs.texts.first(), u"Are you sure to delete the message(s)?"_s);
    EXPECT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_EQ(caption(), before);
    EXPECT_EQ(treeText(0), u"Inbox(2)"_s);
    EXPECT_EQ(store::InboxTable(db).countUnread().value_or(-1), 2);

    dialogs.texts.clear();
    list()->clearSelection();
    dialogs.answerNext(ui::Dialogs::Yes);
    box->DeleteSMS();
    EXPECT_EQ(dialogs.lastText(), u"Please select message which you want to delete."_s);

    list()->topLevelItem(0)->setSelected(true);
    dialogs.answerNext(ui::Dialogs::No);
    box->DeleteSMS();
    EXPECT_EQ(list()->topLevelItemCount(), 2);
}

TEST_F(MessageBoxTest, FoldersAndSortingByColumn)
{
    store::OutboxTable outbox(db);
    const qint64 a = outbox.insert(u"222"_s, u"b text"_s, clock.now()).value();
    outbox.insert(u"111"_s, u"a text"_s, clock.now().addSecs(5)).value();
    ASSERT_TRUE(outbox.bookSent(a, clock.now()));
    open(u"O"_s);
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(list()->headerItem()->text(5), u"Status"_s);
    EXPECT_FALSE(box->findChild<QRadioButton*>(u"optAllSMS"_s)->isEnabled());
    Q_EMIT tree()->itemClicked(tree()->topLevelItem(0)->child(2), 0);
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(list()->headerItem()->text(3), u"Delivered On"_s);
    EXPECT_EQ(list()->topLevelItem(0)->text(0), u"222"_s);

    inbox(3);
    Q_EMIT tree()->itemClicked(tree()->topLevelItem(0)->child(0), 0);
    Q_EMIT list()->header()->sectionClicked(2);
    EXPECT_EQ(list()->topLevelItem(0)->text(2), u"message 1"_s);
    Q_EMIT list()->header()->sectionClicked(1); // names nobody stores: by number, and no failure
    EXPECT_EQ(list()->topLevelItemCount(), 3);
}

TEST_F(MessageBoxTest, StoredMessageAppearsInBoldOnTheInbox)
{
    open(u"I"_s);
    Q_EMIT gateway->messageStored(7, u"+4915112345678"_s, u"new\r\nmessage"_s, clock.now());
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(list()->topLevelItem(0)->text(2), u"new message"_s);
    EXPECT_TRUE(list()->topLevelItem(0)->font(0).bold());
}
