#include "AutoReplies.h"
#include "AutoReplyCommandsDialog.h"
#include "AutoReplyTable.h"
#include "FakeDialogs.h"
#include "Gateway.h"
#include "ListClicks.h"
#include "MainWindow.h"
#include "MessageBoxWindow.h"
#include "ModemSimulator.h"
#include "SettingsTables.h"
#include "TestStore.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

struct AutoReplyCommandsScreenTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db = testing_support::openTestStore(folder.storePath());
    std::unique_ptr<ui::AutoReplyCommandsDialog> screen;

    void SetUp() override { open(); }

    void open()
    {
        screen = std::make_unique<ui::AutoReplyCommandsDialog>(db, dialogs);
        screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.get()));
    }

    template <typename Widget> Widget* get(const QString& name) const
    {
        auto* widget = screen->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QTreeWidget* list() const { return get<QTreeWidget>(u"ListOfSMSReply"_s); }
    QLineEdit* command() const { return get<QLineEdit>(u"Text_received"_s); }
    QPlainTextEdit* reply() const { return get<QPlainTextEdit>(u"Text_reply"_s); }
    QCheckBox* switchBox() const { return get<QCheckBox>(u"chkSendAutoreply"_s); }
    void click(const QString& name) const { get<QPushButton>(name)->click(); }
    void add(const QString& typedCommand, const QString& typedReply) const
    {
        command()->clear();
        QTest::keyClicks(command(), typedCommand);
        reply()->clear();
        QTest::keyClicks(reply(), typedReply);
        click(u"CmdEdit"_s);
    }
    std::vector<store::AutoReplyRow> rows() const
    {
        return store::AutoReplyTable(db).all().value_or(std::vector<store::AutoReplyRow>{});
    }
    qint64 count(const QString& sql) const { return testing_support::scalarOf(db, sql); }
};

} // namespace

TEST_F(AutoReplyCommandsScreenTest, FirstClickOnTheSwitchMakesItsRow)
{
    EXPECT_EQ(screen->windowTitle(), u"SMS Auto Reply Setting"_s);
    EXPECT_FALSE(switchBox()->isChecked());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_AutoReplySettings"_s), 0);
    for (const bool expected : {true, false, true}) {
        switchBox()->click();
        EXPECT_EQ(switchBox()->isChecked(), expected);
        EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_AutoReplySettings"_s), 1);
        EXPECT_EQ(store::AutoReplyTable(db).isSwitchedOn().value_or(!expected), expected);
    }
    screen->close();
    open();
    EXPECT_TRUE(switchBox()->isChecked());
}

TEST_F(AutoReplyCommandsScreenTest, SaveRefusesBlankFields)
{
    const struct
    {
        const char* name;
        QString command;
        QString reply;
        QString message;
        QString focus;
    } cases[] = {
        {"no command", QString(), u"cheap"_s, u"Please Enter SMS Command."_s, u"Text_received"_s},
        {"a command of blanks", u"   "_s, u"cheap"_s, u"Please Enter SMS Command."_s, u"Text_received"_s},
        {"no reply", u"price"_s, QString(), u"Please Enter Auto Reply."_s, u"Text_reply"_s},
        {"a reply of blanks", u"price"_s, u"    "_s, u"Please Enter Auto Reply."_s, u"Text_reply"_s},
        {"both missing", u" "_s, u" "_s, u"Please Enter SMS Command."_s, u"Text_received"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        add(c.command, c.reply);
        EXPECT_EQ(dialogs.texts, QStringList{c.message});
        EXPECT_EQ(screen->focusWidget(), get<QWidget>(c.focus));
    }
    EXPECT_TRUE(rows().empty());
}

TEST_F(AutoReplyCommandsScreenTest, FieldsHoldFifteenAndOneHundredSixtyCharacters)
{
    const QString longCommand = u"abcdefghijklmnopqrst"_s;
    const QString fullReply = QString(159, u'r') + u"!"_s;
    add(longCommand, fullReply + u"x"_s);
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].command, longCommand.left(15));
    EXPECT_EQ(rows()[0].reply, fullReply);
    EXPECT_EQ(rows()[0].reply.size(), 160);
}

