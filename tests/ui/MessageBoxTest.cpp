#include "FakeDialogs.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "MessageBoxWindow.h"
#include "OutboxTable.h"
#include "Store.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Folder = ui::MessageBoxWindow::Folder;
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

    void create()
    {
        box = std::make_unique<ui::MessageBoxWindow>(db, gateway.get(), dialogs, clock, 100);
        box->setAttribute(Qt::WA_DeleteOnClose, false);
    }

    void open(const QString& msgType)
    {
        create();
        box->open(msgType);
    }

    void showFolder(Folder folder)
    {
        const int child = folder == Folder::Inbox ? 0 : folder == Folder::Outbox ? 1 : 2;
        Q_EMIT tree()->itemClicked(tree()->topLevelItem(0)->child(child), 0);
    }

    QStringList headers() const
    {
        QStringList texts;
        for (int column = 0; column < list()->columnCount(); ++column)
            texts << list()->headerItem()->text(column);
        return texts;
    }

    QStringList column(int index) const
    {
        QStringList texts;
        for (int row = 0; row < list()->topLevelItemCount(); ++row)
            texts << list()->topLevelItem(row)->text(index);
        return texts;
    }

    QList<qint64> rowIds() const
    {
        QList<qint64> ids;
        for (int row = 0; row < list()->topLevelItemCount(); ++row)
            ids << list()->topLevelItem(row)->data(0, Qt::UserRole).toLongLong();
        return ids;
    }

    QTreeWidget* list() const { return box->findChild<QTreeWidget*>(u"ListMessage"_s); }
    QTreeWidget* tree() const { return box->findChild<QTreeWidget*>(u"TreeView1"_s); }
    QString caption() const { return box->findChild<QLabel*>(u"lblPages"_s)->text(); }
    QPushButton* button(const QString& name) const { return box->findChild<QPushButton*>(name); }
    QAction* action(const QString& name) const { return box->findChild<QAction*>(name); }
    QLineEdit* edit(const QString& name) const { return box->findChild<QLineEdit*>(name); }
    QString treeText(int child) const { return tree()->topLevelItem(0)->child(child)->text(0); }
    qint64 count(const QString& sql) const { return db.prepare(sql).scalar().value_or(-1); }

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

    // Runs `action`; returns the sub-dialogs it opened, each answered by `answer` if given.
    QStringList dialogsOpenedBy(const std::function<void()>& action, const std::function<void(QDialog&)>& answer = {})
    {
        dialogs.opened.clear();
        if (answer)
            dialogs.onDialog[u"frm_ComposeSMS"_s] = answer;
        action();
        dialogs.onDialog.clear();
        return dialogs.opened;
    }
};

} // namespace

TEST_F(MessageBoxTest, OpeningFromTheMenuShowsTheInboxWithItsHeaders)
{
    inbox(2);
    create();
    // Before any listing the list already has real headers and no page to go to.
    EXPECT_EQ(headers(), (QStringList{u"Mobile Number"_s, u"Sender's Name"_s, u"Message"_s, u"Received On"_s}));
    EXPECT_FALSE(button(u"cmdPrevious"_s)->isEnabled());
    EXPECT_FALSE(button(u"cmdNext"_s)->isEnabled());

    box->open(QString());
    EXPECT_EQ(box->folder(), Folder::Inbox);
    EXPECT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_EQ(headers(), (QStringList{u"Mobile Number"_s, u"Sender's Name"_s, u"Message"_s, u"Received On"_s}));
    EXPECT_EQ(tree()->currentItem(), tree()->topLevelItem(0)->child(0));
    EXPECT_FALSE(button(u"cmdPrevious"_s)->isEnabled());
    EXPECT_FALSE(button(u"cmdNext"_s)->isEnabled());
    EXPECT_EQ(tree()->topLevelItem(0)->text(0), u"Message"_s);
    EXPECT_EQ(treeText(0), u"Inbox(2)"_s);
    EXPECT_TRUE(tree()->topLevelItem(0)->child(0)->font(0).bold());
    EXPECT_EQ(treeText(1), u"Outbox"_s);
    EXPECT_EQ(treeText(2), u"Sent Items"_s);
    EXPECT_FALSE(action(u"tbrReply"_s)->isEnabled());
    EXPECT_TRUE(action(u"tbrAutoReply"_s)->isEnabled());
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
    EXPECT_TRUE(dialogsOpenedBy([&] { action(u"tbrReply"_s)->trigger(); }).isEmpty());
    EXPECT_TRUE(dialogsOpenedBy([&] { action(u"tbrForward"_s)->trigger(); }).isEmpty());
    EXPECT_EQ(dialogsOpenedBy([&] { action(u"tbrCompose"_s)->trigger(); }), QStringList{u"frm_ComposeSMS"_s});
}

