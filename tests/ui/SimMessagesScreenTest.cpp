// The SIM message manager against the simulated modem, with the engine on its own thread as
// in the program: the screen asks, the engine talks to the modem, the rows come by signal.
#include "FakeDialogs.h"
#include "Gateway.h"
#include "MainWindow.h"
#include "ModemSimulator.h"
#include "OutboxTable.h"
#include "SettingsTables.h"
#include "SimMessagesWindow.h"
#include "Store.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;
using Behaviour = modemsim::Behaviour;
using Screen = ui::SimMessagesWindow;

namespace {

const QString kCyrillic = u"Привет! Встреча завтра в 10:00 — комната 4"_s;
const QString kSelectedQuestion = u"Are you sure to delete the selected messages?"_s;
const QString kStatusQuestion = u"Are you sure to delete the Messages?"_s;

struct SimMessagesScreenTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db;
    modemsim::ModemSimulator sim;
    QThread engineThread;
    engine::Gateway* gateway = nullptr;
    QPointer<Screen> screen;
    // What the engine said, gathered on this thread.
    QObject listener;
    QStringList logLines;
    QStringList notices;
    QList<int> finishedRequests;

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(
            {u"1"_s, sim.portName(), u"115200"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s, true, u"1"_s}));
        // No timer receives behind the test's back: what leaves the SIM is the screen's doing.
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET EnableSendTimer=0, EnableReceiveTimer=0"_s));

        gateway = new engine::Gateway(folder.storePath(), clock);
        gateway->sounds().setMuted(true);
        gateway->setActivityLogOn(true);
        QObject::connect(gateway, &engine::Gateway::activityLogged, &listener,
                         [this](const QString& line) { logLines << line; });
        QObject::connect(gateway, &engine::Gateway::notice, &listener,
                         [this](const QString& text) { notices << text; });
        QObject::connect(gateway, &engine::Gateway::simRequestFinished, &listener,
                         [this](int request) { finishedRequests << request; });
        gateway->moveToThread(&engineThread);
        engineThread.start();
        QMetaObject::invokeMethod(gateway, &engine::Gateway::startUp, Qt::BlockingQueuedConnection);
        ASSERT_TRUE(sim.waitForCommand(u"AT+CMGF=1"_s, 5000));
    }

    void TearDown() override
    {
        delete screen.data();
        QMetaObject::invokeMethod(
            gateway, [engine = gateway] { delete engine; }, Qt::BlockingQueuedConnection);
        engineThread.quit();
        engineThread.wait();
    }

    Screen* open(bool modemConnected = true)
    {
        delete screen.data();
        screen = new Screen(gateway, dialogs, modemConnected);
        screen->show();
        return screen;
    }

    template <typename Widget> Widget* get(const QString& name) const
    {
        auto* widget = screen->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    void click(const QString& name) const { get<QPushButton>(name)->click(); }
    void tick(const QString& name, bool ticked = true) const { get<QCheckBox>(name)->setChecked(ticked); }
    QTreeWidget* list() const { return get<QTreeWidget>(u"lstMessages"_s); }

    // The screen's request is over, within a bound.
    bool idle() const
    {
        return waitUntil([this] { return screen.isNull() || !screen->isBusy(); }, 15000);
    }

    // Ticks the given boxes of the read frame, clicks Show and waits for the rows.
    void show(const QStringList& boxes)
    {
        for (const QString& box : {u"chkAll"_s, u"chkRead"_s, u"chkUnRead"_s, u"chkSent"_s, u"chkUnSent"_s})
            tick(box, boxes.contains(box));
        click(u"cmdShow"_s);
        ASSERT_TRUE(idle());
    }

    // Each row as "text|status|number|index", top to bottom.
    QStringList rows() const
    {
        QStringList shown;
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = list()->topLevelItem(row);
            shown << QStringList{item->text(Screen::MessageColumn), item->text(Screen::StatusColumn),
                                 item->text(Screen::NumberColumn), item->text(Screen::IndexColumn)}
                         .join(u'|');
        }
        return shown;
    }

    void tickRow(int simIndex) const
    {
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = list()->topLevelItem(row);
            if (item->text(Screen::IndexColumn).toInt() == simIndex)
                item->setCheckState(Screen::MessageColumn, Qt::Checked);
        }
    }

    // What the SIM holds, as "slot:status:text".
    QStringList simContents() const
    {
        QStringList held;
        for (const modemsim::SimMessage& message : sim.simMessages())
            held << u"%1:%2:%3"_s.arg(message.index).arg(message.status, message.text);
        return held;
    }

    QStringList inbox() const
    {
        QStringList stored;
        auto rows = db.prepare(u"SELECT SenderMobileNo, Message FROM Message_InBox ORDER BY SenderMobileNo"_s);
        while (rows.next().value_or(false))
            stored << rows.text(0) + u"|"_s + rows.text(1);
        return stored;
    }

    bool logged(const QString& line) const
    {
        return std::ranges::any_of(logLines, [&](const QString& logged) { return logged.endsWith(line); });
    }

    // Two received SMS, one in Cyrillic, and two the SIM keeps for sending; a text that reads
    // like the modem's own "OK" is still only a text.
    void fillSim()
    {
        ASSERT_EQ(sim.addMessage(u"REC UNREAD"_s, u"+79161234567"_s, kCyrillic), 1);
        ASSERT_EQ(sim.addMessage(u"REC READ"_s, u"+4915112345678"_s, u"Call me, it's urgent"_s), 2);
        ASSERT_EQ(sim.addMessage(u"STO UNSENT"_s, u"+4917000000001"_s, u"Reply\nOK"_s), 3);
        ASSERT_EQ(sim.addMessage(u"STO SENT"_s, u"+4917000000002"_s, u"Sent yesterday"_s), 4);
    }
};

} // namespace

