// One entry point for every suite: a Qt application object first (screens need a
// QApplication, the rest a QCoreApplication), then GoogleTest.
#include <gtest/gtest.h>

#ifdef TARVOGATE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <QTimer>

#include <cstdio>

namespace {

// A test that ends the program calls QCoreApplication::exit without a running application loop;
// that leaves the thread marked to quit, and every later modal dialog would return at once.
// One turn of the application loop after each test clears the mark (and runs what is left
// queued, so nothing a test posted reaches the next one).
class ClearQuitRequest final : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
};

QtMessageHandler previousHandler = nullptr;

// The offscreen platform says this for every dialog that runs modally; it tells nothing about
// the code under test.
void dropPlatformChatter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message == QStringLiteral("This plugin does not support propagateSizeHints()"))
        return;
    if (previousHandler != nullptr)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    // Screens are tested headless, also when ctest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The activity log's copy on standard error would clutter test output.
    qputenv("QT_LOGGING_RULES", "tarvogate.activity=false");
    ::testing::InitGoogleTest(&argc, argv);
    previousHandler = qInstallMessageHandler(dropPlatformChatter);
    TestApplication app(argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ClearQuitRequest);
    return RUN_ALL_TESTS();
}
