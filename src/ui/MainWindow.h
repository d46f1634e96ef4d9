#pragma once

#include "Clock.h"
#include "Database.h"

#include <QMainWindow>
#include <QPointer>

#include "MessageBoxWindow.h"
#include "SettingsDialog.h"

class QAction;
class QMenu;
class QToolButton;

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;
class NoticeWindow;
class TrayIcon;
class Dashboard;

// The main window "tarvogate": menu bar, toolbar, the dashboard, and the notification-area
// icon it hides into when minimised.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static inline const QString kTrayTip = QStringLiteral("Tarvonet SMS Gateway");

    // trayAvailable: whether the desktop has a notification area. Without one, minimising
    // keeps the window on the task bar so it can always be reached again.
    MainWindow(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, const store::Clock& clock,
                  bool trayAvailable, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's loading: the screen's steps and the engine's start-up, in order.
    void load();

    Dashboard* homePage() const { return m_home; }
    TrayIcon* trayIcon() const { return m_tray; }
    QMenu* trayMenu() const { return m_trayMenu; }
    bool isTrayAvailable() const { return m_trayAvailable; }
    // The one window that gathers the notices no box is opened for.
    NoticeWindow* noticeWindow() const { return m_noticeWindow; }

    // Opens the message box, or brings the open one forward (its folder then stays).
    void openMessageBox();
    bool IsMessageBoxOpen() const { return !m_messageBox.isNull(); }
    MessageBoxWindow* messageBox() const { return m_messageBox.data(); }

    // Opens the settings screen on the tab, or brings the open one forward on it.
    void openSettings(SettingsDialog::Tab tab = SettingsDialog::ModemTab);
    SettingsDialog* settingsScreen() const { return m_settings.data(); }

    bool IsSetupWindowOpen = false;
    int PageSize = 0;

Q_SIGNALS:
    // The operator asked to end the program (menu, toolbar or tray "Exit", or closing).
    void exitRequested();
    // The loading has finished, including the engine's part and any pending error box.
    void loaded();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildTrayMenu();
    void onModemStateChanged(bool menuConnected, bool portOpen);
    void onCallerHungUp();
    void onCallerIdentified();
    void showNotice(const QString& text);
    void askForSettings(const QString& question);
    void openAutoReplyOnMissedCall();
    void onStartUpFinished(const QString& pendingError);
    void showAbout();

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    const store::Clock& m_clock;
    bool m_trayAvailable;
    bool m_exiting = false;
    QPointer<MessageBoxWindow> m_messageBox;
    QPointer<SettingsDialog> m_settings;
    bool m_modemPortOpen = false;
    // A box for the engine is up: a notice that comes meanwhile must not open another inside it.
    bool m_engineBoxOpen = false;
    NoticeWindow* m_noticeWindow = nullptr;

    Dashboard* m_home = nullptr;
    TrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    QAction* m_connect = nullptr;
    QAction* m_disconnect = nullptr;
    QAction* m_toolConnect = nullptr;
    QAction* m_toolMessageBox = nullptr;
    QToolButton* m_toolReports = nullptr;
};

} // namespace ui