TEST_F(SimMessagesScreenTest, ShowListsTheTickedStatusesWholeInAnyAlphabet)
{
    fillSim();
    open();
    EXPECT_EQ(screen->windowTitle(), u"Manage Messages"_s);
    EXPECT_EQ(screen->objectName(), u"Frm_ManageSIMMsg"_s);
    EXPECT_FALSE(list()->isColumnHidden(Screen::MessageColumn));
    EXPECT_TRUE(list()->isColumnHidden(Screen::IndexColumn));

    const QString cyrillic = kCyrillic + u"|%1|+79161234567|1"_s;
    const QString latin = u"Call me, it's urgent|%1|+4915112345678|2"_s;
    const QString unsent = u"Reply\nOK|%1|+4917000000001|3"_s;
    const QString sent = u"Sent yesterday|%1|+4917000000002|4"_s;
    // In this order: listing the unread ones makes them read, as a modem does.
    const struct
    {
        const char* name;
        QStringList boxes;
        QStringList rows;
    } cases[] = {
        {"nothing ticked lists nothing", {}, {}},
        {"unread", {u"chkUnRead"_s}, {cyrillic.arg(u"UNREAD"_s)}},
        // Every row goes to the top: the last message of the last status comes first.
        {"read and sent",
         {u"chkRead"_s, u"chkSent"_s},
         {sent.arg(u"SENT"_s), latin.arg(u"READ"_s), cyrillic.arg(u"READ"_s)}},
        {"a message of two ticked statuses shows twice",
         {u"chkAll"_s, u"chkUnSent"_s},
         {unsent.arg(u"UNSENT"_s), sent.arg(u"ALL"_s), unsent.arg(u"ALL"_s), latin.arg(u"ALL"_s),
          cyrillic.arg(u"ALL"_s)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A stale row from the last case must not survive.
        show(c.boxes);
        EXPECT_EQ(rows(), c.rows);
    }
    EXPECT_TRUE(dialogs.texts.isEmpty());
    // Looking deletes nothing and stores nothing.
    EXPECT_EQ(sim.simMessages().size(), 4);
    EXPECT_TRUE(inbox().isEmpty());

    // Select All ticks every row and unticks them again.
    for (const bool ticked : {true, false}) {
        tick(u"chkSelectAll"_s, ticked);
        for (int row = 0; row < list()->topLevelItemCount(); ++row)
            EXPECT_EQ(list()->topLevelItem(row)->checkState(Screen::MessageColumn),
                      ticked ? Qt::Checked : Qt::Unchecked);
    }
}

TEST_F(SimMessagesScreenTest, ShowingIsBusyButTheScreenStaysLive)
{
    fillSim();
    // A slow listing, so the screen is seen waiting for it.
    sim.script(u"+CMGL"_s, {Behaviour::Delay, 1, 0, 500});
    open();
    tick(u"chkAll"_s);
    click(u"cmdShow"_s);
    EXPECT_TRUE(screen->isBusy());
    EXPECT_EQ(screen->cursor().shape(), Qt::BusyCursor);
    EXPECT_FALSE(get<QPushButton>(u"cmdShow"_s)->isEnabled());
    EXPECT_FALSE(get<QPushButton>(u"cmdDeleteSelected"_s)->isEnabled());
    EXPECT_FALSE(get<QPushButton>(u"cmdDelete"_s)->isEnabled());
    EXPECT_TRUE(get<QPushButton>(u"cmdExit"_s)->isEnabled());
    ASSERT_TRUE(idle());
    EXPECT_EQ(screen->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(get<QPushButton>(u"cmdShow"_s)->isEnabled());
    EXPECT_EQ(list()->topLevelItemCount(), 4);
}

TEST_F(SimMessagesScreenTest, DeleteSelectedRowsLosesNoReceivedSms)
{
    const struct
    {
        const char* name;
        ui::Dialogs::Answer answer;
        QList<int> ticked;
        QStringList simAfter;
        QStringList inboxAfter;
    } cases[] = {
        {"No leaves the SIM as it was",
         ui::Dialogs::No,
         {4},
         {u"1:REC READ:"_s + kCyrillic, u"2:REC READ:Call me, it's urgent"_s, u"3:STO UNSENT:Reply\nOK"_s,
          u"4:STO SENT:Sent yesterday"_s},
         {}},
        {"a stored message is deleted",
         ui::Dialogs::Yes,
         {4},
         {u"1:REC READ:"_s + kCyrillic, u"2:REC READ:Call me, it's urgent"_s, u"3:STO UNSENT:Reply\nOK"_s},
         {}},
        // The received ones reach the inbox, whole, before they leave the SIM.
        {"a received Cyrillic SMS goes through the inbox",
         ui::Dialogs::Yes,
         {1, 3},
         {},
         {u"+4915112345678|Call me, it's urgent"_s, u"+79161234567|"_s + kCyrillic}},
    };
    fillSim();
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        show({u"chkAll"_s});
        for (const int index : c.ticked)
            tickRow(index);
        dialogs.answerNext(c.answer);
        click(u"cmdDeleteSelected"_s);
        ASSERT_TRUE(idle());
        EXPECT_EQ(dialogs.texts, QStringList{kSelectedQuestion});
        EXPECT_EQ(simContents(), c.simAfter);
        EXPECT_EQ(inbox(), c.inboxAfter);
        // Opened afresh: nothing listed, nothing ticked.
        EXPECT_EQ(list()->topLevelItemCount(), 0);
        EXPECT_FALSE(get<QCheckBox>(u"chkAll"_s)->isChecked());
    }
}

TEST_F(SimMessagesScreenTest, ASlotThatHoldsAnotherMessageByNowIsLeftAlone)
{
    ASSERT_EQ(sim.addMessage(u"REC UNREAD"_s, u"+4915112345678"_s, u"First"_s), 1);
    open();
    show({u"chkAll"_s});
    ASSERT_EQ(rows(), QStringList{u"First|ALL|+4915112345678|1"_s});

    // Meanwhile the receiver takes slot 1 into the inbox, and a draft lands in it.
    QMetaObject::invokeMethod(gateway, &engine::Gateway::receiveAll, Qt::BlockingQueuedConnection);
    ASSERT_EQ(sim.addMessage(u"STO UNSENT"_s, u"+4917000000001"_s, u"Not seen by anybody"_s), 1);

    tickRow(1);
    click(u"cmdDeleteSelected"_s);
    ASSERT_TRUE(idle());
    EXPECT_EQ(simContents(), QStringList{u"1:STO UNSENT:Not seen by anybody"_s});
    EXPECT_EQ(inbox(), QStringList{u"+4915112345678|First"_s});
    EXPECT_TRUE(logged(u"**WARNING** SIM slot 1 holds another SMS than the one listed; it stays on the SIM card."_s));
}

TEST_F(SimMessagesScreenTest, AFailedDeleteIsLoggedAndTheRunGoesOn)
{
    const QString failed = u"Error occured while executing this command: AT+CMGD=2"_s;
    const struct
    {
        const char* name;
        std::function<void(SimMessagesScreenTest&)> deleteThem;
        // The one-by-one delete shows the failure as well; the one by status only logs it.
        QStringList noticesAfter;
    } cases[] = {
        {"ticked rows",
         [](SimMessagesScreenTest& t) {
             t.show({u"chkSent"_s});
             t.tick(u"chkSelectAll"_s);
             t.click(u"cmdDeleteSelected"_s);
         },
         {failed}},
        {"by status",
         [](SimMessagesScreenTest& t) {
             t.tick(u"chkDeleteSent"_s);
             t.click(u"cmdDelete"_s);
         },
         {}},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 1; i <= 3; ++i)
            ASSERT_EQ(sim.addMessage(u"STO SENT"_s, u"+491700000000%1"_s.arg(i), u"Sent %1"_s.arg(i)), i);
        sim.script(u"+CMGD=2"_s, {Behaviour::Error, 1});
        logLines.clear();
        notices.clear();
        c.deleteThem(*this);
        ASSERT_TRUE(idle());
        EXPECT_EQ(simContents(), QStringList{u"2:STO SENT:Sent 2"_s});
        ASSERT_TRUE(waitUntil([&] { return logged(failed); }));
        EXPECT_EQ(notices, c.noticesAfter);
        // Slot 2 itself goes on the next try.
        sim.clearScripts();
        tick(u"chkDeleteSent"_s);
        click(u"cmdDelete"_s);
        ASSERT_TRUE(idle());
        EXPECT_TRUE(sim.simMessages().isEmpty());
        tick(u"chkDeleteSent"_s, false);
    }
}

TEST_F(SimMessagesScreenTest, DeleteByStatusTakesTheStatusesTickedAtTheClick)
{
    fillSim();
    open();
    const struct
    {
        const char* name;
        QStringList boxes;
        ui::Dialogs::Answer answer;
        QStringList simAfter;
        QStringList inboxAfter;
    } cases[] = {
        {"No deletes nothing",
         {u"chkDeleteSent"_s},
         ui::Dialogs::No,
         {u"1:REC UNREAD:"_s + kCyrillic, u"2:REC READ:Call me, it's urgent"_s, u"3:STO UNSENT:Reply\nOK"_s,
          u"4:STO SENT:Sent yesterday"_s},
         {}},
        // The Sent box of the answer No does not carry over.
        {"unsent only",
         {u"chkDeleteUnSent"_s},
         ui::Dialogs::Yes,
         {u"1:REC UNREAD:"_s + kCyrillic, u"2:REC READ:Call me, it's urgent"_s, u"4:STO SENT:Sent yesterday"_s},
         {}},
        // Everything leaves the SIM, but no received SMS is lost on the way.
        {"all",
         {u"chkDeleteAll"_s},
         ui::Dialogs::Yes,
         {},
         {u"+4915112345678|Call me, it's urgent"_s, u"+79161234567|"_s + kCyrillic}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        for (const QString& box : {u"chkDeleteAll"_s, u"chkDeleteSent"_s, u"chkDeleteUnSent"_s})
            tick(box, c.boxes.contains(box));
        dialogs.answerNext(c.answer);
        click(u"cmdDelete"_s);
        ASSERT_TRUE(idle());
        EXPECT_EQ(dialogs.texts, QStringList{kStatusQuestion});
        EXPECT_EQ(simContents(), c.simAfter);
        EXPECT_EQ(inbox(), c.inboxAfter);
    }
}

TEST_F(SimMessagesScreenTest, WithoutTheModemNothingIsAsked)
{
    fillSim();
    const QString notCommunicating = Screen::kNotCommunicating;
    EXPECT_EQ(notCommunicating, u"Computer is not communicating with the modem. Please select the option 'Listen To "
                                u"Modem' before executing any modem commands."_s);
    const struct
    {
        const char* name;
        QString box;
        QString button;
    } cases[] = {
        {"show", u"chkAll"_s, u"cmdShow"_s},
        {"delete ticked rows", u"chkAll"_s, u"cmdDeleteSelected"_s},
        {"delete by status", u"chkDeleteAll"_s, u"cmdDelete"_s},
    };
    // The screen knows the modem is off, and says so before any question.
    open(false);
    sim.clearReceivedCommands();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        tick(c.box);
        click(c.button);
        EXPECT_FALSE(screen->isBusy());
        EXPECT_EQ(dialogs.texts, QStringList{notCommunicating});
    }
    EXPECT_TRUE(sim.receivedCommands().filter(u"AT+CMG"_s).isEmpty());

    // The modem went away after the screen last heard of it: the engine refuses, the screen says why.
    QMetaObject::invokeMethod(gateway, &engine::Gateway::DisconnectModem, Qt::BlockingQueuedConnection);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(true);
        dialogs.texts.clear();
        tick(c.box);
        if (c.button == u"cmdDeleteSelected"_s) {
            list()->addTopLevelItem(new QTreeWidgetItem(QStringList{u"x"_s, u"ALL"_s, u"+1"_s, u"4"_s}));
            list()->topLevelItem(0)->setCheckState(Screen::MessageColumn, Qt::Checked);
        }
        click(c.button);
        ASSERT_TRUE(idle());
        EXPECT_EQ(dialogs.texts.last(), notCommunicating);
        // It knows now.
        dialogs.texts.clear();
        click(c.button);
        EXPECT_EQ(dialogs.texts, QStringList{notCommunicating});
    }
    EXPECT_EQ(sim.simMessages().size(), 4);
}

