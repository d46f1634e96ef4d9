#include "MainWindow.h"
#include "AboutDialog.h"
#include "CallTable.h"
#include "Dashboard.h"
#include "FakeDialogs.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "LinkLabel.h"
#include "OutboxTable.h"
#include "Resources.h"
#include "Store.h"
#include "TestSupport.h"
#include "TrayIcon.h"
#include "WaitDialog.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

// A caption as the operator reads it: the access-key mark only underlines its letter.
QString visible(const QString& caption)
{
    return QString(caption).remove(u'&');
}

struct MainWindowFixture : ::testing::Test
{
    TempFolder folder;
    FakeClock clock{QDateTime(QDate(2026, 3, 14), QTime(23, 59, 45))};
    FakeDialogs dialogs;
    store::Database db;
    std::unique_ptr<engine::Gateway> gateway;
    std::unique_ptr<ui::MainWindow> window;

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock);
    }

    void TearDown() override
    {
        window.reset();
        gateway.reset();
    }

    void openWindow(bool trayAvailable)
    {
        window = std::make_unique<ui::MainWindow>(db, gateway.get(), dialogs, clock, trayAvailable);
        QSignalSpy loaded(window.get(), &ui::MainWindow::loaded);
        window->load();
        ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }));
    }

    QString logText() const { return window->findChild<QPlainTextEdit*>(u"txtActivityLog"_s)->toPlainText(); }
    ui::LinkLabel* link(const QString& name) const { return window->findChild<ui::LinkLabel*>(name); }
    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }
};

} // namespace

TEST_F(MainWindowFixture, LoadingShowsTheStartUpLinesInOrder)
{
    openWindow(false);
    const QStringList lines = logText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[4].endsWith(u"] : Initializing WebMail-To-SMS Properties."_s));
    EXPECT_TRUE(lines[3].endsWith(u"] : Initializing SMS Delivery Properties."_s));
    EXPECT_TRUE(lines[2].endsWith(u"] : Initializing AutoReply On MissedCall Properties."_s));
    EXPECT_TRUE(lines[1].endsWith(u"] : Initializing Timer Properties."_s));
    EXPECT_TRUE(lines[0].endsWith(u"] : Connecting to GSM Modem."_s));
    EXPECT_EQ(window->PageSize, 100);
    EXPECT_EQ(dialogs.texts, QStringList{u"Please set all the settings before connecting with modem."_s});
    // An empty store has no modem settings: the first connection opened the settings screen.
    EXPECT_TRUE(window->IsSetupWindowOpen);
    ASSERT_NE(window->settingsScreen(), nullptr);
    window->settingsScreen()->close();
    EXPECT_FALSE(window->IsSetupWindowOpen);
}

TEST_F(MainWindowFixture, FrameMenusAndToolbar)
{
    openWindow(false);
    EXPECT_EQ(window->windowTitle(), u"tarvogate"_s);
    QStringList topLevel;
    for (QAction* entry : window->menuBar()->actions())
        topLevel << visible(entry->text());
    EXPECT_EQ(topLevel, (QStringList{u"Masters"_s, u"Settings"_s, u"Connect / Disconnect Modem"_s, u"Message Box"_s,
                                     u"About"_s, u"Exit"_s}));
    for (const QString& name : {u"mnuSMSUserAccounts"_s, u"country"_s, u"modemsetting"_s, u"mnuAutoreplyOnMissedCall"_s,
                                u"manageSim"_s, u"start"_s, u"mnustop"_s, u"mnuSMSMessageBox"_s, u"mnuPOP3Inbox"_s}) {
        ASSERT_NE(action(name), nullptr) << name.toStdString();
    }
    EXPECT_TRUE(action(u"mnuAbout"_s)->isEnabled());
    // No modem is connected: Connect is offered, Disconnect not.
    EXPECT_TRUE(action(u"start"_s)->isEnabled());
    EXPECT_FALSE(action(u"mnustop"_s)->isEnabled());
    EXPECT_EQ(action(u"tbrConnect"_s)->text(), u"Connect"_s);
    EXPECT_TRUE(action(u"mnuAutoreplyOnMissedCall"_s)->isEnabled());
    EXPECT_TRUE(action(u"Exit"_s)->isEnabled());

    EXPECT_EQ(action(u"tbrConnect"_s)->toolTip(), u"Connect to Modem."_s);
    EXPECT_EQ(action(u"tbrMessageBox"_s)->toolTip(), u"Open Message box."_s);
    EXPECT_EQ(action(u"tbrExit"_s)->toolTip(), u"Quit the application."_s);
    auto* reports = window->findChild<QToolButton*>(u"tbrReports"_s);
    ASSERT_NE(reports, nullptr);
    EXPECT_EQ(reports->toolTip(), u"Manage Dial Logs"_s);
    ASSERT_NE(reports->menu(), nullptr);
    EXPECT_EQ(reports->menu()->actions().size(), 2);
    EXPECT_EQ(visible(action(u"MR"_s)->text()), u"Missed Calls Report"_s);
    EXPECT_EQ(visible(action(u"SMSR"_s)->text()), u"Received SMS Report"_s);
}

