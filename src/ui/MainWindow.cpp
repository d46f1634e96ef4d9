#include "MainWindow.h"

#include "AboutDialog.h"
#include "AutoReplyCommandsDialog.h"
#include "CallLogWindow.h"
#include "CountryDialog.h"
#include "Dashboard.h"
#include "Dialogs.h"
#include "Gateway.h"
#include "MailRequestInboxWindow.h"
#include "MessageBoxWindow.h"
#include "MissedCallReplyDialog.h"
#include "ModemDiscovery.h"
#include "NoticeWindow.h"
#include "Pictures.h"
#include "ReceivedSmsReport.h"
#include "SimMessagesWindow.h"
#include "SmsUserAccountsDialog.h"
#include "TrayIcon.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

QAction* namedAction(QMenu* menu, const QString& text, const QString& name, bool enabled = true)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setEnabled(enabled);
    return action;
}

QMenu* namedMenu(QMenuBar* bar, const QString& text, const QString& name)
{
    QMenu* menu = bar->addMenu(text);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

// A modeless screen of the main window's: shown, or brought forward when it already is.
void bringForward(QWidget* screen)
{
    screen->showNormal();
    screen->raise();
    screen->activateWindow();
}

// The keyword replies: one screen at a time beside the main window; an open one comes forward.
void openAutoReplyCommands(QWidget* owner, const store::Database& db, Dialogs& dialogs)
{
    auto* screen = owner->findChild<AutoReplyCommandsDialog*>(u"Frm_Reply"_s, Qt::FindDirectChildrenOnly);
    if (screen == nullptr) {
        screen = new AutoReplyCommandsDialog(db, dialogs, owner);
        screen->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(screen);
}

} // namespace

MainWindow::MainWindow(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, const store::Clock& clock,
                       bool trayAvailable, QWidget* parent)
    : QMainWindow(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs), m_clock(clock),
      m_trayAvailable(trayAvailable)
{
    setObjectName(u"MDI_Frmmanage"_s);
    setWindowTitle(u"tarvogate"_s);
    setWindowIcon(appIcon());
    resize(1000, 700);
    buildMenus();
    buildToolBar();
    buildTrayMenu();
    m_tray = new TrayIcon(m_trayMenu, this);
    m_noticeWindow = new NoticeWindow(m_clock, this);

    connect(m_gateway, &engine::Gateway::modemStateChanged, this, &MainWindow::onModemStateChanged);
    connect(m_gateway, &engine::Gateway::startUpFinished, this, &MainWindow::onStartUpFinished);
    connect(m_gateway, &engine::Gateway::notice, this, &MainWindow::showNotice);
    connect(m_gateway, &engine::Gateway::backgroundNotice, m_noticeWindow, &NoticeWindow::addNotice);
    connect(m_gateway, &engine::Gateway::noModemFound, this, &MainWindow::askForSettings);
    // Comes after its notice ("Please set all the settings…") has been shown.
    connect(m_gateway, &engine::Gateway::settingsRequested, this, [this] { openSettings(); });
    connect(m_gateway, &engine::Gateway::callerHungUp, this, &MainWindow::onCallerHungUp);
    connect(m_gateway, &engine::Gateway::callerIdentified, this, &MainWindow::onCallerIdentified);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    // An "&" only underlines the letter that Alt opens the entry with; the caption reads the same.
    QMenu* masters = namedMenu(bar, u"&Masters"_s, u"mnuMst"_s);
    QAction* accounts = namedAction(masters, u"Manage SMS &User Accounts"_s, u"mnuSMSUserAccounts"_s);
    connect(accounts, &QAction::triggered, this, [this] {
        SmsUserAccountsDialog screen(m_db, m_dialogs, this);
        m_dialogs.run(screen);
    });
    QAction* countries = namedAction(masters, u"Manage &Country"_s, u"country"_s);
    connect(countries, &QAction::triggered, this, [this] {
        CountryDialog screen(m_db, m_dialogs, this);
        m_dialogs.run(screen);
    });

    QMenu* settings = namedMenu(bar, u"&Settings"_s, u"mnuSetings"_s);
    QAction* systemSettings = namedAction(settings, u"System &Settings"_s, u"modemsetting"_s);
    connect(systemSettings, &QAction::triggered, this, [this] { openSettings(); });
    QAction* missedCallReply = namedAction(settings, u"&AutoReply SMS on Missed Call"_s, u"mnuAutoreplyOnMissedCall"_s);
    connect(missedCallReply, &QAction::triggered, this, &MainWindow::openAutoReplyOnMissedCall);
    QAction* keywordReplies = namedAction(settings, u"SMS Auto &Reply Setting"_s, u"mnuSMSAutoReply"_s);
    connect(keywordReplies, &QAction::triggered, this, [this] { openAutoReplyCommands(this, m_db, m_dialogs); });
    QAction* manageSim = namedAction(settings, u"&Low-Level SIM Access"_s, u"manageSim"_s);
    connect(manageSim, &QAction::triggered, this, [this] {
        // One at a time: an open one is closed, and a fresh one opens beside the main window.
        delete findChild<SimMessagesWindow*>(u"Frm_ManageSIMMsg"_s, Qt::FindDirectChildrenOnly);
        (new SimMessagesWindow(m_gateway, m_dialogs, m_modemPortOpen, this))->show();
    });

    QMenu* modem = namedMenu(bar, u"&Connect / Disconnect Modem"_s, u"lToModem"_s);
    m_connect = namedAction(modem, u"&Connect"_s, u"start"_s);
    m_disconnect = namedAction(modem, u"&Disconnect"_s, u"mnustop"_s, false);
    connect(m_connect, &QAction::triggered, this,
            [this] { QMetaObject::invokeMethod(m_gateway, &engine::Gateway::ConnectModem, Qt::QueuedConnection); });
    connect(m_disconnect, &QAction::triggered, this,
            [this] { QMetaObject::invokeMethod(m_gateway, &engine::Gateway::DisconnectModem, Qt::QueuedConnection); });

    QMenu* messages = namedMenu(bar, u"Message &Box"_s, u"mnuMsgBox"_s);
    QAction* messageBox = namedAction(messages, u"SMS &Message Box"_s, u"mnuSMSMessageBox"_s);
    connect(messageBox, &QAction::triggered, this, &MainWindow::openMessageBox);
    QAction* mailInbox = namedAction(messages, u"&POP3 Inbox For Web-To-SMS"_s, u"mnuPOP3Inbox"_s);
    connect(mailInbox, &QAction::triggered, this, [this] {
        // One at a time, beside the main window: an open one comes forward.
        QWidget* screen = findChild<MailRequestInboxWindow*>(u"frm_POP3InBoxForWebToSMS"_s, Qt::FindDirectChildrenOnly);
        if (screen == nullptr)
            screen = new MailRequestInboxWindow(m_db, m_dialogs, m_clock, PageSize, this);
        bringForward(screen);
    });

    QAction* about = bar->addAction(u"&About"_s);
    about->setObjectName(u"mnuAbout"_s);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);

    QAction* exit = bar->addAction(u"E&xit"_s);
    exit->setObjectName(u"Exit"_s);
    connect(exit, &QAction::triggered, this, &MainWindow::exitRequested);
}