TEST_F(SimMessagesScreenTest, ARequestWaitsForTheSendJobInProgress)
{
    ASSERT_TRUE(store::OutboxTable(db).insert(u"+4915112345678"_s, u"One"_s, clock.now()));
    ASSERT_TRUE(store::OutboxTable(db).insert(u"+4915112345679"_s, u"Two"_s, clock.now()));
    ASSERT_EQ(sim.addMessage(u"STO SENT"_s, u"+4917000000002"_s, u"Sent yesterday"_s), 1);
    sim.script(u"+CMGS"_s, {Behaviour::Delay, 2, 0, 300});
    open();
    sim.clearReceivedCommands();
    QMetaObject::invokeMethod(gateway, &engine::Gateway::sendAll, Qt::QueuedConnection);
    ASSERT_TRUE(sim.waitForCommand(u"AT+CMGS"_s, 5000));
    show({u"chkAll"_s});
    EXPECT_EQ(rows(), QStringList{u"Sent yesterday|ALL|+4917000000002|1"_s});
    // One job at a time: the listing came after both messages had gone.
    const QStringList commands = sim.receivedCommands();
    // Whole-line patterns: QStringList matches a regular expression against the whole entry.
    const auto lastSend = commands.lastIndexOf(QRegularExpression(u"AT\\+CMGS=.*"_s));
    const auto listing = commands.indexOf(QRegularExpression(u"AT\\+CMGL=.*"_s));
    EXPECT_EQ(sim.sentMessages().size(), 2);
    ASSERT_GE(lastSend, 0);
    EXPECT_GT(listing, lastSend) << commands.join(u" / "_s).toStdString();
}