TEST_F(AutoReplyCommandsScreenTest, AddEditAndDelete)
{
    // Stored as typed: blanks around a command and a reply stay.
    add(u"price "_s, u"  Our prices: it's cheap  "_s);
    add(u"hours"_s, u"9 to 5"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    auto stored = rows();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].command, u"price "_s);
    EXPECT_EQ(stored[0].reply, u"  Our prices: it's cheap  "_s);
    // Opened again: listed in table order, the command bold and blue, the fields empty.
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    QTreeWidgetItem* first = list()->topLevelItem(0);
    EXPECT_EQ(first->text(0), u"price "_s);
    EXPECT_EQ(first->text(1), u"  Our prices: it's cheap  "_s);
    EXPECT_TRUE(first->font(0).bold());
    EXPECT_EQ(first->foreground(0).color(), QColor(Qt::blue));
    EXPECT_TRUE(command()->text().isEmpty());
    EXPECT_FALSE(screen->isEditing());

    // A click on a row edits it; only that row changes and it keeps its key.
    testing_support::clickCell(list(), list()->topLevelItem(1), 1);
    ASSERT_TRUE(screen->isEditing());
    EXPECT_EQ(command()->text(), u"hours"_s);
    EXPECT_EQ(reply()->toPlainText(), u"9 to 5"_s);
    EXPECT_EQ(get<QLineEdit>(u"Text_commandId"_s)->text(), QString::number(stored[1].id));
    QTest::keyClicks(command(), u"!"_s);
    reply()->setPlainText(u"Open\n9 to 5"_s);
    click(u"CmdEdit"_s);
    auto edited = rows();
    ASSERT_EQ(edited.size(), 2u);
    EXPECT_EQ(edited[1].id, stored[1].id);
    EXPECT_EQ(edited[1].command, u"hours!"_s);
    EXPECT_EQ(edited[1].reply, u"Open\r\n9 to 5"_s);
    EXPECT_EQ(edited[0].reply, stored[0].reply);
    EXPECT_FALSE(screen->isEditing());

    // A tick is not a click on the row.
    testing_support::clickTickBox(list(), list()->topLevelItem(0));
    EXPECT_FALSE(screen->isEditing());
    EXPECT_EQ(list()->topLevelItem(0)->checkState(0), Qt::Checked);

    const struct
    {
        const char* name;
        bool selectAll;
        FakeDialogs::Answer answer;
        std::size_t left;
    } deletions[] = {
        {"answered No", false, FakeDialogs::No, 2},
        {"the ticked one", false, FakeDialogs::Yes, 1},
        {"nothing ticked", false, FakeDialogs::Yes, 1},
        {"all", true, FakeDialogs::Yes, 0},
    };
    for (const auto& d : deletions) {
        SCOPED_TRACE(d.name);
        dialogs.texts.clear();
        if (d.selectAll)
            get<QCheckBox>(u"chkAll"_s)->click();
        dialogs.answerNext(d.answer);
        ASSERT_TRUE(get<QPushButton>(u"Cmd_delete"_s)->isEnabled());
        click(u"Cmd_delete"_s);
        EXPECT_EQ(dialogs.texts, QStringList{u"Are you sure to delete the items?"_s});
        EXPECT_EQ(rows().size(), d.left);
        EXPECT_EQ(std::size_t(list()->topLevelItemCount()), d.left);
    }
    EXPECT_FALSE(get<QCheckBox>(u"chkAll"_s)->isChecked());
}