void MainWindow::buildToolBar()
{
    auto* toolbar = addToolBar(u"Toolbar"_s);
    toolbar->setObjectName(u"Toolbar1"_s);
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    m_toolConnect = toolbar->addAction(connectIcon(), u"Connect"_s);
    m_toolConnect->setObjectName(u"tbrConnect"_s);
    m_toolConnect->setToolTip(u"Connect to Modem."_s);
    connect(m_toolConnect, &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(m_gateway, &engine::Gateway::toggleModemConnection, Qt::QueuedConnection);
    });

    m_toolMessageBox = toolbar->addAction(messageBoxIcon(), u"Message Box"_s);
    m_toolMessageBox->setObjectName(u"tbrMessageBox"_s);
    m_toolMessageBox->setToolTip(u"Open Message box."_s);
    connect(m_toolMessageBox, &QAction::triggered, this, &MainWindow::openMessageBox);

    // The button itself does nothing; only its two drop-down entries act.
    auto* reportsMenu = new QMenu(this);
    reportsMenu->setObjectName(u"mnuReports"_s);
    QAction* callLog = namedAction(reportsMenu, u"&Missed Calls Report"_s, u"MR"_s);
    connect(callLog, &QAction::triggered, this, [this] {
        CallLogWindow screen(m_db, m_dialogs, m_clock, this);
        m_dialogs.run(screen);
    });
    QAction* smsReport = namedAction(reportsMenu, u"&Received SMS Report"_s, u"SMSR"_s);
    connect(smsReport, &QAction::triggered, this, [this] {
        ReceivedSmsReport screen(m_db, m_dialogs, m_clock, this);
        m_dialogs.run(screen);
    });
    auto* reports = m_toolReports = new QToolButton(toolbar);
    reports->setObjectName(u"tbrReports"_s);
    reports->setText(u"Reports"_s);
    reports->setIcon(reportsIcon());
    reports->setToolTip(u"Manage Dial Logs"_s);
    reports->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    reports->setPopupMode(QToolButton::MenuButtonPopup);
    reports->setMenu(reportsMenu);
    toolbar->addWidget(reports);

    QAction* exit = toolbar->addAction(exitIcon(), u"Exit"_s);
    exit->setObjectName(u"tbrExit"_s);
    exit->setToolTip(u"Quit the application."_s);
    connect(exit, &QAction::triggered, this, &MainWindow::exitRequested);
}