TEST_F(SimMessagesScreenTest, ClosingWhileTheEngineWorksLeavesNothingBehind)
{
    fillSim();
    sim.script(u"+CMGL"_s, {Behaviour::Delay, 1, 0, 300});
    open();
    tick(u"chkAll"_s);
    click(u"cmdShow"_s);
    ASSERT_TRUE(screen->isBusy());
    click(u"cmdExit"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(screen.isNull());

    // A new screen asks for its own rows; the late answers to the closed one are not its.
    open();
    show({u"chkSent"_s});
    EXPECT_EQ(finishedRequests.size(), 2);
    EXPECT_EQ(rows(), QStringList{u"Sent yesterday|SENT|+4917000000002|4"_s});
}

TEST_F(SimMessagesScreenTest, TheMenuOpensOneModelessScreenAtATime)
{
    ui::MainWindow window(db, gateway, dialogs, clock, false);
    QAction* entry = window.findChild<QAction*>(u"manageSim"_s);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isEnabled());
    entry->trigger();
    QPointer<Screen> first = window.findChild<Screen*>(u"Frm_ManageSIMMsg"_s);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowModality(), Qt::NonModal);
    first->findChild<QCheckBox*>(u"chkAll"_s)->setChecked(true);

    // Opened again: the open one closes, a fresh one opens in its place.
    entry->trigger();
    EXPECT_TRUE(first.isNull());
    const QList<Screen*> open = window.findChildren<Screen*>();
    ASSERT_EQ(open.size(), 1);
    EXPECT_FALSE(open.front()->findChild<QCheckBox*>(u"chkAll"_s)->isChecked());
}

