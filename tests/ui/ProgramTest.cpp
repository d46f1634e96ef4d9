#include "Program.h"
#include "FakeDialogs.h"
#include "Gateway.h"
#include "MainWindow.h"
#include "ModemSimulator.h"
#include "OutboxTable.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"
#include "SplashScreen.h"

#include <QFile>
#include <QKeyEvent>
#include <QLockFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <memory>
#include <semaphore>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

struct ProgramFixture : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;

    ui::ProgramOptions options(QSize screen = QSize(1280, 1024)) const
    {
        ui::ProgramOptions o;
        o.location.appDir = folder.path();
        o.location.isWritableDir = [](const QString&) { return true; };
        o.trayAvailable = false;
        o.splashMs = 10;
        o.screenSize = screen;
        return o;
    }

    QByteArray digest() const { return testing_support::fileDigest(folder.storePath()); }
};

// The settings keep the SMTP port in a 16-bit field: the listener takes a free port below 32768,
// where the system's own choice would lie above it.
bool listenOnAStoredPort(QTcpServer& server)
{
    const int first = 20000 + int(QCoreApplication::applicationPid() % 10000);
    for (int port = first; port < first + 200; ++port) {
        if (server.listen(QHostAddress::LocalHost, quint16(port)))
            return true;
    }
    return false;
}

} // namespace

TEST(ScreenQuestion, OnlyWhenBothSidesAreSmall)
{
    EXPECT_FALSE(ui::needsScreenQuestion(QSize(1024, 600)));
    EXPECT_FALSE(ui::needsScreenQuestion(QSize(800, 768)));
    EXPECT_TRUE(ui::needsScreenQuestion(QSize(800, 600)));
    EXPECT_TRUE(ui::needsScreenQuestion(QSize(1023, 767)));
    EXPECT_EQ(
        ui::screenQuestionText(QSize(800, 600)),
        u"Required Screen Resolution: 1024 x 768\r\nCurrent Screen Resolution: 800 x 600\r\n\r\n"
        u"This application requires 1024 x 768 screen resolution. Application may not be displyed properly on your "
        u"screen.\r\n\r\n It is highly recommanded that you should increase the screen resolution to 1024 x 768."
        u"\r\n\r\n Do you want to continue any way?"_s);
}

