#include "FakeDialogs.h"
#include "Gateway.h"
#include "MailServers.h"
#include "OutboxTable.h"
#include "SettingsDialog.h"
#include "SmtpAdvancedDialog.h"
#include "Store.h"
#include "TestMailbox.h"
#include "TestSupport.h"
#include "TrustedKeyTable.h"
#include "UserAccountTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::MailServers;
using testing_support::TempFolder;
using testing_support::TestMailbox;
using testing_support::waitUntil;

namespace {

// The settings screens with the engine on its own thread, as the program runs them, against
// the loopback mail servers; the one on the second address has a certificate no store trusts.
struct ConnectionTestScreenTest : ::testing::Test
{
    const MailServers& servers = MailServers::instance();
    TestMailbox mailbox{servers};
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db;
    QThread engineThread;
    engine::Gateway* gateway = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(servers.available()) << "TARVOGATE_MAIL_SERVERS_ENV names no servers.env";
        mailbox.empty();
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        gateway = new engine::Gateway(folder.storePath(), clock);
        gateway->moveToThread(&engineThread);
        engineThread.start();
        QMetaObject::invokeMethod(gateway, &engine::Gateway::startUp, Qt::BlockingQueuedConnection);
    }
    void TearDown() override
    {
        QMetaObject::invokeMethod(
            gateway, [engine = gateway] { delete engine; }, Qt::BlockingQueuedConnection);
        engineThread.quit();
        engineThread.wait();
        mailbox.empty();
    }

