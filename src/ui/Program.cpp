#include "Program.h"

#include "Dialogs.h"
#include "Gateway.h"
#include "MainWindow.h"
#include "Store.h"
#include "SplashScreen.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace ui {

bool needsScreenQuestion(const QSize& screen)
{
    return screen.width() < 1024 && screen.height() < 768;
}

QString screenQuestionText(const QSize& screen)
{
    return u"Required Screen Resolution: 1024 x 768\r\nCurrent Screen Resolution: %1 x %2\r\n\r\n"
           u"This application requires 1024 x 768 screen resolution. Application may not be displyed properly on your "
           u"screen.\r\n\r\n It is highly recommanded that you should increase the screen resolution to 1024 x "
           u"768.\r\n\r\n"
           u" Do you want to continue any way?"_s.arg(screen.width())
               .arg(screen.height());
}

Program::Program(Dialogs& dialogs, const store::Clock& clock, ProgramOptions options, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_clock(clock), m_options(std::move(options))
{}

Program::~Program()
{
    exitProgram(0);
}

QSize Program::measureScreen() const
{
    if (m_options.screenSize)
        return *m_options.screenSize;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    const qreal ratio = screen->devicePixelRatio();
    return {qRound(screen->size().width() * ratio), qRound(screen->size().height() * ratio)};
}

std::optional<int> Program::start()
{
    m_storePath = m_options.location.storePath();

    // Two gateways on one store would drain one modem and send the same outbox twice.
    const QString folder = QFileInfo(m_storePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        const QString text =
            u"The folder %1 for the store file cannot be created."_s.arg(QDir::toNativeSeparators(folder));
        std::fprintf(stderr, "tarvogate: %s\n", qPrintable(text));
        m_dialogs.error(nullptr, text);
        return kStoreFailed;
    }
    m_lock = std::make_unique<QLockFile>(m_storePath + u".lock"_s);
    m_lock->setStaleLockTime(0); // a lock left by a crashed run is recognised by its process id
    if (!m_lock->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString app;
        m_lock->getLockInfo(&pid, &host, &app);
        const QString text =
            u"tarvogate is already running on the store %1 (process %2). Only one gateway may use a store "
            u"at a time; use the running one from its icon or task bar entry."_s
                .arg(QDir::toNativeSeparators(m_storePath))
                .arg(pid);
        std::fprintf(stderr, "tarvogate: %s\n", qPrintable(text));
        m_dialogs.error(nullptr, text);
        return kAlreadyRunning;
    }

    auto db = store::openStore(m_storePath);
    if (!db) {
        const QString text =
            u"The store file %1 cannot be opened: %2"_s.arg(QDir::toNativeSeparators(m_storePath), db.error().message);
        std::fprintf(stderr, "tarvogate: %s\n", qPrintable(text));
        m_dialogs.error(nullptr, text);
        return kStoreFailed;
    }
    m_db = std::move(*db);

    const QSize screen = measureScreen();
    if (screen.isValid() && needsScreenQuestion(screen) &&
        m_dialogs.question(nullptr, screenQuestionText(screen)) == Dialogs::No)
        return 0;

    m_engineThread = new QThread;
    m_engineThread->setObjectName(u"engine"_s);
    m_gateway = new engine::Gateway(m_storePath, m_clock, m_options.location.appDir);
    m_gateway->moveToThread(m_engineThread);
    // Deleted on its own thread once the loop there has ended, whoever is still around by then.
    connect(m_engineThread, &QThread::finished, m_gateway, &QObject::deleteLater);
    // Connected before Exit waits, so a thread that ends late still cleans itself up; while
    // this object owns it, deleting it first drops the pending request.
    connect(m_engineThread, &QThread::finished, m_engineThread, &QObject::deleteLater);
    m_engineThread->start();

    m_splash = new SplashScreen(m_options.splashMs);
    connect(m_splash, &SplashScreen::closed, this, &Program::showMainWindow);
    m_splash->show();
    return std::nullopt;
}

void Program::showMainWindow()
{
    m_mainWindow = std::make_unique<MainWindow>(m_db, m_gateway, m_dialogs, m_clock, m_options.trayAvailable);
    connect(m_mainWindow.get(), &MainWindow::exitRequested, this, [this] { exitProgram(0); });
    m_mainWindow->load();
}

void Program::detachScreens()
{
    if (!m_mainWindow || m_gateway == nullptr)
        return;
    // The screens go with a deferred delete; a report the engine still sends, or one already
    // queued, would reach them after the store connection and the clock they read are gone.
    QList<QObject*> screens = m_mainWindow->findChildren<QObject*>();
    screens << m_mainWindow.get();
    for (QObject* screen : std::as_const(screens)) {
        QObject::disconnect(m_gateway, nullptr, screen, nullptr);
        QCoreApplication::removePostedEvents(screen, QEvent::MetaCall);
    }
}

void Program::stopEngine()
{
    if (m_engineThread == nullptr)
        return;
    if (m_engineThread->isRunning()) {
        // The job in progress ends its modem wait and mail transfer at once and finishes its
        // store work, so no send is cut off half-booked.
        m_gateway->requestStop();
        // Shut down and quit as one step on the engine's thread: its loop cannot end before
        // shutDown has run, whatever the job in progress still does.
        QMetaObject::invokeMethod(
            m_gateway,
            [gateway = m_gateway] {
                gateway->shutDown();
                QThread::currentThread()->quit();
            },
            Qt::QueuedConnection);
        if (!m_engineThread->wait(QDeadlineTimer(m_options.engineStopMs))) {
            // A job that does not heed the stop must not hold the operator's Exit. Its thread
            // keeps the gateway; deleting either now would pull them from under the job.
            std::fprintf(stderr, "tarvogate: the engine did not stop within %d ms; the program ends without it.\n",
                         m_options.engineStopMs);
            m_engineLeftRunning = true;
            m_engineThread = nullptr;
            m_gateway = nullptr;
            return;
        }
    }
    delete m_engineThread;
    m_engineThread = nullptr;
    m_gateway = nullptr;
}

void Program::exitProgram(int status)
{
    if (m_exited)
        return;
    m_exited = true;
    if (m_splash)
        m_splash->close();
    detachScreens();
    stopEngine();
    if (m_mainWindow) {
        m_mainWindow->hide();
        m_mainWindow.release()->deleteLater();
    }
    m_db = store::Database();
    m_lock.reset();
    Q_EMIT finished(status);
    QCoreApplication::exit(status);
}

} // namespace ui
