#pragma once

#include "Clock.h"
#include "Database.h"
#include "StoreLocation.h"
#include "SplashScreen.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QThread>

#include <memory>
#include <optional>

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;
class MainWindow;

// How long Exit waits for the engine. Its job in progress is cut short at once (modem waits
// end, mail transfers end within a second) and books its rows in transactions, so a few seconds
// cover a healthy engine; anything longer means it is stuck, and the operator is not kept waiting.
inline constexpr int kEngineStopMs = 5000;

struct ProgramOptions
{
    store::StoreLocation location;
    bool trayAvailable = false;
    int splashMs = 3000;
    // Empty: measure the primary screen.
    std::optional<QSize> screenSize;
    int engineStopMs = kEngineStopMs;
};

// True when the screen is both narrower than 1024 and lower than 768 pixels.
bool needsScreenQuestion(const QSize& screen);
QString screenQuestionText(const QSize& screen);

// The program from its start to its end: the store, the single-instance guard, the screen
// question, the splash, the main window, the engine thread, and the way out.
class Program final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStoreFailed = 2;
    static constexpr int kAlreadyRunning = 3;

    Program(Dialogs& dialogs, const store::Clock& clock, ProgramOptions options, QObject* parent = nullptr);
    ~Program() override;

    // The steps before the event loop runs. A value is the exit status when the program
    // must end now; without one, the splash is up and the event loop takes over.
    std::optional<int> start();

    // Ends the program the way "Exit" does: timers stopped, the engine's thread ended (waiting at
    // most engineStopMs for it), the event loop left with the given status. Safe to call more
    // than once.
    void exitProgram(int status = 0);
    // The engine did not stop in time at Exit: its thread still runs and owns the gateway, and
    // the process should end without tearing down what that thread may still use.
    bool engineLeftRunning() const { return m_engineLeftRunning; }

    QString storePath() const { return m_storePath; }
    MainWindow* mainWindow() const { return m_mainWindow.get(); }
    SplashScreen* splash() const { return m_splash; }
    engine::Gateway* gateway() const { return m_gateway; }
    bool hasExited() const { return m_exited; }

Q_SIGNALS:
    void finished(int status);

private:
    void showMainWindow();
    void detachScreens();
    void stopEngine();
    QSize measureScreen() const;

    Dialogs& m_dialogs;
    const store::Clock& m_clock;
    ProgramOptions m_options;
    QString m_storePath;
    std::unique_ptr<QLockFile> m_lock;
    store::Database m_db;
    // Owned here until Exit; a thread that does not end in time is let go and deletes itself
    // (and the gateway) whenever it does end.
    QThread* m_engineThread = nullptr;
    engine::Gateway* m_gateway = nullptr;
    QPointer<SplashScreen> m_splash;
    std::unique_ptr<MainWindow> m_mainWindow;
    bool m_exited = false;
    bool m_engineLeftRunning = false;
};

} // namespace ui