    template <typename Widget = QLineEdit> static Widget* get(QWidget* screen, const QString& name)
    {
        auto* widget = screen->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    static void click(QWidget* screen, const QString& name) { get<QPushButton>(screen, name)->click(); }
    // The test runs on the engine's thread; its answer comes as a message.
    bool answered(qsizetype messages)
    {
        return waitUntil([&] { return dialogs.texts.size() >= messages; }, 15000);
    }

    void typeMailbox(QWidget* screen, const QString& host, const QString& portKey)
    {
        get(screen, u"Pop3MailServer"_s)->setText(host);
        get(screen, u"Pop3Port"_s)->setText(servers.value(portKey));
        get(screen, u"POP3UserName"_s)->setText(servers.value(u"MAILBOX_USER"_s));
        get(screen, u"POP3Password"_s)->setText(servers.value(u"MAILBOX_PASSWORD"_s));
        get(screen, u"EmailCheckInterval"_s)->setText(u"60"_s);
    }
};

TEST_F(ConnectionTestScreenTest, SelfSignedMailboxIsTrustedFromTheTabAndThenPolled)
{
    const QString host = servers.value(u"UNTRUSTED_MAIL_HOST"_s);
    const int port = servers.port(u"POP3S_PORT"_s);
    ASSERT_TRUE(store::UserAccountTable(db).insert(u"alice"_s, u"s3cret"_s, u"AliceCo"_s, 5));
    ASSERT_TRUE(mailbox.deliver(TestMailbox::request(u"alice"_s, u"s3cret"_s, u"+15550100"_s, u"Hello"_s)));
    ui::SettingsDialog screen(db, gateway, dialogs, false, {u"/dev/ttyUSB0"_s});
    screen.selectTab(ui::SettingsDialog::EmailTab);
    typeMailbox(&screen, host, u"POP3S_PORT"_s);

    click(&screen, u"cmdTestPOP3Connection"_s);
    EXPECT_NE(screen.findChild<QDialog*>(u"frm_TestMailConnection"_s), nullptr);
    ASSERT_TRUE(answered(2)) << dialogs.texts.join(u'\n').toStdString();
    EXPECT_TRUE(dialogs.texts[0].contains(u"is not trusted by this computer"_s)) << dialogs.texts[0].toStdString();
    EXPECT_TRUE(dialogs.texts[0].contains(u"Subject: CN=tarvogate untrusted test server"_s));
    EXPECT_TRUE(dialogs.texts[0].contains(u"SHA-256 fingerprint: "_s));
    EXPECT_TRUE(dialogs.texts[1].contains(u"is trusted now"_s));
    auto pinned = store::TrustedKeyTable(db).find(host, port);
    ASSERT_TRUE(pinned && pinned->has_value());

    click(&screen, u"cmdTestPOP3Connection"_s);
    ASSERT_TRUE(answered(3));
    EXPECT_TRUE(dialogs.texts[2].contains(u"over TLS and logged in as"_s)) << dialogs.texts[2].toStdString();

    // Saved, the next poll of the engine turns the request into an SMS.
    get<QCheckBox>(&screen, u"chkEnableWebMailToSMS"_s)->setChecked(true);
    const std::pair<QString, QString> line[] = {
        {u"Combo_BitsPerSec"_s, u"9600"_s}, {u"Combo_DataBits"_s, u"8"_s},         {u"Combo_Parity"_s, u"None"_s},
        {u"Combo_stopBit"_s, u"1"_s},       {u"Cmb_FlowControl"_s, u"Hardware"_s}, {u"cmb_CharSet"_s, u"GSM"_s},
        {u"cmbDelay"_s, u"1.5"_s},
    };
    get<QComboBox>(&screen, u"Combo_comportNo"_s)->setEditText(u"/dev/ttyUSB0"_s);
    for (const auto& [name, value] : line)
        get<QComboBox>(&screen, name)->setCurrentText(value);
    click(&screen, u"cmdSave"_s);
    ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    QMetaObject::invokeMethod(gateway, &engine::Gateway::onMailboxTick, Qt::BlockingQueuedConnection);
    EXPECT_EQ(db.prepare(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+15550100'"_s).scalar(), 1);
    EXPECT_EQ(mailbox.count(), 0);
}

TEST_F(ConnectionTestScreenTest, DecliningTheCertificateStoresNothing)
{
    ui::SettingsDialog screen(db, gateway, dialogs, false, {});
    typeMailbox(&screen, servers.value(u"UNTRUSTED_MAIL_HOST"_s), u"POP3_PORT"_s);
    dialogs.answerNext(ui::Dialogs::No);
    click(&screen, u"cmdTestPOP3Connection"_s);
    ASSERT_TRUE(answered(1));
    QApplication::processEvents();
    EXPECT_EQ(dialogs.texts.size(), 1);
    EXPECT_EQ(db.prepare(u"SELECT COUNT(*) FROM MailServer_TrustedKeys"_s).scalar(), 0);
}

TEST_F(ConnectionTestScreenTest, CancelEndsATestOfASilentServerAtOnce)
{
    ui::SettingsDialog screen(db, gateway, dialogs, false, {});
    typeMailbox(&screen, servers.value(u"MAIL_HOST"_s), u"SILENT_PORT"_s);
    QSignalSpy finished(gateway, &engine::Gateway::connectionTestFinished);
    click(&screen, u"cmdTestPOP3Connection"_s);
    auto* window = screen.findChild<QDialog*>(u"frm_TestMailConnection"_s);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
    click(window, u"cmdCancel"_s);
    // Well inside the mailbox's 10 s time-out.
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 4000));
    EXPECT_EQ(finished.first().at(1).value<mail::ConnectionReport>().outcome,
              mail::ConnectionReport::Outcome::Cancelled);
    QApplication::processEvents();
    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.texts.join(u'\n').toStdString();
}

TEST_F(ConnectionTestScreenTest, SmtpScreenTestsWhatIsTypedThere)
{
    const struct
    {
        const char* name;
        QString portKey;
        bool allowPlain;
        QString password;
        QString says;
    } cases[] = {
        {"no STARTTLS and no leave to log in without",
         u"SMTP_PLAIN_AUTH_PORT"_s,
         false,
         {},
         u"offers no STARTTLS, so the password was not sent"_s},
        {"no STARTTLS, plain login allowed", u"SMTP_PLAIN_AUTH_PORT"_s, true, {}, u"without TLS"_s},
        {"wrong password", u"SMTPS_PORT"_s, false, u"not-it"_s, u"refused the user name or the password"_s},
        {"right password", u"SMTPS_PORT"_s, false, {}, u"over TLS and logged in as smtpuser"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        ui::SmtpAdvancedDialog screen(db, gateway, dialogs);
        screen.setSmtpServer(servers.value(u"MAIL_HOST"_s), servers.value(c.portKey));
        get<QCheckBox>(&screen, u"chkSMSSMTPAuthenticationRequired"_s)->setChecked(true);
        get<QComboBox>(&screen, u"cmbSMSSMTPAuthenticationType"_s)->setCurrentIndex(2);
        get(&screen, u"txtSMSSMTPUserName"_s)->setText(servers.value(u"SMTP_USER"_s));
        get(&screen, u"txtSMSSMTPPassword"_s)
            ->setText(c.password.isEmpty() ? servers.value(u"SMTP_PASSWORD"_s) : c.password);
        get<QCheckBox>(&screen, u"chkAllowPlainSMTPLogin"_s)->setChecked(c.allowPlain);
        click(&screen, u"cmdTestSMTPConnection"_s);
        ASSERT_TRUE(answered(1));
        EXPECT_TRUE(dialogs.texts[0].contains(c.says)) << dialogs.texts[0].toStdString();
        // Testing stores nothing of what was typed.
        EXPECT_EQ(db.prepare(u"SELECT COUNT(*) FROM Timer_Setting WHERE SMSSMTPUserName IS NOT NULL"_s).scalar(), 0);
    }
}

// Opened from the settings screen, the advanced screen tests the server and port typed there,
// before anything is saved.
TEST_F(ConnectionTestScreenTest, AdvancedScreenTestsTheServerTypedOnTheSettingsScreen)
{
    ui::SettingsDialog screen(db, gateway, dialogs, false, {});
    get<QRadioButton>(&screen, u"optSMTPSMSGateway"_s)->setChecked(true);
    get(&screen, u"txtSMSSMTPServer"_s)->setText(servers.value(u"MAIL_HOST"_s));
    get(&screen, u"txtSMSSMTPPort"_s)->setText(servers.value(u"SMTPS_PORT"_s));
    bool answeredThere = false;
    dialogs.onDialog[u"frm_SMTPSMS_AdvancedSettings"_s] = [&](QDialog& advanced) {
        get<QCheckBox>(&advanced, u"chkSMSSMTPAuthenticationRequired"_s)->setChecked(true);
        get<QComboBox>(&advanced, u"cmbSMSSMTPAuthenticationType"_s)->setCurrentIndex(2);
        get(&advanced, u"txtSMSSMTPUserName"_s)->setText(servers.value(u"SMTP_USER"_s));
        get(&advanced, u"txtSMSSMTPPassword"_s)->setText(servers.value(u"SMTP_PASSWORD"_s));
        click(&advanced, u"cmdTestSMTPConnection"_s);
        answeredThere = answered(1);
        click(&advanced, u"cmdExit"_s);
    };
    click(&screen, u"cmdAdvancedSettings"_s);
    EXPECT_EQ(dialogs.opened, QStringList{u"frm_SMTPSMS_AdvancedSettings"_s});
    ASSERT_TRUE(answeredThere);
    EXPECT_TRUE(dialogs.texts[0].contains(u"over TLS and logged in as smtpuser"_s)) << dialogs.texts[0].toStdString();
    EXPECT_EQ(db.prepare(u"SELECT COUNT(*) FROM Timer_Setting WHERE SMSSMTPUserName IS NOT NULL"_s).scalar(), 0);
}

} // namespace
