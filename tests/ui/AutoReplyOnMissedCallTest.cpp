#include "FakeDialogs.h"
#include "MissedCallReplyDialog.h"
#include "Gateway.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

struct AutoReplyScreenTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db;
    std::unique_ptr<engine::Gateway> gateway;

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock);
    }

    std::unique_ptr<ui::MissedCallReplyDialog> open()
    {
        return std::make_unique<ui::MissedCallReplyDialog>(db, gateway.get(), dialogs);
    }

    static QPlainTextEdit* message(QWidget* screen) { return screen->findChild<QPlainTextEdit*>(u"txtMessage"_s); }
    static QCheckBox* enabled(QWidget* screen) { return screen->findChild<QCheckBox*>(u"chkEnableAutoReply"_s); }
    static void click(QWidget* screen, const QString& name) { screen->findChild<QPushButton*>(name)->click(); }
};

} // namespace

TEST_F(AutoReplyScreenTest, SaveStoresTheTextAndSwitchAndTellsTheEngine)
{
    auto screen = open();
    EXPECT_EQ(screen->windowTitle(), u"AutoReply on Missed Call"_s);
    EXPECT_TRUE(message(screen.get())->toPlainText().isEmpty());
    EXPECT_FALSE(enabled(screen.get())->isChecked());

    message(screen.get())->setPlainText(u"  Sorry, I'm in a meeting. I'll call back.  "_s);
    enabled(screen.get())->setChecked(true);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(screen->result(), QDialog::Accepted);

    auto row = store::SettingsTables(db).missedCallReply();
    ASSERT_TRUE(row && row->has_value());
    EXPECT_EQ((*row)->Message, u"Sorry, I'm in a meeting. I'll call back."_s);
    EXPECT_TRUE((*row)->IsActive);
    ASSERT_TRUE(waitUntil(
        [&] { return gateway->settings().MissedCallReplyText == u"Sorry, I'm in a meeting. I'll call back."_s; }));
    // The switch itself takes effect at the next start.
    EXPECT_FALSE(gateway->settings().MissedCallReplyOn);

    auto again = open();
    EXPECT_EQ(message(again.get())->toPlainText(), u"Sorry, I'm in a meeting. I'll call back."_s);
    EXPECT_TRUE(enabled(again.get())->isChecked());
}

TEST_F(AutoReplyScreenTest, TextIsLimitedTo160Characters)
{
    auto screen = open();
    message(screen.get())->setPlainText(QString(200, u'x'));
    EXPECT_EQ(message(screen.get())->toPlainText().size(), 160);
}

TEST_F(AutoReplyScreenTest, ExitSavesNothing)
{
    ASSERT_TRUE(store::SettingsTables(db).saveMissedCallReply({u"kept"_s, false}));
    auto screen = open();
    message(screen.get())->setPlainText(u"changed"_s);
    click(screen.get(), u"cmdExit"_s);
    EXPECT_EQ(screen->result(), QDialog::Rejected);
    EXPECT_EQ(store::SettingsTables(db).missedCallReply().value()->Message, u"kept"_s);
}