TEST_F(MessageBoxTest, ReplyAndForwardFillCompose)
{
    ASSERT_TRUE(store::InboxTable(db).insert(u" +4915112345678 "_s, u"two\r\nlines"_s, clock.now()));
    open(u"I"_s);
    clickRow(0);
    QString numbers;
    QString text;
    const auto read = [&](QDialog& compose) {
        numbers = compose.findChild<QLineEdit*>(u"MobileNumbers"_s)->text();
        text = compose.findChild<QPlainTextEdit*>(u"Message"_s)->toPlainText();
    };
    EXPECT_EQ(dialogsOpenedBy([&] { action(u"tbrReply"_s)->trigger(); }, read), QStringList{u"frm_ComposeSMS"_s});
    EXPECT_EQ(numbers, u"+4915112345678"_s);
    EXPECT_TRUE(text.isEmpty());

    EXPECT_EQ(dialogsOpenedBy([&] { action(u"tbrForward"_s)->trigger(); }, read), QStringList{u"frm_ComposeSMS"_s});
    EXPECT_TRUE(numbers.isEmpty());
    EXPECT_EQ(text, u"two\nlines"_s);
}

TEST_F(MessageBoxTest, ComposeAnsweredWithSendQueuesAndRecountsTheOutbox)
{
    open(u"O"_s);
    dialogs.onDialog[u"frm_ComposeSMS"_s] = [](QDialog& compose) {
        compose.findChild<QLineEdit*>(u"MobileNumbers"_s)->setText(u"0171 1234567, 0171 7654321"_s);
        compose.findChild<QPlainTextEdit*>(u"Message"_s)->setPlainText(u"Hello"_s);
        compose.findChild<QPushButton*>(u"Command1"_s)->click();
    };
    action(u"tbrCompose"_s)->trigger();
    EXPECT_EQ(treeText(1), u"Outbox(2)"_s);
    EXPECT_EQ(column(0), (QStringList{u"01711234567"_s, u"01717654321"_s}));
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
    EXPECT_EQ(list()->headerItem()->text(4), u"Status"_s);
    EXPECT_FALSE(box->findChild<QRadioButton*>(u"optAllSMS"_s)->isEnabled());
    Q_EMIT tree()->itemClicked(tree()->topLevelItem(0)->child(2), 0);
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(list()->headerItem()->text(3), u"Delivered On"_s);
    EXPECT_EQ(rowIds(), QList<qint64>{a});
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

TEST_F(MessageBoxTest, EachFolderSortsByTheColumnClicked)
{
    const QDateTime t = clock.now();
    store::InboxTable received(db);
    ASSERT_TRUE(received.insert(u"+4902"_s, u"c"_s, t.addSecs(3)));
    ASSERT_TRUE(received.insert(u"+4903"_s, u"b"_s, t.addSecs(1)));
    ASSERT_TRUE(received.insert(u"+4901"_s, u"a"_s, t.addSecs(2)));
    store::OutboxTable outbox(db);
    ASSERT_TRUE(outbox.insert(u"333"_s, u"a"_s, t.addSecs(2)));
    ASSERT_TRUE(outbox.insert(u"111"_s, u"c"_s, t.addSecs(3)));
    ASSERT_TRUE(outbox.insert(u"222"_s, u"b"_s, t.addSecs(1)));
    for (const auto& [number, text, delivered] :
         {std::tuple{u"666"_s, u"e"_s, 6}, std::tuple{u"444"_s, u"f"_s, 5}, std::tuple{u"555"_s, u"d"_s, 4}}) {
        const qint64 id = outbox.insert(number, text, t).value();
        ASSERT_TRUE(outbox.bookSent(id, t.addSecs(delivered)));
    }

    // column -1: as the folder first shows; the name columns sort by the number (nobody stores
    // names); Status keeps the order it had; sent items by delivery are newest first.
    const struct
    {
        Folder folder;
        int column;
        QString key;
        QStringList numbers;
    } cases[] = {
        {Folder::Inbox, -1, u"InboxDateTime desc"_s, {u"+4902"_s, u"+4901"_s, u"+4903"_s}},
        {Folder::Inbox, 0, u"SenderMobileNo"_s, {u"+4901"_s, u"+4902"_s, u"+4903"_s}},
        {Folder::Inbox, 1, u"SenderMobileNo"_s, {u"+4901"_s, u"+4902"_s, u"+4903"_s}},
        {Folder::Inbox, 2, u"Message"_s, {u"+4901"_s, u"+4903"_s, u"+4902"_s}},
        {Folder::Inbox, 3, u"InboxDateTime"_s, {u"+4903"_s, u"+4901"_s, u"+4902"_s}},
        {Folder::Inbox, 7, u"InboxDateTime desc"_s, {u"+4902"_s, u"+4901"_s, u"+4903"_s}},
        {Folder::Outbox, -1, u"OutBoxDateTime"_s, {u"222"_s, u"333"_s, u"111"_s}},
        {Folder::Outbox, 0, u"RecipientMobileNo"_s, {u"111"_s, u"222"_s, u"333"_s}},
        {Folder::Outbox, 1, u"RecipientMobileNo"_s, {u"111"_s, u"222"_s, u"333"_s}},
        {Folder::Outbox, 2, u"Message"_s, {u"333"_s, u"222"_s, u"111"_s}},
        {Folder::Outbox, 3, u"OutBoxDateTime"_s, {u"222"_s, u"333"_s, u"111"_s}},
        {Folder::Outbox, 4, u"OutBoxDateTime"_s, {u"222"_s, u"333"_s, u"111"_s}},
        {Folder::Sent, -1, u"DeliveryDatetime"_s, {u"666"_s, u"444"_s, u"555"_s}},
        {Folder::Sent, 0, u"RecipientMobileNo"_s, {u"444"_s, u"555"_s, u"666"_s}},
        {Folder::Sent, 1, u"RecipientMobileNo"_s, {u"444"_s, u"555"_s, u"666"_s}},
        {Folder::Sent, 2, u"Message"_s, {u"555"_s, u"666"_s, u"444"_s}},
        {Folder::Sent, 3, u"DeliveryDatetime"_s, {u"666"_s, u"444"_s, u"555"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("folder " + std::to_string(int(c.folder)) + ", column " + std::to_string(c.column));
        open(QString());
        showFolder(c.folder);
        if (c.column >= 0)
            Q_EMIT list()->header()->sectionClicked(c.column);
        EXPECT_EQ(box->folder(), c.folder);
        EXPECT_EQ(box->sortKey(c.folder), c.key);
        EXPECT_EQ(column(0), c.numbers);
        EXPECT_EQ(box->currentPage(), 1);
    }
}

TEST_F(MessageBoxTest, EachFolderHasItsColumnsAndRowsCarryTheirStoreId)
{
    const qint64 in = store::InboxTable(db).insert(u"+491"_s, u"in"_s, clock.now()).value();
    store::OutboxTable outbox(db);
    const qint64 pending = outbox.insert(u"+492"_s, u"pending"_s, clock.now()).value();
    ASSERT_TRUE(outbox.markFaultyNumber(pending));
    const qint64 sent = outbox.insert(u"+493"_s, u"sent"_s, clock.now()).value();
    ASSERT_TRUE(outbox.bookSent(sent, clock.now().addSecs(60)));

    const struct
    {
        Folder folder;
        QStringList headers;
        QStringList row;
        qint64 id;
    } cases[] = {
        {Folder::Inbox,
         {u"Mobile Number"_s, u"Sender's Name"_s, u"Message"_s, u"Received On"_s},
         {u"+491"_s, u""_s, u"in"_s, u"2026-03-14 09:26:53"_s},
         in},
        {Folder::Outbox,
         {u"Mobile Number"_s, u"Recipient Name"_s, u"Message"_s, u"Outbox Date"_s, u"Status"_s},
         {u"+492"_s, u""_s, u"pending"_s, u"2026-03-14 09:26:53"_s, u"FAULTY NUMBER"_s},
         pending},
        {Folder::Sent,
         {u"Mobile Number"_s, u"Recipient Name"_s, u"Message"_s, u"Delivered On"_s},
         {u"+493"_s, u""_s, u"sent"_s, u"2026-03-14 09:27:53"_s},
         sent},
    };
    open(QString());
    for (const auto& c : cases) {
        SCOPED_TRACE("folder " + std::to_string(int(c.folder)));
        showFolder(c.folder);
        EXPECT_EQ(headers(), c.headers);
        ASSERT_EQ(list()->topLevelItemCount(), 1);
        QStringList row;
        for (int index = 0; index < list()->columnCount(); ++index)
            row << list()->topLevelItem(0)->text(index);
        EXPECT_EQ(row, c.row);
        EXPECT_EQ(rowIds(), QList<qint64>{c.id});
    }
}

TEST_F(MessageBoxTest, DeleteActsOnTheRowsStoreIdNotOnItsText)
{
    inbox(2);
    open(u"I"_s);
    // Whatever a column shows, the row is the one its id names.
    QTreeWidgetItem* first = list()->topLevelItem(0);
    const qint64 id = first->data(0, Qt::UserRole).toLongLong();
    for (int index = 0; index < list()->columnCount(); ++index)
        first->setText(index, u"999"_s);
    first->setSelected(true);
    dialogs.answerNext(ui::Dialogs::Yes);
    box->DeleteSMS();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE InBox_Id=%1"_s.arg(id)), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 1);
}

TEST_F(MessageBoxTest, PagingButtonsOnlyWhereThereIsAPage)
{
    const struct
    {
        int rows;
        int nextClicks;
        bool previous;
        bool next;
    } cases[] = {
        {0, 0, false, false},  {1, 0, false, false}, {100, 0, false, false}, {101, 0, false, true},
        {101, 1, true, false}, {250, 1, true, true}, {250, 2, true, false},
    };
    int stored = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " rows, page " + std::to_string(c.nextClicks + 1));
        inbox(c.rows - stored, u"+4916%1"_s);
        stored = c.rows;
        open(u"I"_s);
        for (int click = 0; click < c.nextClicks; ++click)
            button(u"cmdNext"_s)->click();
        EXPECT_EQ(button(u"cmdPrevious"_s)->isEnabled(), c.previous);
        EXPECT_EQ(button(u"cmdNext"_s)->isEnabled(), c.next);
    }
}

TEST_F(MessageBoxTest, DateColumnsShowTheWholeDateEvenInANarrowWindow)
{
    inbox(1); // unread: bold
    store::OutboxTable outbox(db);
    const QDateTime late(QDate(2026, 12, 28), QTime(23, 58, 59));
    ASSERT_TRUE(outbox.insert(u"+492"_s, u"pending"_s, late));
    const qint64 sent = outbox.insert(u"+493"_s, u"sent"_s, late).value();
    ASSERT_TRUE(outbox.bookSent(sent, late));
    open(u"I"_s);
    box->resize(520, 400);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    for (Folder folder : {Folder::Inbox, Folder::Outbox, Folder::Sent}) {
        SCOPED_TRACE(std::to_string(int(folder)));
        showFolder(folder);
        ASSERT_EQ(list()->topLevelItemCount(), 1);
        QTreeWidgetItem* row = list()->topLevelItem(0);
        const QFontMetrics metrics(row->font(3));
        EXPECT_GT(list()->columnWidth(3), metrics.horizontalAdvance(row->text(3))) << row->text(3).toStdString();
    }
}

TEST_F(MessageBoxTest, ToolbarAndButtonsAnswerTheirAccessKeys)
{
    inbox(2);
    open(u"I"_s);
    // Tool buttons do not take Alt+letter from their caption: the actions carry it as shortcut.
    QStringList tools;
    QList<QKeySequence> keys;
    for (QAction* tool : box->findChild<QToolBar*>(u"Toolbar1"_s)->actions()) {
        tools << tool->text();
        EXPECT_EQ(tool->shortcut(), QKeySequence::mnemonic(tool->text())) << tool->text().toStdString();
        keys << tool->shortcut();
    }
    EXPECT_EQ(tools, (QStringList{u"&Compose"_s, u"Send &All"_s, u"&Receive All"_s, u"Re&ply"_s, u"&Forward"_s,
                                  u"&Delete"_s, u"Auto Repl&y"_s, u"&Settings"_s}));
    // The other controls read as before, each with a key of its own.
    for (const auto& [name, text] :
         {std::pair{u"cmdShow"_s, u"Search"_s}, std::pair{u"cmdPrevious"_s, u"<< Previous"_s},
          std::pair{u"cmdNext"_s, u"Next >>"_s}, std::pair{u"optAllSMS"_s, u"All SMS"_s},
          std::pair{u"optUnread"_s, u"All Unread"_s}}) {
        const QString caption = box->findChild<QAbstractButton*>(name)->text();
        EXPECT_EQ(QString(caption).remove(u'&'), text);
        keys << QKeySequence::mnemonic(caption);
    }
    EXPECT_FALSE(keys.contains(QKeySequence()));
    EXPECT_EQ(QSet<QKeySequence>(keys.begin(), keys.end()).size(), keys.size());

    box->show();
    box->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
    dialogs.opened.clear();
    QTest::keyClick(box.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(dialogs.opened, QStringList{u"frm_ComposeSMS"_s});

    // A row chosen with the keyboard can be answered with the keyboard: the focus comes to the
    // first row, Down chooses the second (the older message).
    list()->setFocus();
    EXPECT_FALSE(action(u"tbrReply"_s)->isEnabled());
    QTest::keyClick(list(), Qt::Key_Down);
    ASSERT_EQ(list()->selectedItems().size(), 1);
    EXPECT_TRUE(action(u"tbrReply"_s)->isEnabled());
    QString numbers;
    dialogs.onDialog[u"frm_ComposeSMS"_s] = [&](QDialog& compose) {
        numbers = compose.findChild<QLineEdit*>(u"MobileNumbers"_s)->text();
    };
    QTest::keyClick(box.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(numbers, u"+4915100000001"_s);
}

// Next and Previous read on from the rows shown; whatever the operator changed in between (the
// sort, the search typed but not yet shown), the page is the one its number names.
TEST_F(MessageBoxTest, NextAndPreviousShowThePageTheirNumberNames)
{
    // Ties in the message text and the time, so the key's id decides.
    {
        store::Transaction transaction(db);
        for (int i = 1; i <= 250; ++i)
            ASSERT_TRUE(store::InboxTable(db).insert(u"+49151%1"_s.arg(i % 7, 8, 10, QChar(u'0')),
                                                     u"message %1"_s.arg(i % 3), clock.now().addSecs(i / 2)));
        ASSERT_TRUE(transaction.commit());
    }
    const int pageSize = 10;
    box = std::make_unique<ui::MessageBoxWindow>(db, gateway.get(), dialogs, clock, pageSize);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->open(u"I"_s);
    box->findChild<QRadioButton*>(u"optAllSMS"_s)->click();
    auto counted = [&](int number, const QString& sortKey, const QString& search = {}) {
        store::MessageListQuery query;
        query.page = number;
        query.pageSize = pageSize;
        query.sortKey = sortKey;
        query.search = search;
        const auto page = store::inboxPage(db, query);
        EXPECT_TRUE(page);
        QList<qint64> ids;
        for (const store::MessageListRow& row : page.value_or(store::MessageListPage{}).rows)
            ids << row.id;
        return ids;
    };

    button(u"cmdNext"_s)->click();
    EXPECT_EQ(rowIds(), counted(2, u"InboxDateTime desc"_s));
    button(u"cmdNext"_s)->click();
    EXPECT_EQ(rowIds(), counted(3, u"InboxDateTime desc"_s));
    button(u"cmdPrevious"_s)->click();
    EXPECT_EQ(rowIds(), counted(2, u"InboxDateTime desc"_s));

    Q_EMIT list()->header()->sectionClicked(2); // Message
    EXPECT_EQ(rowIds(), counted(2, u"Message"_s));
    button(u"cmdNext"_s)->click();
    EXPECT_EQ(rowIds(), counted(3, u"Message"_s));
    button(u"cmdPrevious"_s)->click();
    button(u"cmdPrevious"_s)->click();
    EXPECT_EQ(rowIds(), counted(1, u"Message"_s));
    button(u"cmdNext"_s)->click();
    EXPECT_EQ(rowIds(), counted(2, u"Message"_s));

    // A search typed but not shown is applied by the next click, and taken away the same way:
    // the rows shown before belong to another list each time.
    edit(u"txtMobNo"_s)->setText(u"00000003"_s);
    button(u"cmdNext"_s)->click();
    EXPECT_EQ(rowIds(), counted(3, u"Message"_s, u"00000003"_s));
    EXPECT_EQ(rowIds().size(), pageSize);
    edit(u"txtMobNo"_s)->setText(QString());
    button(u"cmdPrevious"_s)->click();
    EXPECT_EQ(rowIds(), counted(2, u"Message"_s));
}