TEST_F(MainWindowFixture, EveryExitEndsTheProgram)
{
    openWindow(false);
    QSignalSpy exit(window.get(), &ui::MainWindow::exitRequested);
    const qsizetype shown = dialogs.texts.size();
    action(u"Exit"_s)->trigger();
    action(u"tbrExit"_s)->trigger();
    window->trayMenu()->findChild<QAction*>(u"mnuExit"_s)->trigger();
    EXPECT_EQ(exit.count(), 3);
    EXPECT_EQ(dialogs.texts.size(), shown); // no question, whatever is pending
}

TEST_F(MainWindowFixture, WithoutNotificationAreaTheWindowStaysOnTheTaskBar)
{
    openWindow(false);
    ASSERT_TRUE(waitUntil([&] { return window->isMinimized(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->trayIcon()->bRunningInTray());

    window->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowFixture, WithNotificationAreaMinimisingHidesIntoTheTray)
{
    openWindow(true);
    ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    EXPECT_TRUE(window->trayIcon()->bRunningInTray());
    EXPECT_EQ(window->trayIcon()->toolTip(), u"Tarvonet SMS Gateway"_s);

    QStringList entries;
    for (QAction* entry : window->trayMenu()->actions())
        entries << (entry->isSeparator() ? u"-"_s : visible(entry->text()));
    EXPECT_EQ(entries, (QStringList{u"Minimize"_s, u"Show"_s, u"-"_s, u"About"_s, u"-"_s, u"Exit"_s}));

    window->trayMenu()->findChild<QAction*>(u"mnuShow"_s)->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(window->trayIcon()->bRunningInTray());

    window->trayMenu()->findChild<QAction*>(u"mnuMinimize"_s)->trigger();
    ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    EXPECT_TRUE(window->trayIcon()->bRunningInTray());
}

TEST_F(MainWindowFixture, TrayTipIsCutToItsField)
{
    openWindow(true);
    ASSERT_TRUE(waitUntil([&] { return window->trayIcon()->bRunningInTray(); }));
    window->trayIcon()->ChangeToolTip(window.get(), QString(100, u'x'));
    EXPECT_EQ(window->trayIcon()->toolTip().size(), 63);
}

TEST_F(MainWindowFixture, CountersShowTodaysRows)
{
    openWindow(false);
    EXPECT_EQ(link(u"LblMissCall"_s)->text(), u"Missed Calls (0)"_s);
    EXPECT_EQ(link(u"lblInBox"_s)->text(), u"Inbox (0)"_s);
    EXPECT_EQ(link(u"lblOutBox"_s)->text(), u"Outbox (0)"_s);
    EXPECT_EQ(window->findChild<QLabel*>(u"lblToday"_s)->text(), u"14-March-2026"_s);

    // Rows written by the engine's own connection, as the gateway would.
    auto engineDb = store::openStore(folder.storePath());
    ASSERT_TRUE(engineDb);
    store::CallTable calls(*engineDb);
    ASSERT_TRUE(calls.insert(QDateTime(QDate(2026, 3, 14), QTime(23, 59, 30)), u"+4915100000001"_s));
    ASSERT_TRUE(calls.insert(QDateTime(QDate(2026, 3, 13), QTime(23, 59, 30)), u"+4915100000001"_s));
    ASSERT_TRUE(calls.insert(QDateTime(QDate(2026, 3, 14), QTime(8, 0, 0)), u"+4915100000002"_s, false));
    store::InboxTable inbox(*engineDb);
    ASSERT_TRUE(inbox.insert(u"+1"_s, u"a"_s, clock.now()));
    ASSERT_TRUE(inbox.insert(u"+2"_s, u"b"_s, clock.now()));
    ASSERT_TRUE(store::OutboxTable(*engineDb).insert(u"+3"_s, u"c"_s, clock.now()));
    EXPECT_TRUE(link(u"lblNotConfirmed"_s)->isHidden());
    // A send the modem never confirmed shows apart, for the operator to decide.
    const qint64 unconfirmed = store::OutboxTable(*engineDb).insert(u"+4"_s, u"d"_s, clock.now()).value_or(-1);
    ASSERT_TRUE(store::OutboxTable(*engineDb).claim(unconfirmed).value_or(false));

    // The one-second refresh picks them up by itself.
    ASSERT_TRUE(waitUntil([&] { return link(u"lblInBox"_s)->text() == u"Inbox (2)"_s; }, 3000));
    EXPECT_EQ(link(u"LblMissCall"_s)->text(), u"Missed Calls (1)"_s);
    EXPECT_EQ(link(u"lblOutBox"_s)->text(), u"Outbox (2)"_s);
    EXPECT_EQ(link(u"lblNotConfirmed"_s)->text(), u"Not confirmed (1)"_s);
    EXPECT_FALSE(link(u"lblNotConfirmed"_s)->isHidden());
}

TEST_F(MainWindowFixture, LogLinksSwitchAndClear)
{
    openWindow(false);
    auto* start = link(u"lblStart"_s);
    auto* stop = link(u"lblStop"_s);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(start->isUnderlined());
    EXPECT_TRUE(stop->isEnabled());

    stop->click();
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(start->isUnderlined());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(stop->isUnderlined());
    QCoreApplication::processEvents();
    const QString before = logText();
    gateway->AddToActivityLog(u"while stopped"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(logText(), before);

    start->click();
    QCoreApplication::processEvents();
    gateway->AddToActivityLog(u"after start"_s);
    ASSERT_TRUE(waitUntil([&] { return logText().startsWith(u"["_s) && logText().contains(u"after start"_s); }));

    link(u"lblClear"_s)->click();
    EXPECT_TRUE(logText().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_TRUE(gateway->activityLog().isOn());
    gateway->AddToActivityLog(u"after clear"_s);
    ASSERT_TRUE(waitUntil([&] { return logText().contains(u"after clear"_s); }));
    EXPECT_FALSE(logText().contains(u"after start"_s));
}

TEST_F(MainWindowFixture, InboxAndOutboxLinksOpenTheMessageBoxOnTheirFolder)
{
    openWindow(false);
    ui::Dashboard* home = window->homePage();
    EXPECT_TRUE(home->msgType.isEmpty());
    link(u"lblInBox"_s)->click();
    ASSERT_TRUE(window->IsMessageBoxOpen());
    EXPECT_EQ(window->messageBox()->folder(), ui::MessageBoxWindow::Folder::Inbox);
    EXPECT_TRUE(home->msgType.isEmpty()); // read by the opening

    // Already open: only brought forward, the folder stays and the wish waits for next time.
    link(u"lblOutBox"_s)->click();
    EXPECT_EQ(window->messageBox()->folder(), ui::MessageBoxWindow::Folder::Inbox);
    EXPECT_EQ(home->msgType, u"O"_s);

    window->messageBox()->close();
    ASSERT_TRUE(testing_support::waitUntil([&] { return !window->IsMessageBoxOpen(); }));
    action(u"mnuSMSMessageBox"_s)->trigger();
    ASSERT_TRUE(window->IsMessageBoxOpen());
    EXPECT_EQ(window->messageBox()->folder(), ui::MessageBoxWindow::Folder::Outbox);
}

TEST(AboutWindow, NamesVersionLicenceAndLibraries)
{
    ui::AboutDialog about;
    EXPECT_TRUE(about.text().contains(store::programVersion()));
    EXPECT_TRUE(about.text().contains(u"Licence"_s));
    EXPECT_TRUE(about.text().contains(u"Qt "_s));
    EXPECT_TRUE(about.text().contains(u"SQLCipher"_s));
}

TEST(WaitWindow, CaptionAndText)
{
    ui::WaitDialog wait;
    EXPECT_EQ(wait.windowTitle(), u"Processing......"_s);
    auto* text = wait.findChild<QLabel*>(u"lblWait"_s);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), u"Processing Please Wait ............"_s);
}

TEST_F(MainWindowFixture, ToolbarFollowsTheCall)
{
    openWindow(false);
    auto* reports = window->findChild<QToolButton*>(u"tbrReports"_s);
    Q_EMIT gateway->callerHungUp();
    EXPECT_EQ(action(u"tbrMessageBox"_s)->text(), u"Call Receive"_s);
    EXPECT_FALSE(action(u"tbrMessageBox"_s)->isEnabled());
    EXPECT_FALSE(reports->isEnabled());
    Q_EMIT gateway->callerIdentified();
    EXPECT_TRUE(reports->isEnabled());
    EXPECT_EQ(action(u"tbrMessageBox"_s)->text(), u"Call Receive"_s); // the caption stays

    Q_EMIT gateway->modemStateChanged(true, false); // connected, then the start-up failed
    EXPECT_FALSE(action(u"start"_s)->isEnabled());
    EXPECT_TRUE(action(u"mnustop"_s)->isEnabled());
    EXPECT_EQ(action(u"tbrConnect"_s)->text(), u"Connect"_s);
    Q_EMIT gateway->modemStateChanged(true, true);
    EXPECT_EQ(action(u"tbrConnect"_s)->text(), u"Disconnect"_s);
}

TEST_F(MainWindowFixture, EveryMenuEntryHasAnAccessKeyOfItsOwn)
{
    openWindow(false);
    const auto checkMenu = [](const QList<QAction*>& entries, const std::string& where) {
        QList<QKeySequence> keys;
        for (QAction* entry : entries) {
            if (entry->isSeparator())
                continue;
            SCOPED_TRACE(where + ": " + entry->text().toStdString());
            EXPECT_EQ(entry->text().count(u'&'), 1);
            const QKeySequence key = QKeySequence::mnemonic(entry->text());
            EXPECT_FALSE(key.isEmpty());
            EXPECT_FALSE(keys.contains(key));
            keys << key;
        }
    };
    checkMenu(window->menuBar()->actions(), "menu bar");
    for (QAction* entry : window->menuBar()->actions()) {
        if (entry->menu() != nullptr)
            checkMenu(entry->menu()->actions(), visible(entry->text()).toStdString());
    }
    checkMenu(window->trayMenu()->actions(), "tray");
    checkMenu(window->findChild<QToolButton*>(u"tbrReports"_s)->menu()->actions(), "reports");
    QStringList settings;
    for (QAction* entry : window->findChild<QMenu*>(u"mnuSetings"_s)->actions())
        settings << visible(entry->text());
    EXPECT_EQ(settings,
              (QStringList{u"System Settings"_s, u"AutoReply SMS on Missed Call"_s, u"SMS Auto Reply Setting"_s,
                           u"Low-Level SIM Access"_s}));
}

TEST_F(MainWindowFixture, SubDialogsOpenThroughDialogs)
{
    openWindow(false);
    QString aboutText;
    dialogs.onDialog[u"frm_About"_s] = [&](QDialog& about) {
        aboutText = static_cast<ui::AboutDialog&>(about).text();
        about.accept();
    };
    dialogs.opened.clear();
    action(u"mnuAbout"_s)->trigger();
    action(u"mnuAutoreplyOnMissedCall"_s)->trigger();
    window->trayMenu()->findChild<QAction*>(u"mnuTrayAbout"_s)->trigger();
    EXPECT_EQ(dialogs.opened, (QStringList{u"frm_About"_s, u"Frm_AutoReplyOnMissedCall"_s, u"frm_About"_s}));
    EXPECT_TRUE(aboutText.contains(store::programVersion()));
}

TEST_F(MainWindowFixture, ActivityLogStaysWhereTheOperatorScrolled)
{
    ui::Dashboard home(db, gateway.get(), clock);
    home.resize(800, 300);
    home.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&home));
    gateway->setActivityLogOn(true);
    QCoreApplication::processEvents(); // the dashboard's own switch-on, queued
    for (int line = 1; line <= 120; ++line)
        gateway->AddToActivityLog(u"line %1"_s.arg(line));
    auto* log = home.findChild<QPlainTextEdit*>(u"txtActivityLog"_s);
    QScrollBar* bar = log->verticalScrollBar();
    const auto topLine = [&] { return log->cursorForPosition(QPoint(2, 2)).block().text(); };
    ASSERT_GT(bar->maximum(), 40);
    EXPECT_TRUE(topLine().endsWith(u"line 120"_s));

    // Scrolled down to read: new lines come in above without moving what is being read.
    bar->setValue(40);
    const QString reading = topLine();
    EXPECT_TRUE(reading.endsWith(u"line 80"_s)) << reading.toStdString();
    for (int line = 121; line <= 123; ++line) {
        gateway->AddToActivityLog(u"line %1"_s.arg(line));
        EXPECT_EQ(topLine(), reading);
    }
    EXPECT_EQ(bar->value(), 43);

    // Back at the top, where new lines show: the view follows them again.
    bar->setValue(0);
    gateway->AddToActivityLog(u"line 124"_s);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(topLine().endsWith(u"line 124"_s));

    // A cleared log starts at the top, wherever the view was.
    bar->setValue(30);
    gateway->clearActivityLog();
    gateway->AddToActivityLog(u"after clear"_s);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(topLine().endsWith(u"after clear"_s));
}

// Totals put out of step by hand are found when the engine starts: the dashboard shows the
// real numbers and the log says what happened.
TEST_F(MainWindowFixture, CountsOutOfStepAreRebuiltAtStartUp)
{
    ASSERT_TRUE(store::InboxTable(db).insert(u"+1"_s, u"a"_s, clock.now()));
    ASSERT_TRUE(store::InboxTable(db).insert(u"+2"_s, u"b"_s, clock.now()));
    ASSERT_TRUE(db.exec(u"UPDATE Message_Counts SET Total=40 WHERE List='InboxUnread'"_s));
    openWindow(false);
    EXPECT_TRUE(logText().contains(u"] : The message counts disagreed with the messages and were rebuilt."_s))
        << logText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return link(u"lblInBox"_s)->text() == u"Inbox (2)"_s; }, 3000));
}
