#include "NoticeWindow.h"
#include "FakeDialogs.h"
#include "Gateway.h"
#include "MainWindow.h"
#include "Store.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

struct NoticeFixture : ::testing::Test
{
    TempFolder folder;
    FakeClock clock{QDateTime(QDate(2026, 3, 14), QTime(3, 12, 5))};
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
        window = std::make_unique<ui::MainWindow>(db, gateway.get(), dialogs, clock, false);
        QSignalSpy loaded(window.get(), &ui::MainWindow::loaded);
        window->load();
        ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }));
        // The empty store's own start-up notice and the settings screen it opens are not ours.
        if (window->settingsScreen() != nullptr)
            window->settingsScreen()->close();
        ASSERT_TRUE(waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return window->settingsScreen() == nullptr;
        }));
        dialogs.texts.clear();
    }

    void TearDown() override
    {
        window.reset();
        gateway.reset();
    }

    QList<ui::NoticeWindow*> noticeWindows() const
    {
        QList<ui::NoticeWindow*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == u"NoticeWindow"_s)
                found << static_cast<ui::NoticeWindow*>(widget);
        }
        return found;
    }
    ui::NoticeWindow* notices() const { return window->noticeWindow(); }
    QString label(const QString& name) const { return notices()->findChild<QLabel*>(name)->text(); }
};

} // namespace

TEST_F(NoticeFixture, ThousandBackgroundNoticesFillOneWindowAndOpenNoBox)
{
    for (int i = 1; i <= 1000; ++i)
        Q_EMIT gateway->backgroundNotice(u"The SIM card is full (%1)."_s.arg(i));

    ASSERT_EQ(noticeWindows().size(), 1);
    EXPECT_EQ(noticeWindows().first(), notices());
    EXPECT_TRUE(notices()->isVisible());
    EXPECT_FALSE(notices()->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(dialogs.texts.isEmpty());
    EXPECT_EQ(notices()->unseenCount(), 1000);
    EXPECT_EQ(label(u"lblNoticeText"_s), u"The SIM card is full (1000)."_s);
    EXPECT_EQ(notices()->findChild<QLabel*>(u"lblNoticeText"_s)->textFormat(), Qt::PlainText);
    EXPECT_EQ(label(u"lblNoticeCount"_s), u"1000 notices since you last looked; the latest is shown above."_s);
    EXPECT_TRUE(label(u"lblNoticeTime"_s).contains(QLocale().toString(clock.now(), QLocale::ShortFormat)));
}

TEST_F(NoticeFixture, DismissOrCloseStartsTheCountAgain)
{
    for (const QString& text : {u"one"_s, u"two"_s, u"three"_s})
        Q_EMIT gateway->backgroundNotice(text);
    EXPECT_EQ(label(u"lblNoticeCount"_s), u"3 notices since you last looked; the latest is shown above."_s);

    notices()->findChild<QPushButton*>(u"cmdDismiss"_s)->click();
    EXPECT_FALSE(notices()->isVisible());
    EXPECT_EQ(notices()->unseenCount(), 0);

    Q_EMIT gateway->backgroundNotice(u"four"_s);
    EXPECT_TRUE(notices()->isVisible());
    EXPECT_EQ(label(u"lblNoticeText"_s), u"four"_s);
    EXPECT_EQ(label(u"lblNoticeCount"_s), u"1 notice since you last looked."_s);

    notices()->close();
    EXPECT_FALSE(notices()->isVisible());
    EXPECT_EQ(notices()->unseenCount(), 0);
    Q_EMIT gateway->backgroundNotice(u"five"_s);
    EXPECT_EQ(notices()->unseenCount(), 1);
    EXPECT_EQ(noticeWindows().size(), 1);
}

TEST_F(NoticeFixture, NoticeWhileABoxIsOpenGoesToTheWindow)
{
    struct Case
    {
        const char* name;
        std::function<void(engine::Gateway&)> openBox;
        QString boxText;
    };
    const Case cases[] = {
        {"notice box", [](engine::Gateway& g) { Q_EMIT g.notice(u"Modem is currently not connected."_s); },
         u"Modem is currently not connected."_s},
        {"start-up error box", [](engine::Gateway& g) { Q_EMIT g.startUpFinished(u"The store is locked."_s); },
         u"The store is locked."_s},
        {"no-modem question", [](engine::Gateway& g) { Q_EMIT g.noModemFound(u"No modem found. Open settings?"_s); },
         u"No modem found. Open settings?"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        dialogs.deepestNesting = 0;
        notices()->dismiss();
        dialogs.answerNext(ui::Dialogs::No);
        dialogs.whileOpen = [&](const QString&) {
            Q_EMIT gateway->notice(u"Command failed after three ERROR answers."_s);
            Q_EMIT gateway->notice(u"The SIM card could not be read."_s);
        };
        c.openBox(*gateway);
        dialogs.whileOpen = nullptr;

        EXPECT_EQ(dialogs.texts, QStringList{c.boxText});
        EXPECT_EQ(dialogs.deepestNesting, 1);
        EXPECT_EQ(notices()->unseenCount(), 2);
        EXPECT_EQ(notices()->latestText(), u"The SIM card could not be read."_s);

        // With the box closed, the next notice gets its box again.
        Q_EMIT gateway->notice(u"Please set all the settings before connecting with modem."_s);
        EXPECT_EQ(dialogs.lastText(), u"Please set all the settings before connecting with modem."_s);
        EXPECT_EQ(notices()->unseenCount(), 2);
    }
    EXPECT_EQ(window->settingsScreen(), nullptr); // every question was answered No
}

TEST_F(NoticeFixture, NoticeLeavesTheOperatorsWindowActive)
{
    window->openSettings();
    QWidget* operatorsWindow = window->settingsScreen();
    ASSERT_NE(operatorsWindow, nullptr);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == operatorsWindow; }));
    QWidget* typingInto = QApplication::focusWidget();

    Q_EMIT gateway->backgroundNotice(u"The SIM card is full."_s);
    ASSERT_TRUE(notices()->isVisible());
    // Every activation the platform queued has been handled once the notice window is exposed.
    ASSERT_TRUE(waitUntil([&] { return notices()->windowHandle()->isExposed(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), operatorsWindow);
    EXPECT_EQ(QApplication::focusWidget(), typingInto);

    Q_EMIT gateway->backgroundNotice(u"The SIM card is still full."_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), operatorsWindow);
}
