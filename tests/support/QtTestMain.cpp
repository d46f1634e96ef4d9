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

int main(int argc, char** argv)
{
    // Screens are tested headless, also when ctest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The activity log's copy on standard error would clutter test output.
    qputenv("QT_LOGGING_RULES", "tarvogate.activity=false");
    ::testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
