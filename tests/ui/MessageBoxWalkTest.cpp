// The operator's walk through the running gateway with the simulated modem: compose to two
// numbers, send them, receive an SMS, read it and reply to it.
#include "FakeDialogs.h"
#include "Gateway.h"
#include "MainWindow.h"
#include "MessageBoxWindow.h"
#include "ModemSimulator.h"
#include "Program.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

QStringList column(QTreeWidget* list, int index)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts << list->topLevelItem(row)->text(index);
    return texts;
}

} // namespace

TEST(MessageBoxWalk, ComposeSendReceiveReadAndReply)
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    modemsim::ModemSimulator sim;
    ASSERT_TRUE(sim.start());
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        ASSERT_TRUE(store::SettingsTables(*db).saveModemSettings(
            {u"1"_s, sim.portName(), u"115200"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s, true, u"1"_s}));
        // Only the operator acts here: no timer sends or receives behind the walk's back.
        ASSERT_TRUE(db->exec(u"UPDATE Timer_Setting SET EnableSendTimer=0, EnableReceiveTimer=0"_s));
    }
    ui::ProgramOptions options;
    options.location.appDir = folder.path();
    options.location.isWritableDir = [](const QString&) { return true; };
    options.splashMs = 10;
    options.screenSize = QSize(1280, 1024);
    ui::Program program(dialogs, clock, options);
    ASSERT_FALSE(program.start().has_value());
    ASSERT_TRUE(waitUntil([&] { return program.mainWindow() != nullptr; }));
    ASSERT_TRUE(sim.waitForCommand(u"AT+CMGF=1"_s, 5000));

    program.mainWindow()->findChild<QAction*>(u"tbrMessageBox"_s)->trigger();
    ui::MessageBoxWindow* box = program.mainWindow()->messageBox();
    ASSERT_NE(box, nullptr);
    auto* list = box->findChild<QTreeWidget*>(u"ListMessage"_s);
    auto* tree = box->findChild<QTreeWidget*>(u"TreeView1"_s);
    const auto folderNode = [&](int child) { return tree->topLevelItem(0)->child(child); };

    // The message box opens on the Inbox, empty for now.
    EXPECT_EQ(box->folder(), ui::MessageBoxWindow::Folder::Inbox);
    EXPECT_EQ(list->topLevelItemCount(), 0);

    // Compose to two numbers.
    dialogs.onDialog[u"frm_ComposeSMS"_s] = [](QDialog& compose) {
        compose.findChild<QLineEdit*>(u"MobileNumbers"_s)->setText(u"+49 151 1234 5678, 0171.1234567"_s);
        compose.findChild<QPlainTextEdit*>(u"Message"_s)->setPlainText(u"Meeting at 10, it's room 4"_s);
        compose.findChild<QPushButton*>(u"Command1"_s)->click();
    };
    box->findChild<QAction*>(u"tbrCompose"_s)->trigger();
    EXPECT_EQ(folderNode(1)->text(0), u"Outbox(2)"_s);
    Q_EMIT tree->itemClicked(folderNode(1), 0);
    EXPECT_EQ(column(list, 0), (QStringList{u"+4915112345678"_s, u"01711234567"_s}));

    // Send All: both leave through the modem and move to Sent Items.
    box->findChild<QAction*>(u"tbrSendAll"_s)->trigger();
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 0; }, 10000));
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_EQ(folderNode(1)->text(0), u"Outbox"_s);
    Q_EMIT tree->itemClicked(folderNode(2), 0);
    EXPECT_EQ(list->topLevelItemCount(), 2);

    // An SMS arrives; Receive All brings it in, bold until it is read.
    sim.injectIncomingSms(u"+447700900123"_s, u"Can we move it to 11?"_s);
    Q_EMIT tree->itemClicked(folderNode(0), 0);
    box->findChild<QAction*>(u"tbrReceiveAll"_s)->trigger();
    ASSERT_TRUE(
        waitUntil([&] { return folderNode(0)->text(0) == u"Inbox(1)"_s && list->topLevelItemCount() == 1; }, 10000));
    QTreeWidgetItem* received = list->topLevelItem(0);
    EXPECT_EQ(received->text(0), u"+447700900123"_s);
    EXPECT_TRUE(received->font(0).bold());
    EXPECT_TRUE(sim.simMessages().isEmpty());

    list->setCurrentItem(received);
    received->setSelected(true);
    Q_EMIT list->itemClicked(received, 0);
    EXPECT_FALSE(list->topLevelItem(0)->font(0).bold());
    EXPECT_EQ(folderNode(0)->text(0), u"Inbox"_s);
    EXPECT_TRUE(box->findChild<QPlainTextEdit*>(u"txtMessage"_s)->toPlainText().startsWith(u"Can we move it to 11?"_s));

    // Reply: the sender's number is already in the compose screen.
    dialogs.onDialog[u"frm_ComposeSMS"_s] = [](QDialog& compose) {
        EXPECT_EQ(compose.findChild<QLineEdit*>(u"MobileNumbers"_s)->text(), u"+447700900123"_s);
        compose.findChild<QPlainTextEdit*>(u"Message"_s)->setPlainText(u"Yes, 11 is fine."_s);
        compose.findChild<QPushButton*>(u"Command1"_s)->click();
    };
    box->findChild<QAction*>(u"tbrReply"_s)->trigger();
    EXPECT_EQ(folderNode(1)->text(0), u"Outbox(1)"_s);
    EXPECT_EQ(dialogs.opened, (QStringList{u"frm_ComposeSMS"_s, u"frm_ComposeSMS"_s}));

    program.exitProgram(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