TEST_F(AutoReplyCommandsScreenTest, TheRunningGatewayAnswersWithWhatWasJustSaved)
{
    modemsim::ModemSimulator sim;
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(
        {u"1"_s, sim.portName(), u"115200"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s, true, u"1"_s}));
    engine::Gateway gateway(folder.storePath(), clock);
    gateway.sounds().setMuted(true);
    gateway.startUp();
    ASSERT_TRUE(gateway.isStarted());

    const QString sender = u"+4915112345678"_s;
    const auto repliesFor = [&](const QString& text) {
        sim.injectIncomingSms(sender, text);
        gateway.ReceiveSIMMessages(400);
        QStringList replies;
        auto st = db.prepare(u"SELECT Message FROM Message_OutBox WHERE RecipientMobileNo=?1 ORDER BY Outbox_Id"_s);
        st.bind(1, sender);
        while (st.next().value_or(false))
            replies << st.text(0);
        EXPECT_TRUE(db.exec(u"DELETE FROM Message_OutBox"_s));
        return replies;
    };

    add(u"hours"_s, u"9 to 5"_s);
    EXPECT_EQ(repliesFor(u"your HOURS?"_s), QStringList{}); // switched off
    switchBox()->click();
    EXPECT_EQ(repliesFor(u"your HOURS?"_s), QStringList{u"9 to 5"_s});

    testing_support::clickCell(list(), list()->topLevelItem(0), 0);
    reply()->setPlainText(u"Open 8 to 6"_s);
    click(u"CmdEdit"_s);
    EXPECT_EQ(repliesFor(u"Opening hours please"_s), QStringList{u"Open 8 to 6"_s});

    // A command saved with a blank after it wants the blank in the message too.
    add(u"price "_s, u"cheap"_s);
    EXPECT_EQ(repliesFor(u"price?"_s), QStringList{});
    EXPECT_EQ(repliesFor(u"your PRICE list"_s), QStringList{u"cheap"_s});

    switchBox()->click();
    EXPECT_EQ(repliesFor(u"your hours?"_s), QStringList{});
    switchBox()->click();
    testing_support::clickTickBox(list(), list()->topLevelItem(0));
    click(u"Cmd_delete"_s);
    EXPECT_EQ(repliesFor(u"your hours?"_s), QStringList{});
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 7);
}

TEST_F(AutoReplyCommandsScreenTest, OneScreenFromTheMenuAndTheMessageBox)
{
    screen.reset();
    engine::Gateway gateway(folder.storePath(), clock);
    ui::MainWindow window(db, &gateway, dialogs, clock, false);
    QSignalSpy loaded(&window, &ui::MainWindow::loaded);
    window.load();
    ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }));
    const auto openScreens = [&] {
        return window.findChildren<ui::AutoReplyCommandsDialog*>(u"Frm_Reply"_s, Qt::FindDirectChildrenOnly);
    };

    QAction* entry = window.findChild<QAction*>(u"mnuSMSAutoReply"_s);
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    ASSERT_EQ(openScreens().size(), 1);
    QPointer<ui::AutoReplyCommandsDialog> first = openScreens().first();
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    EXPECT_TRUE(dialogs.opened.isEmpty());

    window.openMessageBox();
    window.messageBox()->findChild<QAction*>(u"tbrAutoReply"_s)->trigger();
    entry->trigger();
    EXPECT_EQ(openScreens().size(), 1);
    EXPECT_EQ(openScreens().first(), first.data());

    // Closed, it is gone; the next opens afresh.
    first->findChild<QPushButton*>(u"CmdExit"_s)->click();
    ASSERT_TRUE(waitUntil([&] { return first.isNull(); }));
    window.messageBox()->findChild<QAction*>(u"tbrAutoReply"_s)->trigger();
    EXPECT_EQ(openScreens().size(), 1);
}

TEST(KeywordMatch, CommandsAreLookedForAsTyped)
{
    const std::vector<store::AutoReplyRow> rows = {
        {1, u"price "_s, u"a"_s}, {2, u"  "_s, u"never"_s}, {3, u" info"_s, u"b"_s}};
    const struct
    {
        QString text;
        qint64 matched; // 0: none
    } cases[] = {
        {u"price list"_s, 1}, {u"PRICE?"_s, 0},      {u"the price"_s, 0}, // the message's own blanks are trimmed
        {u"more info"_s, 3},  {u"info please"_s, 0}, {u"a  b"_s, 0},
    };
    for (const auto& c : cases) {
        const auto match = engine::matchKeyword(c.text, rows);
        EXPECT_EQ(match ? match->id : 0, c.matched) << c.text.toStdString();
    }
}