TEST_F(ProgramFixture, StartsShowsSplashThenLoadsAndExits)
{
    ui::Program program(dialogs, clock, options());
    ASSERT_FALSE(program.start().has_value());
    EXPECT_TRUE(QFile::exists(folder.storePath()));
    ASSERT_TRUE(waitUntil([&] { return program.mainWindow() != nullptr; }));

    auto* log = program.mainWindow()->findChild<QPlainTextEdit*>(u"txtActivityLog"_s);
    ASSERT_TRUE(waitUntil([&] { return log->toPlainText().contains(u"Connecting to GSM Modem."_s); }));
    const QStringList lines = log->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines.last().endsWith(u"Initializing WebMail-To-SMS Properties."_s));
    ASSERT_TRUE(waitUntil([&] { return !dialogs.texts.isEmpty(); }));
    EXPECT_EQ(dialogs.texts, QStringList{u"Please set all the settings before connecting with modem."_s});

    QSignalSpy finished(&program, &ui::Program::finished);
    program.exitProgram(0);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(program.hasExited());
    program.exitProgram(0); // a second exit (signal after menu) does nothing more
    EXPECT_EQ(finished.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The store is released: another run may open it now.
    ui::Program next(dialogs, clock, options());
    EXPECT_FALSE(next.start().has_value());
    next.exitProgram(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ProgramFixture, SplashClosesOnAKey)
{
    auto o = options();
    o.splashMs = 60000;
    ui::Program program(dialogs, clock, o);
    ASSERT_FALSE(program.start().has_value());
    ASSERT_NE(program.splash(), nullptr);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, u" "_s);
    QCoreApplication::sendEvent(program.splash(), &key);
    ASSERT_TRUE(waitUntil([&] { return program.mainWindow() != nullptr; }, 2000));
    program.exitProgram(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ProgramFixture, WrongKeyEndsWithTheStoreErrorAndLeavesTheFile)
{
    {
        auto other = store::Database::open(folder.storePath(), u"not ours"_s);
        ASSERT_TRUE(other);
        ASSERT_TRUE(other->exec(u"CREATE TABLE T (x); INSERT INTO T VALUES (1)"_s));
    }
    const QByteArray before = digest();
    ui::Program program(dialogs, clock, options());
    EXPECT_EQ(program.start(), ui::Program::kStoreFailed);
    ASSERT_EQ(dialogs.texts.size(), 1);
    EXPECT_TRUE(dialogs.lastText().contains(folder.storePath())) << dialogs.lastText().toStdString();
    EXPECT_EQ(digest(), before);
    EXPECT_EQ(program.mainWindow(), nullptr);
}

TEST_F(ProgramFixture, SecondGatewayOnTheSameStoreIsRefused)
{
    QDir().mkpath(folder.path());
    QLockFile running(folder.storePath() + u".lock"_s);
    ASSERT_TRUE(running.tryLock(0));

    ui::Program program(dialogs, clock, options());
    EXPECT_EQ(program.start(), ui::Program::kAlreadyRunning);
    EXPECT_TRUE(dialogs.lastText().contains(u"already running"_s)) << dialogs.lastText().toStdString();
    EXPECT_EQ(program.splash(), nullptr);
}

TEST_F(ProgramFixture, TwoProgramsInOneProcessCannotShareAStore)
{
    ui::Program first(dialogs, clock, options());
    ASSERT_FALSE(first.start().has_value());
    ui::Program second(dialogs, clock, options());
    EXPECT_EQ(second.start(), ui::Program::kAlreadyRunning);
    first.exitProgram(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ProgramFixture, SmallScreenAsksAndNoEnds)
{
    dialogs.answerNext(ui::Dialogs::No);
    ui::Program program(dialogs, clock, options(QSize(800, 600)));
    EXPECT_EQ(program.start(), 0);
    EXPECT_EQ(dialogs.lastText(), ui::screenQuestionText(QSize(800, 600)));
    EXPECT_EQ(program.splash(), nullptr);
}

TEST_F(ProgramFixture, SmallScreenAsksAndYesGoesOn)
{
    dialogs.answerNext(ui::Dialogs::Yes);
    ui::Program program(dialogs, clock, options(QSize(800, 600)));
    EXPECT_FALSE(program.start().has_value());
    EXPECT_NE(program.splash(), nullptr);
    program.exitProgram(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ProgramFixture, WideButLowScreenAsksNothing)
{
    ui::Program program(dialogs, clock, options(QSize(1024, 600)));
    EXPECT_FALSE(program.start().has_value());
    EXPECT_TRUE(dialogs.texts.isEmpty());
    program.exitProgram(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ProgramFixture, SilentModemLeavesTheWindowResponsiveAndTheExitPrompt)
{
    modemsim::ModemSimulator sim;
    ASSERT_TRUE(sim.start());
    sim.script(QString(), {modemsim::Behaviour::Silence, -1});
    {
        QDir().mkpath(folder.path());
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        // Every wait of the start-up sequence becomes a second long: seven of them for ATE0.
        ASSERT_TRUE(store::SettingsTables(*db).saveModemSettings(
            {u"1"_s, sim.portName(), u"115200"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s, false, u"20"_s}));
    }
    ui::Program program(dialogs, clock, options());
    ASSERT_FALSE(program.start().has_value());
    ASSERT_TRUE(waitUntil([&] { return program.mainWindow() != nullptr; }));
    ASSERT_TRUE(sim.waitForCommand(u"ATE0"_s, 5000));

    // The engine waits for the modem on its own thread; the window goes on handling events.
    bool handled = false;
    QTimer::singleShot(10, program.mainWindow(), [&] { handled = true; });
    EXPECT_TRUE(waitUntil([&] { return handled; }, 1000));

    QElapsedTimer exiting;
    exiting.start();
    program.exitProgram(0);
    EXPECT_LT(exiting.elapsed(), 5000); // not the seven seconds the modem would have been given
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ProgramFixture, ExitCutsShortAMailTransferToASilentServer)
{
    // An SMTP server that takes the connection and never answers: without the cut, the engine
    // would wait out the mail time-out of a minute for this one row.
    QTcpServer silent;
    ASSERT_TRUE(listenOnAStoredPort(silent));
    {
        QDir().mkpath(folder.path());
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        auto row = store::SettingsTables(*db).timerSetting().value().value();
        row.SMSDeliveryMedia = u"SMTPSMSGATEWAY"_s;
        row.SMSSMTPServer = u"127.0.0.1"_s;
        row.SMSSMTPPort = QString::number(silent.serverPort());
        row.SMSSMTPEmailPostfix = u"sms.example.org"_s;
        row.SMSSMTPYourEmailAddress = u"gateway@mail.example.org"_s;
        ASSERT_TRUE(store::SettingsTables(*db).saveTimerSetting(row));
        ASSERT_TRUE(store::OutboxTable(*db).insert(u"4915112345678"_s, u"held up"_s, clock.now()));
    }
    ui::Program program(dialogs, clock, options());
    ASSERT_FALSE(program.start().has_value());
    ASSERT_TRUE(waitUntil([&] { return program.mainWindow() != nullptr; }));
    QMetaObject::invokeMethod(program.gateway(), &engine::Gateway::sendAll, Qt::QueuedConnection);
    // The engine is inside the transfer once the server has its connection.
    ASSERT_TRUE(waitUntil([&] { return silent.hasPendingConnections(); }, 10000))
        << program.mainWindow()->findChild<QPlainTextEdit*>(u"txtActivityLog"_s)->toPlainText().toStdString();

    QElapsedTimer exiting;
    exiting.start();
    program.exitProgram(0);
    EXPECT_LT(exiting.elapsed(), ui::kEngineStopMs);
    EXPECT_FALSE(program.engineLeftRunning());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    EXPECT_EQ(db->prepare(u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryStatus='SENT'"_s).scalar().value_or(-1),
              0);
}

TEST_F(ProgramFixture, ExitEndsWithinItsBoundWhenTheEngineIgnoresTheStop)
{
    auto o = options();
    o.engineStopMs = 300;
    ui::Program program(dialogs, clock, o);
    ASSERT_FALSE(program.start().has_value());
    ASSERT_TRUE(waitUntil([&] { return program.mainWindow() != nullptr; }));
    engine::Gateway* gateway = program.gateway();
    QPointer<QThread> engineThread = gateway->thread();
    // Shared with the engine's thread, which may outlive this test if it fails half-way.
    auto gatewayGone = std::make_shared<std::atomic<bool>>(false);
    QObject::connect(gateway, &QObject::destroyed, [gatewayGone] { *gatewayGone = true; });

    // A job that does not heed the stop request (no modem wait, no mail transfer to cut): it
    // holds the engine's thread until the test lets it go.
    auto holding = std::make_shared<std::binary_semaphore>(0);
    auto release = std::make_shared<std::binary_semaphore>(0);
    QMetaObject::invokeMethod(
        gateway,
        [holding, release] {
            holding->release();
            (void)release->try_acquire_for(std::chrono::seconds(30));
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(holding->try_acquire_for(std::chrono::seconds(5)));

    QElapsedTimer exiting;
    exiting.start();
    program.exitProgram(0);
    EXPECT_LT(exiting.elapsed(), 2000);
    EXPECT_TRUE(program.hasExited());
    EXPECT_TRUE(program.engineLeftRunning());
    EXPECT_EQ(program.gateway(), nullptr);
    EXPECT_FALSE(*gatewayGone); // not deleted from under the job
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The job ends: the engine shuts down, and the gateway and its thread go by themselves.
    release->release();
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return *gatewayGone && engineThread.isNull();
    }));
}