void MainWindow::buildTrayMenu()
{
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(u"mnuMainMenu"_s);
    QAction* minimize = namedAction(m_trayMenu, u"&Minimize"_s, u"mnuMinimize"_s);
    connect(minimize, &QAction::triggered, this, [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    QAction* show = namedAction(m_trayMenu, u"&Show"_s, u"mnuShow"_s);
    connect(show, &QAction::triggered, this, [this] {
        showMaximized();
        raise();
        activateWindow();
    });
    m_trayMenu->addSeparator();
    QAction* about = namedAction(m_trayMenu, u"&About"_s, u"mnuTrayAbout"_s);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
    m_trayMenu->addSeparator();
    QAction* exit = namedAction(m_trayMenu, u"E&xit"_s, u"mnuExit"_s);
    connect(exit, &QAction::triggered, this, &MainWindow::exitRequested);
}

void MainWindow::load()
{
    IsSetupWindowOpen = false;
    PageSize = 100;
    m_home = new Dashboard(m_db, m_gateway, m_clock, this);
    setCentralWidget(m_home);
    connect(m_home, &Dashboard::messageBoxRequested, this, &MainWindow::openMessageBox);
    connect(m_home, &Dashboard::missedCallsClicked, this, [this] {
        auto* screen = findChild<CallLogWindow*>(u"Frm_ManageLogs"_s, Qt::FindDirectChildrenOnly);
        if (screen == nullptr) {
            screen = new CallLogWindow(m_db, m_dialogs, m_clock, this);
            screen->setAttribute(Qt::WA_DeleteOnClose);
        }
        bringForward(screen);
    });
    onModemStateChanged(false, false);
    // The engine's steps run on its own thread, queued behind the log switch the dashboard
    // has just turned on, so the first line is not dropped.
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::startUp, Qt::QueuedConnection);
    // The dashboard puts the program away: into the notification area, or onto the task bar.
    setWindowState(windowState() | Qt::WindowMinimized);
    show();
}

void MainWindow::onModemStateChanged(bool menuConnected, bool portOpen)
{
    m_connect->setEnabled(!menuConnected);
    m_disconnect->setEnabled(menuConnected);
    m_modemPortOpen = portOpen;
    if (m_settings)
        m_settings->setModemConnected(portOpen);
    m_toolConnect->setText(portOpen ? u"Disconnect"_s : u"Connect"_s);
    m_toolConnect->setIcon(portOpen ? disconnectIcon() : connectIcon());
}

void MainWindow::onCallerHungUp()
{
    m_toolMessageBox->setIcon(callReceiveIcon());
    m_toolMessageBox->setText(u"Call Receive"_s);
    m_toolMessageBox->setEnabled(false);
    m_toolReports->setEnabled(false);
}

void MainWindow::onCallerIdentified()
{
    // The message box opens from button 2 whatever its caption, once that screen exists.
    m_toolMessageBox->setEnabled(true);
    m_toolReports->setEnabled(true);
}

void MainWindow::showNotice(const QString& text)
{
    // A modal box runs an event loop of its own, in which the next queued notice arrives; a box
    // for it would nest inside the first, and so on without end while nobody is there to close them.
    if (m_engineBoxOpen) {
        m_noticeWindow->addNotice(text);
        return;
    }
    const QScopedValueRollback boxOpen(m_engineBoxOpen, true);
    m_dialogs.information(this, text);
}

void MainWindow::askForSettings(const QString& question)
{
    showMaximized();
    Dialogs::Answer answer = Dialogs::No;
    {
        const QScopedValueRollback boxOpen(m_engineBoxOpen, true);
        answer = m_dialogs.question(this, question);
    }
    if (answer == Dialogs::Yes)
        openSettings();
}

void MainWindow::openSettings(SettingsDialog::Tab tab)
{
    if (!m_settings) {
        m_settings =
            new SettingsDialog(m_db, m_gateway, m_dialogs, m_modemPortOpen, modem::serialPortCandidates(), this);
        // A window of its own beside the main window, gone when closed.
        m_settings->setWindowFlag(Qt::Window);
        m_settings->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_settings, &QDialog::finished, this, [this] { IsSetupWindowOpen = false; });
        IsSetupWindowOpen = true;
    }
    m_settings->selectTab(tab);
    m_settings->showNormal();
    m_settings->raise();
    m_settings->activateWindow();
}

