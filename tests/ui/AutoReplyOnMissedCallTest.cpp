#include "FakeDialogs.h"
#include "Gateway.h"
#include "MissedCallReplyDialog.h"
#include "ModemSimulator.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

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

    // The engine as the program runs it, on its store; with the simulated modem when one is given.
    void startGateway(modemsim::ModemSimulator* sim = nullptr)
    {
        if (sim != nullptr) {
            QString error;
            ASSERT_TRUE(sim->start(&error)) << error.toStdString();
            ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(
                {u"1"_s, sim->portName(), u"115200"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s, true, u"1"_s}));
        }
        gateway->sounds().setMuted(true);
        gateway->startUp();
        ASSERT_TRUE(gateway->isStarted());
    }

    qint64 count(const QString& sql) const { return db.prepare(sql).scalar().value_or(-1); }

    static QPlainTextEdit* message(QWidget* screen) { return screen->findChild<QPlainTextEdit*>(u"txtMessage"_s); }
    static QCheckBox* enabled(QWidget* screen) { return screen->findChild<QCheckBox*>(u"chkEnableAutoReply"_s); }
    static void click(QWidget* screen, const QString& name) { screen->findChild<QPushButton*>(name)->click(); }
};

} // namespace

TEST_F(AutoReplyScreenTest, SaveStoresTheTextAndSwitchAndTellsTheEngine)
{
    startGateway();
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
    // The switch and the text both apply at once, not at the next start.
    ASSERT_TRUE(waitUntil([&] { return gateway->settings().MissedCallReplyOn; }));
    EXPECT_EQ(gateway->settings().MissedCallReplyText, u"Sorry, I'm in a meeting. I'll call back."_s);

    auto again = open();
    EXPECT_EQ(message(again.get())->toPlainText(), u"Sorry, I'm in a meeting. I'll call back."_s);
    EXPECT_TRUE(enabled(again.get())->isChecked());

    // Switched off again: off at once as well.
    enabled(again.get())->setChecked(false);
    click(again.get(), u"cmdSave"_s);
    ASSERT_TRUE(waitUntil([&] { return !gateway->settings().MissedCallReplyOn; }));
}

TEST_F(AutoReplyScreenTest, MissedCallRightAfterSavingGetsTheReply)
{
    modemsim::ModemSimulator sim;
    startGateway(&sim);
    ASSERT_FALSE(gateway->settings().MissedCallReplyOn);
    QSignalSpy hungUp(gateway.get(), &engine::Gateway::callerHungUp);

    auto screen = open();
    message(screen.get())->setPlainText(u"In a meeting,\nI'll call back."_s);
    enabled(screen.get())->setChecked(true);
    click(screen.get(), u"cmdSave"_s);

    // The call comes at once; the engine handles the save queued before it.
    sim.ring(u"+919812345678"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->calls().LastCallStatus == u"RINGING"_s; }));
    sim.hangUp();
    ASSERT_TRUE(waitUntil([&] { return hungUp.size() == 1; }));
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+919812345678' AND "
                    u"Message='In a meeting,'||char(13,10)||'I''ll call back.' AND DeliveryDatetime IS NULL"_s),
              1);
}

TEST_F(AutoReplyScreenTest, TextIsLimitedTo160StoredCharacters)
{
    auto screen = open();
    auto* counter = screen->findChild<QLabel*>(u"lblCount"_s);
    ASSERT_NE(counter, nullptr);
    const struct
    {
        const char* name;
        QString typed;
        QString kept;
        QString counter;
    } cases[] = {
        {"short", u"Call you back"_s, u"Call you back"_s, u"13 of 160 characters, 1 SMS"_s},
        {"200 characters", QString(200, u'x'), QString(160, u'x'), u"160 of 160 characters, 1 SMS"_s},
        // A line break is stored as CR LF: two of the 160.
        {"line break near the end", QString(158, u'x') + u"\nab"_s, QString(158, u'x') + u"\n"_s,
         u"160 of 160 characters, 1 SMS"_s},
        {"line break at the limit", QString(159, u'x') + u"\n"_s, QString(159, u'x'),
         u"159 of 160 characters, 1 SMS"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        message(screen.get())->setPlainText(c.typed);
        EXPECT_EQ(message(screen.get())->toPlainText(), c.kept);
        EXPECT_EQ(counter->text(), c.counter);
    }
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
