#pragma once

#include "Clock.h"
#include "Database.h"
#include "StoreLocation.h"
#include "frmSplash.h"

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
class MDI_Frmmanage;

struct ProgramOptions
{
    store::StoreLocation location;
    bool trayAvailable = false;
    int splashMs = 3000;
    // Empty: measure the primary screen.
    std::optional<QSize> screenSize;
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

    // Ends the program the way "Exit" does: timers stopped, the engine's thread ended, the
    // event loop left with the given status. Safe to call more than once.
    void exitProgram(int status = 0);

    QString storePath() const { return m_storePath; }
    MDI_Frmmanage* mainWindow() const { return m_mainWindow.get(); }
    frmSplash* splash() const { return m_splash; }
    engine::Gateway* gateway() const { return m_gateway; }
    bool hasExited() const { return m_exited; }

Q_SIGNALS:
    void finished(int status);

private:
    void showMainWindow();
    QSize measureScreen() const;

    Dialogs& m_dialogs;
    const store::Clock& m_clock;
    ProgramOptions m_options;
    QString m_storePath;
    std::unique_ptr<QLockFile> m_lock;
    store::Database m_db;
    QThread m_engineThread;
    engine::Gateway* m_gateway = nullptr;
    QPointer<frmSplash> m_splash;
    std::unique_ptr<MDI_Frmmanage> m_mainWindow;
    bool m_exited = false;
};

} // namespace ui