TEST_F(SimMessagesScreenTest, DuringACallTheSimIsLeftAlone)
{
    fillSim();
    open();
    show({u"chkAll"_s});
    ASSERT_EQ(list()->topLevelItemCount(), 4);
    sim.ring(u"+4915199999999"_s);
    const struct
    {
        const char* name;
        std::function<void(SimMessagesScreenTest&)> act;
        QString logLine;
    } cases[] = {
        {"delete ticked rows",
         [](SimMessagesScreenTest& t) {
             t.tick(u"chkSelectAll"_s);
             t.click(u"cmdDeleteSelected"_s);
         },
         u"**NOTICE** Nothing was deleted from the SIM card: a call is in progress."_s},
        {"delete by status",
         [](SimMessagesScreenTest& t) {
             t.tick(u"chkDeleteAll"_s);
             t.click(u"cmdDelete"_s);
         },
         u"**NOTICE** Nothing was deleted from the SIM card: a call is in progress."_s},
        {"show", [](SimMessagesScreenTest& t) { t.show({u"chkAll"_s}); },
         u"**NOTICE** The SIM card was not read: a call is in progress."_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logLines.clear();
        c.act(*this);
        ASSERT_TRUE(idle());
        EXPECT_EQ(sim.simMessages().size(), 4);
        EXPECT_EQ(list()->topLevelItemCount(), 0);
        EXPECT_TRUE(waitUntil([&] { return logged(c.logLine); }));
    }
    EXPECT_TRUE(inbox().isEmpty());
    EXPECT_TRUE(sim.receivedCommands().filter(u"AT+CMGD"_s).isEmpty());
}