void MainWindow::openMessageBox()
{
    if (m_messageBox) {
        m_messageBox->showNormal();
        m_messageBox->raise();
        m_messageBox->activateWindow();
        return;
    }
    m_messageBox = new MessageBoxWindow(m_db, m_gateway, m_dialogs, m_clock, PageSize, this);
    connect(m_messageBox, &MessageBoxWindow::outboxChanged, m_home, &Dashboard::refreshCounters);
    connect(m_messageBox, &MessageBoxWindow::autoReplyRequested, this,
            [this] { openAutoReplyCommands(this, m_db, m_dialogs); });
    connect(m_messageBox, &MessageBoxWindow::settingsRequested, this,
            [this] { openSettings(SettingsDialog::TimerTab); });
    m_messageBox->open(m_home != nullptr ? m_home->msgType : QString());
    if (m_home != nullptr)
        m_home->msgType.clear();
    m_messageBox->show();
}

void MainWindow::openAutoReplyOnMissedCall()
{
    MissedCallReplyDialog screen(m_db, m_gateway, m_dialogs, this);
    m_dialogs.run(screen);
}

void MainWindow::onStartUpFinished(const QString& pendingError)
{
    if (m_home != nullptr)
        m_home->refreshCounters();
    if (!pendingError.isEmpty()) {
        const QScopedValueRollback boxOpen(m_engineBoxOpen, true);
        m_dialogs.error(this, pendingError);
    }
    Q_EMIT loaded();
}

void MainWindow::showAbout()
{
    AboutDialog about(this);
    m_dialogs.run(about);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_exiting)
        return;
    if (isMinimized()) {
        // Without a notification area the window stays minimised on the task bar: hiding
        // it there would leave the operator no way back to the program.
        if (!m_trayAvailable)
            return;
        m_tray->ShowIcon(this);
        m_tray->ChangeToolTip(this, kTrayTip);
        // Hiding from inside the state change confuses some window managers; do it next.
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
    } else {
        m_tray->RemoveIcon(this);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the program, the same way "Exit" does.
    if (!m_exiting) {
        m_exiting = true;
        Q_EMIT exitRequested();
    }
    event->accept();
}

} // namespace ui
