#include "Dialogs.h"
#include "Program.h"
#include "Resources.h"
#include "StoreLocation.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int gSignalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop picks the signal up from the pipe.
void onTerminationSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const auto written = ::write(gSignalPipe[1], &byte, 1);
}

// A logout, a shutdown or Ctrl-C ends the program the way "Exit" does.
void routeTerminationSignals(ui::Program& program)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &program);
    QObject::connect(notifier, &QSocketNotifier::activated, &program, [&program] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(gSignalPipe[0], &byte, 1);
        program.exitProgram(0);
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"tarvogate"_s);
    QApplication::setApplicationVersion(store::programVersion());
    QApplication::setDesktopFileName(u"tarvogate"_s);
    // The window hides into the notification area; the program ends only through "Exit".
    QApplication::setQuitOnLastWindowClosed(false);

    ui::MessageBoxDialogs dialogs;
    store::SystemClock clock;
    ui::ProgramOptions options;
    options.location.appDir = QCoreApplication::applicationDirPath();
    options.location.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    options.location.installBinDir = store::installBinDir();
    options.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();

    ui::Program program(dialogs, clock, options);
    if (const auto status = program.start())
        return *status;
    routeTerminationSignals(program);
    const int status = app.exec();
    if (program.engineLeftRunning()) {
        // The engine's thread is still inside a job and uses this function's clock and Qt's
        // globals; tearing them down under it would crash on the way out. Its store work is
        // booked in transactions, so ending the process here loses nothing already written.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
