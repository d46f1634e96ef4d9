#include "FakeDialogs.h"
#include "FieldChecks.h"
#include "FoundModemsDialog.h"
#include "Gateway.h"
#include "LinkLabel.h"
#include "MainWindow.h"
#include "ModemSearchProgress.h"
#include "ModemSimulator.h"
#include "OutboxTable.h"
#include "SettingsDialog.h"
#include "SettingsTables.h"
#include "SilentDevice.h"
#include "SmtpAdvancedDialog.h"
#include "Store.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::SilentDevice;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

const QString kModemLists[] = {u"Combo_BitsPerSec"_s, u"Combo_DataBits"_s, u"Combo_Parity"_s, u"Combo_stopBit"_s,
                               u"Cmb_FlowControl"_s,  u"cmb_CharSet"_s,    u"cmbDelay"_s};

struct SettingsScreenTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db;
    std::unique_ptr<engine::Gateway> gateway;

    void SetUp() override
    {
        openStoreAndEngine();
        gateway->startUp();
    }

    void openStoreAndEngine()
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock);
    }

    std::unique_ptr<ui::SettingsDialog> open(bool modemConnected = false, const QStringList& ports = {})
    {
        return std::make_unique<ui::SettingsDialog>(db, gateway.get(), dialogs, modemConnected, ports);
    }

    template <typename Widget = QLineEdit> static Widget* get(QWidget* screen, const QString& name)
    {
        auto* widget = screen->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    static QComboBox* list(QWidget* screen, const QString& name) { return get<QComboBox>(screen, name); }
    static void click(QWidget* screen, const QString& name) { get<QPushButton>(screen, name)->click(); }
    static int tab(QWidget* screen) { return get<QTabWidget>(screen, u"tabSettings"_s)->currentIndex(); }

    // Everything a save needs, on top of the store's default timer row.
    static void fillMailbox(QWidget* screen)
    {
        get(screen, u"Pop3MailServer"_s)->setText(u"pop.example.org"_s);
        get(screen, u"Pop3Port"_s)->setText(u"110"_s);
        get(screen, u"POP3UserName"_s)->setText(u"sms"_s);
        get(screen, u"POP3Password"_s)->setText(u"secret"_s);
        get(screen, u"EmailCheckInterval"_s)->setText(u"60"_s);
    }
    static void fillModem(QWidget* screen, const QString& port = u"/dev/ttyUSB0"_s)
    {
        list(screen, u"Combo_comportNo"_s)->setEditText(port);
        list(screen, u"Combo_BitsPerSec"_s)->setCurrentText(u"9600"_s);
        list(screen, u"Combo_DataBits"_s)->setCurrentText(u"8"_s);
        list(screen, u"Combo_Parity"_s)->setCurrentText(u"None"_s);
        list(screen, u"Combo_stopBit"_s)->setCurrentText(u"1"_s);
        list(screen, u"Cmb_FlowControl"_s)->setCurrentText(u"Hardware"_s);
        list(screen, u"cmb_CharSet"_s)->setCurrentText(u"GSM"_s);
        list(screen, u"cmbDelay"_s)->setCurrentText(u"1.5"_s);
    }
    // What the SMTP gateway option needs to save; the other options do not look at it.
    static void fillSmtpGateway(QWidget* screen)
    {
        get(screen, u"txtSMSSMTPFromName"_s)->setText(u"Office"_s);
        get(screen, u"txtSMSSMTPServer"_s)->setText(u"smtp.example.org"_s);
        get(screen, u"txtSMSSMTPPort"_s)->setText(u"2525"_s);
        get(screen, u"txtSMSSMTPYourEmailAddress"_s)->setText(u"gw@example.org"_s);
    }

    store::TimerSettingRow timerRow() const
    {
        auto row = store::SettingsTables(db).timerSetting();
        EXPECT_TRUE(row && row->has_value());
        return row && row->has_value() ? **row : store::TimerSettingRow{};
    }
    std::optional<store::Pop3SettingsRow> mailboxRow() const
    {
        auto row = store::SettingsTables(db).pop3Settings();
        EXPECT_TRUE(row);
        return row ? *row : std::nullopt;
    }
    std::optional<store::ModemSettingsRow> modemRow() const
    {
        auto row = store::SettingsTables(db).modemSettings();
        EXPECT_TRUE(row);
        return row ? *row : std::nullopt;
    }
};

} // namespace

TEST(FieldChecks, TimesAreNumbersWithoutSignsOrCommasUpTo65)
{
    const std::tuple<QString, bool, QString> cases[] = {
        {u"10"_s, true, QString()},
        {u" 65 "_s, false, QString()},
        {u"abc"_s, true, u"Please enter numeric value."_s},
        {u"1a"_s, true, u"Please enter numeric value."_s},
        {u"$5"_s, true, u"Doller sign is not allowed in time."_s},
        {u"+5"_s, true, u"Pluse sign is not allowed in time."_s},
        {u"-5"_s, false, u"Minus sign is not allowed in time."_s},
        {u"1,0"_s, true, u"Quama is not allowed in time."_s},
        {u"70"_s, true, u"Receive message time should be less than or equal to 65 seconds."_s},
        {u"70"_s, false, u"Send Message time should be less than or equal to 65 seconds."_s},
        {u"65.5"_s, false, u"Send Message time should be less than or equal to 65 seconds."_s},
    };
    for (const auto& [text, receive, message] : cases)
        EXPECT_EQ(ui::timeFieldProblem(text, receive), message) << text.toStdString();
    EXPECT_DOUBLE_EQ(ui::numericValue(u"-$1,000.5"_s), -1000.5);
    EXPECT_DOUBLE_EQ(ui::numericValue(u"2e2"_s), 200);
    EXPECT_FALSE(ui::isNumeric(u"."_s));
    EXPECT_FALSE(ui::isNumeric(u"5 5"_s));
}

TEST_F(SettingsScreenTest, TimeFieldsAreCheckedWhileTyping)
{
    auto screen = open();
    QLineEdit* receive = get(screen.get(), u"txttime"_s);
    EXPECT_EQ(receive->text(), u"10"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty());

    for (const QString& bad : {u"$5"_s, u"+5"_s, u"-5"_s, u"1,0"_s, u"70"_s}) {
        receive->setText(bad);
        EXPECT_TRUE(receive->text().isEmpty()) << bad.toStdString();
        EXPECT_EQ(screen->focusWidget(), receive);
    }
    EXPECT_EQ(dialogs.texts,
              (QStringList{u"Doller sign is not allowed in time."_s, u"Pluse sign is not allowed in time."_s,
                           u"Minus sign is not allowed in time."_s, u"Quama is not allowed in time."_s,
                           u"Receive message time should be less than or equal to 65 seconds."_s}));

    // Typed one key at a time, 7 passes and 70 does not.
    QLineEdit* send = get(screen.get(), u"txtSendmsgtime"_s);
    send->clear();
    dialogs.texts.clear();
    QTest::keyClicks(send, u"70"_s);
    EXPECT_TRUE(send->text().isEmpty());
    EXPECT_EQ(dialogs.texts, QStringList{u"Send Message time should be less than or equal to 65 seconds."_s});
    QTest::keyClicks(send, u"65"_s);
    EXPECT_EQ(send->text(), u"65"_s);

    // A disabled timer's field cannot be typed into.
    get<QCheckBox>(screen.get(), u"chkEnableSend"_s)->setChecked(false);
    EXPECT_FALSE(send->isEnabled());
}

TEST_F(SettingsScreenTest, EmptyPop3ServerIsRefusedEvenWithTheFeatureOff)
{
    auto screen = open();
    screen->selectTab(ui::SettingsDialog::ModemTab);
    EXPECT_FALSE(get<QCheckBox>(screen.get(), u"chkEnableWebMailToSMS"_s)->isChecked());
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"Please Enter POP3 Mail Server Name / IP"_s});
    EXPECT_EQ(tab(screen.get()), ui::SettingsDialog::EmailTab);
    EXPECT_EQ(screen->focusWidget(), get(screen.get(), u"Pop3MailServer"_s));
    EXPECT_FALSE(mailboxRow().has_value());

    const std::pair<QString, QString> steps[] = {
        {u"Pop3MailServer"_s, u"Please Enter Numeric Port Number"_s},
        {u"Pop3Port"_s, u"Please Enter POP3 Username"_s},
        {u"POP3UserName"_s, u"Please Enter POP3 Password"_s},
        {u"POP3Password"_s, u"Please Enter Numeric Email Checking Interval"_s},
    };
    for (const auto& [filled, next] : steps) {
        get(screen.get(), filled)->setText(filled == u"Pop3Port"_s ? u"110"_s : u"x"_s);
        click(screen.get(), u"cmdSave"_s);
        EXPECT_EQ(dialogs.lastText(), next);
    }
    // Masked, as passwords are.
    EXPECT_EQ(get(screen.get(), u"POP3Password"_s)->echoMode(), QLineEdit::Password);
}

// Both port fields: a refused port stores nothing of its tab, an accepted one is stored as the
// plain number, and the engine then uses exactly that port.
TEST_F(SettingsScreenTest, PortsAreWholeNumbersFrom1To65535)
{
    const std::pair<QString, std::optional<int>> cases[] = {
        {u"995"_s, 995},        {u"995.0"_s, std::nullopt}, {u"1,10"_s, std::nullopt},  {u"-5"_s, std::nullopt},
        {u"0"_s, std::nullopt}, {u"65535"_s, 65535},        {u"65536"_s, std::nullopt}, {u" 110 "_s, 110},
        {u"40000"_s, 40000},
    };
    const QString smtpRefusal = u"Please enter the SMTP Port Number as a whole number from 1 to 65535."_s;
    for (const auto& [typed, port] : cases) {
        SCOPED_TRACE(typed.toStdString());
        auto screen = open();
        fillMailbox(screen.get());
        fillModem(screen.get());
        get(screen.get(), u"Pop3Port"_s)->setText(typed);
        dialogs.texts.clear();
        click(screen.get(), u"cmdSave"_s);
        if (port) {
            ASSERT_TRUE(mailboxRow().has_value());
            EXPECT_EQ(mailboxRow()->POP3Port, QString::number(*port));
        } else {
            EXPECT_EQ(dialogs.lastText(), u"Please Enter Numeric Port Number"_s);
            EXPECT_EQ(screen->focusWidget(), get(screen.get(), u"Pop3Port"_s));
        }

        get(screen.get(), u"Pop3Port"_s)->setText(u"110"_s);
        get<QRadioButton>(screen.get(), u"optSMTPSMSGateway"_s)->setChecked(true);
        get(screen.get(), u"txtSMSSMTPFromName"_s)->setText(u"Office"_s);
        get(screen.get(), u"txtSMSSMTPServer"_s)->setText(u"smtp.example.org"_s);
        get(screen.get(), u"txtSMSSMTPYourEmailAddress"_s)->setText(u"gw@example.org"_s);
        get(screen.get(), u"txtSMSSMTPPort"_s)->setText(typed);
        const QString before = timerRow().SMSSMTPPort;
        dialogs.texts.clear();
        click(screen.get(), u"cmdSave"_s);
        if (port) {
            EXPECT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
            EXPECT_EQ(timerRow().SMSSMTPPort, QString::number(*port));
            ASSERT_TRUE(waitUntil([&] { return gateway->settings().SMSSMTPPort == *port; }));
        } else {
            EXPECT_EQ(dialogs.lastText(), smtpRefusal);
            EXPECT_EQ(screen->focusWidget(), get(screen.get(), u"txtSMSSMTPPort"_s));
            EXPECT_EQ(timerRow().SMSSMTPPort, before);
        }
    }
}

TEST_F(SettingsScreenTest, EmailIntervalFrom3To86400)
{
    auto screen = open();
    fillMailbox(screen.get());
    QLineEdit* interval = get(screen.get(), u"EmailCheckInterval"_s);
    const QString refusal = u"Please insert seconds greater than or equal to 3 and less than or equal to 86400."_s;
    for (const QString& bad : {u"2"_s, u"86401"_s, u"0"_s}) {
        interval->setText(bad);
        click(screen.get(), u"cmdSave"_s);
        EXPECT_EQ(dialogs.lastText(), refusal) << bad.toStdString();
        EXPECT_TRUE(interval->text().isEmpty());
        EXPECT_FALSE(mailboxRow().has_value());
    }
    for (const QString& good : {u"3"_s, u"86400"_s}) {
        dialogs.texts.clear();
        interval->setText(good);
        click(screen.get(), u"cmdSave"_s);
        EXPECT_FALSE(dialogs.texts.contains(refusal));
        ASSERT_TRUE(mailboxRow().has_value());
        EXPECT_EQ(mailboxRow()->EmailCheckInterval, good);
    }
}

TEST_F(SettingsScreenTest, RefusalsLaterInTheSaveKeepWhatWasStoredBefore)
{
    auto screen = open();
    fillMailbox(screen.get());
    get<QCheckBox>(screen.get(), u"chkEnableWebMailToSMS"_s)->setChecked(true);
    QLineEdit* receive = get(screen.get(), u"txttime"_s);
    receive->setText(u"2"_s);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"Automatically receive all messages time should be greater than or equal to 3."_s);
    EXPECT_TRUE(receive->text().isEmpty());
    EXPECT_EQ(tab(screen.get()), ui::SettingsDialog::TimerTab);
    // The mailbox part was stored, and the engine polls at once.
    ASSERT_TRUE(mailboxRow().has_value());
    EXPECT_TRUE(mailboxRow()->IsEnabled);
    ASSERT_TRUE(waitUntil([&] { return gateway->Timer_WebMailToSMS().interval() == 60000; }));
    EXPECT_TRUE(gateway->Timer_WebMailToSMS().isActive());

    receive->setText(u"3"_s);
    get(screen.get(), u"txtSendmsgtime"_s)->setText(u"20"_s);
    // The lists start with the usual line chosen; emptied, each is asked for in turn.
    for (const QString& name : kModemLists)
        list(screen.get(), name)->setCurrentIndex(-1);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"Please select Comm port Number."_s);
    EXPECT_EQ(tab(screen.get()), ui::SettingsDialog::ModemTab);
    EXPECT_EQ(timerRow().ReceiveAllMessagesTime, u"3"_s);
    EXPECT_EQ(timerRow().SendAllMessagesTime, u"20"_s);
    EXPECT_FALSE(modemRow().has_value());

    const std::pair<QString, QString> steps[] = {
        {u"Combo_comportNo"_s, u"Please select Bits Per Second."_s},
        {u"Combo_BitsPerSec"_s, u"Please select Data Bits."_s},
        {u"Combo_DataBits"_s, u"Please select Parity."_s},
        {u"Combo_Parity"_s, u"Please select Stop bits."_s},
        {u"Combo_stopBit"_s, u"Please select Flow Control."_s},
        {u"Cmb_FlowControl"_s, u"Please select Character set."_s},
        {u"cmb_CharSet"_s, u"Please select the Modem Delay Factor (1=Faster Modem, 4=Slower Modem )."_s},
    };
    for (const auto& [filled, next] : steps) {
        QComboBox* combo = list(screen.get(), filled);
        if (combo->isEditable())
            combo->setEditText(u"/dev/ttyS2"_s);
        else
            combo->setCurrentIndex(0);
        click(screen.get(), u"cmdSave"_s);
        EXPECT_EQ(dialogs.lastText(), next);
    }
    EXPECT_FALSE(modemRow().has_value());
    list(screen.get(), u"cmbDelay"_s)->setCurrentText(u"2.25"_s);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    ASSERT_TRUE(modemRow().has_value());
    EXPECT_EQ(modemRow()->CommPortName, u"/dev/ttyS2"_s);
    EXPECT_EQ(modemRow()->CommPortNo, u"3"_s);
    EXPECT_EQ(modemRow()->Parity, u"e"_s);
    EXPECT_EQ(modemRow()->FlowControl, u"0"_s);
    EXPECT_EQ(modemRow()->ModemDelayFactor, u"2.25"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->settings().ModemDelayFactor == 2.25; }));
}

TEST_F(SettingsScreenTest, SavedValuesComeBackInTheirListsAndForms)
{
    {
        auto screen = open();
        fillMailbox(screen.get());
        fillModem(screen.get(), u"/dev/serial/by-id/usb-Example_Modem-if00"_s);
        get<QCheckBox>(screen.get(), u"chkEnbCallID"_s)->setChecked(true);
        get<QRadioButton>(screen.get(), u"optStoreAndDeliver"_s)->setChecked(true);
        click(screen.get(), u"cmdSave"_s);
        ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    }
    auto row = modemRow();
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->CommPortNo, u"0"_s);
    EXPECT_EQ(row->BitsPerSecond, u"9600"_s);
    EXPECT_EQ(row->Parity, u"n"_s);
    EXPECT_EQ(row->FlowControl, u"2"_s);
    EXPECT_EQ(row->CharacterSet, u"GSM"_s);
    EXPECT_TRUE(row->EnabledCallerId);
    EXPECT_EQ(timerRow().SIMCardDeliveryMode, u"STORE AND DELIVER"_s);
    EXPECT_EQ(timerRow().SMSDeliveryMedia, u"MODEM"_s);

    auto again = open(false, {u"/dev/ttyUSB0"_s});
    EXPECT_EQ(list(again.get(), u"Combo_comportNo"_s)->currentText(), u"/dev/serial/by-id/usb-Example_Modem-if00"_s);
    EXPECT_EQ(list(again.get(), u"Combo_comportNo"_s)->count(), 2);
    EXPECT_EQ(list(again.get(), u"Combo_Parity"_s)->currentText(), u"None"_s);
    EXPECT_EQ(list(again.get(), u"Cmb_FlowControl"_s)->currentText(), u"Hardware"_s);
    EXPECT_EQ(list(again.get(), u"cmbDelay"_s)->currentText(), u"1.5"_s);
    EXPECT_EQ(list(again.get(), u"cmbDelay"_s)->count(), 13);
    EXPECT_TRUE(get<QRadioButton>(again.get(), u"optStoreAndDeliver"_s)->isChecked());
    EXPECT_TRUE(get<QRadioButton>(again.get(), u"optModem"_s)->isChecked());
    EXPECT_EQ(get(again.get(), u"POP3Password"_s)->text(), u"secret"_s);
    // The SIM panel follows the modem option; the other two stay hidden.
    EXPECT_FALSE(get<QWidget>(again.get(), u"fraSIMDelivery"_s)->isHidden());
    EXPECT_TRUE(get<QWidget>(again.get(), u"fraSMTPGateway"_s)->isHidden());
    EXPECT_TRUE(get<QWidget>(again.get(), u"fraMixMode"_s)->isHidden());
    get<QRadioButton>(again.get(), u"optSMTPSMSGateway"_s)->setChecked(true);
    EXPECT_TRUE(get<QWidget>(again.get(), u"fraSIMDelivery"_s)->isHidden());
    EXPECT_FALSE(get<QWidget>(again.get(), u"fraSMTPGateway"_s)->isHidden());
}

// A new install shows the line nearly every modem speaks, each as one of its list's own choices;
// only Save stores it, and a stored row is shown as stored, whatever it lacks.
TEST_F(SettingsScreenTest, FirstStartShowsTheUsualLineAndOnlySaveStoresIt)
{
    const struct
    {
        QString list;
        QString shown;
        int choices;
    } firstStart[] = {
        {u"Combo_BitsPerSec"_s, u"115200"_s, 13},
        {u"Combo_DataBits"_s, u"8"_s, 4},
        {u"Combo_Parity"_s, u"None"_s, 5},
        {u"Combo_stopBit"_s, u"1"_s, 3},
        {u"Cmb_FlowControl"_s, u"None"_s, 3},
        {u"cmb_CharSet"_s, u"GSM"_s, 3},
        {u"cmbDelay"_s, u"1"_s, 13},
    };
    {
        auto screen = open();
        for (const auto& line : firstStart) {
            QComboBox* combo = list(screen.get(), line.list);
            EXPECT_EQ(combo->currentText(), line.shown) << line.list.toStdString();
            EXPECT_EQ(combo->count(), line.choices) << line.list.toStdString();
        }
        EXPECT_TRUE(get<QCheckBox>(screen.get(), u"chkEnbCallID"_s)->isChecked());
        EXPECT_TRUE(list(screen.get(), u"Combo_comportNo"_s)->currentText().isEmpty());
        click(screen.get(), u"cmdExit"_s);
    }
    EXPECT_FALSE(modemRow().has_value());

    {
        auto screen = open();
        fillMailbox(screen.get());
        list(screen.get(), u"Combo_comportNo"_s)->setEditText(u"/dev/ttyUSB0"_s);
        click(screen.get(), u"cmdSave"_s);
        ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    }
    ASSERT_TRUE(modemRow().has_value());
    const store::ModemSettingsRow saved = *modemRow();
    EXPECT_EQ(QStringList({saved.BitsPerSecond, saved.DataBits, saved.Parity, saved.StopBits, saved.FlowControl,
                           saved.CharacterSet}),
              QStringList({u"115200"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s}));
    // The column is a number: "1" comes back as "1.0".
    EXPECT_EQ(saved.ModemDelayFactor.toDouble(), 1.0);
    EXPECT_TRUE(saved.EnabledCallerId);

    ASSERT_TRUE(db.exec(u"UPDATE ModemSettings SET EnabledCallerId=0, Parity=NULL, BitsPerSecond='9600'"_s));
    auto again = open();
    EXPECT_FALSE(get<QCheckBox>(again.get(), u"chkEnbCallID"_s)->isChecked());
    EXPECT_TRUE(list(again.get(), u"Combo_Parity"_s)->currentText().isEmpty());
    EXPECT_EQ(list(again.get(), u"Combo_BitsPerSec"_s)->currentText(), u"9600"_s);
}

// Each option button stores its own word, and a screen opened afterwards shows it chosen again.
TEST_F(SettingsScreenTest, EachDeliveryOptionStoresItsWordAndLoadsBack)
{
    const struct
    {
        QString media;
        QString option;
        QString store::TimerSettingRow::*column;
        QString word;
    } cases[] = {
        {u"optModem"_s, u"optModem"_s, &store::TimerSettingRow::SMSDeliveryMedia, u"MODEM"_s},
        {u"optSMTPSMSGateway"_s, u"optSMTPSMSGateway"_s, &store::TimerSettingRow::SMSDeliveryMedia,
         u"SMTPSMSGATEWAY"_s},
        {u"optMixMode"_s, u"optMixMode"_s, &store::TimerSettingRow::SMSDeliveryMedia, u"MIXMODE"_s},
        {u"optModem"_s, u"optStoreAndDeliver"_s, &store::TimerSettingRow::SIMCardDeliveryMode, u"STORE AND DELIVER"_s},
        {u"optModem"_s, u"optDirectDeliver"_s, &store::TimerSettingRow::SIMCardDeliveryMode, u"DIRECT DELIVER"_s},
        {u"optMixMode"_s, u"optMixModeModem"_s, &store::TimerSettingRow::MixModeDeliveryMedia, u"MODEM"_s},
        {u"optMixMode"_s, u"optMixModeSMTPSMSGateway"_s, &store::TimerSettingRow::MixModeDeliveryMedia,
         u"SMTPSMSGATEWAY"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option.toStdString());
        {
            auto screen = open();
            fillMailbox(screen.get());
            fillModem(screen.get());
            fillSmtpGateway(screen.get());
            get<QRadioButton>(screen.get(), c.media)->setChecked(true);
            get<QRadioButton>(screen.get(), c.option)->setChecked(true);
            click(screen.get(), u"cmdSave"_s);
            ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
        }
        EXPECT_EQ(timerRow().*c.column, c.word);
        auto again = open();
        EXPECT_TRUE(get<QRadioButton>(again.get(), c.option)->isChecked());
    }
}

// Stored words are read whatever their case and blanks around them; a word this version does not
// know shows no choice, and a save without a choice in its set keeps it as it is.
TEST_F(SettingsScreenTest, StoredWordsLoadInAnyCaseAndUnknownOnesShowNoChoice)
{
    const struct
    {
        QString column;
        QString stored;
        QStringList options;
        QString chosen;
    } cases[] = {
        {u"SMSDeliveryMedia"_s,
         u" mixmode "_s,
         {u"optModem"_s, u"optSMTPSMSGateway"_s, u"optMixMode"_s},
         u"optMixMode"_s},
        {u"SMSDeliveryMedia"_s, u"Fax"_s, {u"optModem"_s, u"optSMTPSMSGateway"_s, u"optMixMode"_s}, {}},
        {u"SIMCardDeliveryMode"_s,
         u"direct deliver"_s,
         {u"optStoreAndDeliver"_s, u"optDirectDeliver"_s},
         u"optDirectDeliver"_s},
        {u"SIMCardDeliveryMode"_s, u"STORE  AND DELIVER"_s, {u"optStoreAndDeliver"_s, u"optDirectDeliver"_s}, {}},
        {u"MixModeDeliveryMedia"_s,
         u"SmtpSmsGateway "_s,
         {u"optMixModeModem"_s, u"optMixModeSMTPSMSGateway"_s},
         u"optMixModeSMTPSMSGateway"_s},
        {u"MixModeDeliveryMedia"_s, u"PIGEON"_s, {u"optMixModeModem"_s, u"optMixModeSMTPSMSGateway"_s}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia='MODEM', SIMCardDeliveryMode=NULL, "
                            u"MixModeDeliveryMedia=NULL"_s));
        store::Statement update = db.prepare(u"UPDATE Timer_Setting SET %1=?1"_s.arg(c.column));
        update.bind(1, c.stored);
        ASSERT_TRUE(update.run());
        auto screen = open();
        for (const QString& option : c.options)
            EXPECT_EQ(get<QRadioButton>(screen.get(), option)->isChecked(), option == c.chosen) << option.toStdString();
        if (!c.chosen.isEmpty() || c.column == u"SMSDeliveryMedia"_s)
            continue;
        fillMailbox(screen.get());
        fillModem(screen.get());
        click(screen.get(), u"cmdSave"_s);
        ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
        const store::TimerSettingRow row = timerRow();
        EXPECT_EQ(c.column == u"SIMCardDeliveryMode"_s ? row.SIMCardDeliveryMode : row.MixModeDeliveryMedia, c.stored);
    }
}

// The ways of delivery show their own settings in the same place: choosing one never resizes the
// window, and the long Mix Mode sentences wrap instead of widening it past the screen.
TEST_F(SettingsScreenTest, ChoosingADeliveryWayKeepsTheWindowsSize)
{
    auto screen = open();
    screen->selectTab(ui::SettingsDialog::TimerTab);
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.get()));
    const QSize before = screen->size();
    EXPECT_LE(screen->frameGeometry().width(), screen->screen()->availableGeometry().width());
    for (const QString& option : {u"optMixMode"_s, u"optSMTPSMSGateway"_s, u"optModem"_s, u"optMixMode"_s}) {
        get<QRadioButton>(screen.get(), option)->setChecked(true);
        QApplication::processEvents();
        EXPECT_EQ(screen->width(), before.width()) << option.toStdString();
        EXPECT_EQ(screen->height(), before.height()) << option.toStdString();
    }
    EXPECT_FALSE(get<QWidget>(screen.get(), u"fraMixMode"_s)->isHidden());
    // A click on a rule's sentence chooses the rule, as a click on a button's caption would.
    auto* rule = get<QRadioButton>(screen.get(), u"optMixModeSMTPSMSGateway"_s);
    QLabel* sentence = nullptr;
    for (auto* label : screen->findChildren<QLabel*>())
        sentence = label->buddy() == rule ? label : sentence;
    ASSERT_NE(sentence, nullptr);
    EXPECT_TRUE(sentence->wordWrap());
    EXPECT_EQ(rule->accessibleName(), sentence->text());
    QTest::mouseClick(sentence, Qt::LeftButton);
    EXPECT_TRUE(rule->isChecked());
}

namespace {

// What a caption shows: "&" marks the mnemonic, "&&" shows one "&".
QString shownText(const QString& caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size())
            ++i;
        shown += caption.at(i);
    }
    return shown;
}

// The captions of a window's push buttons and tabs, by object name (tabs by their shown text).
QHash<QString, QString> buttonAndTabCaptions(QWidget* window)
{
    QHash<QString, QString> captions;
    for (const QPushButton* button : window->findChildren<QPushButton*>())
        captions.insert(button->objectName(), button->text());
    for (const QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i)
            captions.insert(u"tab "_s + shownText(tabs->tabText(i)), tabs->tabText(i));
    }
    return captions;
}

} // namespace

// Every button and tab of the settings screens can be reached with Alt and a letter, no letter
// twice in a window, and each still shows exactly its own text.
TEST_F(SettingsScreenTest, ButtonsAndTabsHaveMnemonicsAndKeepTheirTexts)
{
    auto screen = open();
    ui::SmtpAdvancedDialog advanced(db, gateway.get(), dialogs);
    ui::ModemSearchProgress progress(gateway.get(), {});
    const std::pair<QWidget*, QHash<QString, QString>> windows[] = {
        {screen.get(),
         {{u"cmdSave"_s, u"Save"_s},
          {u"cmdExit"_s, u"Exit"_s},
          {u"tab Modem Settings"_s, u"Modem Settings"_s},
          {u"tab SMS Timer Settings"_s, u"SMS Timer Settings"_s},
          {u"tab Email - To - SMS Settings"_s, u"Email - To - SMS Settings"_s},
          {u"cmdDetectModem"_s, u"Click here to automatically detect the modem connected to this computer"_s},
          {u"cmdAdvancedSettings"_s, u"Advanced Settings"_s},
          {u"cmdResetStatus"_s, u"Yes! Reset the Status"_s},
          {u"cmdTestPOP3Connection"_s, u"Test connection"_s}}},
        {&advanced,
         {{u"cmdSave"_s, u"Save"_s}, {u"cmdExit"_s, u"Exit"_s}, {u"cmdTestSMTPConnection"_s, u"Test connection"_s}}},
        {&progress, {{u"cmdCancel"_s, u"Cancel"_s}}},
    };
    for (const auto& [window, shown] : windows) {
        SCOPED_TRACE(window->objectName().toStdString());
        const QHash<QString, QString> captions = buttonAndTabCaptions(window);
        EXPECT_EQ(QSet<QString>(captions.keyBegin(), captions.keyEnd()),
                  QSet<QString>(shown.keyBegin(), shown.keyEnd()));
        QSet<QString> keys;
        for (const auto& [name, caption] : captions.asKeyValueRange()) {
            EXPECT_EQ(shownText(caption), shown.value(name)) << name.toStdString();
            const QKeySequence key = QKeySequence::mnemonic(caption);
            EXPECT_FALSE(key.isEmpty()) << name.toStdString();
            EXPECT_FALSE(keys.contains(key.toString()))
                << name.toStdString() << " repeats " << key.toString().toStdString();
            keys.insert(key.toString());
        }
    }

    screen->show();
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    const std::pair<Qt::Key, ui::SettingsDialog::Tab> tabKeys[] = {
        {Qt::Key_T, ui::SettingsDialog::TimerTab},
        {Qt::Key_A, ui::SettingsDialog::EmailTab},
        {Qt::Key_M, ui::SettingsDialog::ModemTab},
    };
    for (const auto& [key, shownTab] : tabKeys) {
        QTest::keyClick(screen.get(), key, Qt::AltModifier);
        EXPECT_EQ(tab(screen.get()), shownTab) << key;
    }
}

TEST_F(SettingsScreenTest, SmtpGatewayNeedsItsFieldsInOrder)
{
    auto screen = open();
    fillMailbox(screen.get());
    fillModem(screen.get());
    get<QRadioButton>(screen.get(), u"optSMTPSMSGateway"_s)->setChecked(true);
    get(screen.get(), u"txtSMSSMTPPort"_s)->clear();
    const std::pair<QString, QString> steps[] = {
        {u"txtSMSSMTPFromName"_s, u"If SMS delivery method is SMTP Gateway then you must enter default From Name."_s},
        {u"txtSMSSMTPServer"_s, u"If SMS delivery method is SMTP Gateway then you must enter SMTP server."_s},
        {u"txtSMSSMTPPort"_s, u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Server Port."_s},
        {u"txtSMSSMTPYourEmailAddress"_s,
         u"If SMS delivery method is SMTP Gateway then you must enter your Email Address on SMTP Server."_s},
    };
    for (const auto& [field, message] : steps) {
        click(screen.get(), u"cmdSave"_s);
        EXPECT_EQ(dialogs.lastText(), message);
        EXPECT_EQ(screen->focusWidget(), get(screen.get(), field));
        get(screen.get(), field)->setText(field == u"txtSMSSMTPPort"_s ? u"2525"_s : u"Office"_s);
    }
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"Your Email Address on SMTP Server must contain '@' character."_s);
    EXPECT_EQ(timerRow().SMSDeliveryMedia, u"MODEM"_s);

    get(screen.get(), u"txtSMSSMTPYourEmailAddress"_s)->setText(u" gw@example.org "_s);
    get<QCheckBox>(screen.get(), u"chkIsFromNameSentByMaskingYourEmail"_s)->setChecked(true);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    EXPECT_EQ(timerRow().SMSDeliveryMedia, u"SMTPSMSGATEWAY"_s);
    EXPECT_EQ(timerRow().SMSSMTPYourEmailAddress, u"gw@example.org"_s);
    EXPECT_TRUE(timerRow().IsFromNameSentByMaskingYourEmail);
    // E-mail delivery sends without a modem: the send timer runs at once.
    ASSERT_TRUE(waitUntil([&] { return gateway->Timer2().isActive(); }));
    EXPECT_EQ(gateway->settings().MaskingDomain, u"example.org"_s);
    EXPECT_EQ(gateway->settings().SMSSMTPPort, 2525);

    dialogs.texts.clear();
    get<ui::LinkLabel>(screen.get(), u"lblWhatIsThis"_s)->click();
    ASSERT_EQ(dialogs.texts.size(), 1);
    EXPECT_TRUE(dialogs.texts[0].startsWith(u"To mask (change) the sender's mobile number, some SMTP SMS Gateway "_s));
    EXPECT_TRUE(dialogs.texts[0].endsWith(u"OR if you are not sure, do NOT select this option."_s));
}

TEST_F(SettingsScreenTest, MixModeSavesWithEmptySmtpFieldsAndCleansThePrefixes)
{
    auto screen = open();
    fillMailbox(screen.get());
    fillModem(screen.get());
    get<QRadioButton>(screen.get(), u"optMixMode"_s)->setChecked(true);
    get<QRadioButton>(screen.get(), u"optMixModeSMTPSMSGateway"_s)->setChecked(true);
    QLineEdit* prefixes = get(screen.get(), u"txtMixModeMobileNumbers"_s);
    prefixes->setText(u"+98; 97"_s);
    click(screen.get(), u"cmdSave"_s);
    ASSERT_EQ(dialogs.texts.size(), 2);
    EXPECT_TRUE(dialogs.texts[0].startsWith(u"You have selected 'MIX MODE' as your SMS delivery option.\r\n"_s));
    EXPECT_TRUE(dialogs.texts[0].endsWith(u"may not work properly."_s));
    EXPECT_EQ(dialogs.texts[1], u"Settings Saved Successfully!!!"_s);
    EXPECT_EQ(prefixes->text(), u"98,97"_s);
    EXPECT_EQ(timerRow().MixModeMobileNumbers, u"98,97"_s);
    EXPECT_EQ(timerRow().MixModeDeliveryMedia, u"SMTPSMSGATEWAY"_s);
    EXPECT_EQ(timerRow().SMSDeliveryMedia, u"MIXMODE"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->settings().MixModePrefixes == QStringList{u"98"_s, u"97"_s}; }));
    EXPECT_EQ(store::storedText(gateway->settings().mixModeRoute), u"SMTPSMSGATEWAY"_s);
    EXPECT_TRUE(gateway->Timer2().isActive());
}

TEST_F(SettingsScreenTest, NoDeliveryMediaIsRefusedBeforeAnythingOfTheTabChanges)
{
    ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSDeliveryMedia=NULL"_s));
    auto screen = open();
    fillMailbox(screen.get());
    get(screen.get(), u"txtSendmsgtime"_s)->setText(u"30"_s);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"You must select atleast one SMS delivey media"_s);
    EXPECT_EQ(tab(screen.get()), ui::SettingsDialog::TimerTab);
    EXPECT_EQ(timerRow().SendAllMessagesTime, u"10"_s);
}

TEST_F(SettingsScreenTest, PortFromTheSearchAsksAboutTheSpeedOncePerSaveUntilYes)
{
    auto screen = open();
    fillMailbox(screen.get());
    fillModem(screen.get());
    screen->takeFoundPort(u" /dev/ttyACM0 "_s);
    EXPECT_TRUE(screen->selectPortFromList);
    EXPECT_EQ(list(screen.get(), u"Combo_comportNo"_s)->currentText(), u"/dev/ttyACM0"_s);
    EXPECT_EQ(list(screen.get(), u"Combo_BitsPerSec"_s)->currentText(), u"115200"_s);
    EXPECT_EQ(list(screen.get(), u"cmbDelay"_s)->currentText(), u"2.25"_s);
    EXPECT_EQ(screen->focusWidget(), list(screen.get(), u"Combo_comportNo"_s));

    const QString question = u"You have changed the default settings for 'bits / seconds', this needs to "
                             u"restart(OFF & ON) your modem.\r\nDo you still want to save the settings?"_s;
    for (int attempt = 0; attempt < 2; ++attempt) {
        dialogs.texts.clear();
        dialogs.answerNext(FakeDialogs::No);
        click(screen.get(), u"cmdSave"_s);
        EXPECT_EQ(dialogs.texts, QStringList{question});
        EXPECT_EQ(screen->focusWidget(), list(screen.get(), u"Combo_BitsPerSec"_s));
        EXPECT_FALSE(modemRow().has_value());
        EXPECT_TRUE(screen->selectPortFromList);
    }
    dialogs.texts.clear();
    dialogs.answerNext(FakeDialogs::Yes);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.texts, (QStringList{question, u"Settings Saved Successfully!!!"_s}));
    EXPECT_FALSE(screen->selectPortFromList);
    ASSERT_TRUE(modemRow().has_value());
    EXPECT_EQ(modemRow()->BitsPerSecond, u"115200"_s);

    dialogs.texts.clear();
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"Settings Saved Successfully!!!"_s});
}

TEST_F(SettingsScreenTest, ConnectedModemLocksItsPanelAndSavesWhatItShows)
{
    auto first = open();
    fillMailbox(first.get());
    fillModem(first.get());
    click(first.get(), u"cmdSave"_s);
    ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    first.reset();

    auto screen = open(true);
    EXPECT_FALSE(list(screen.get(), u"Combo_BitsPerSec"_s)->isEnabled());
    EXPECT_FALSE(list(screen.get(), u"Combo_comportNo"_s)->isEnabled());
    EXPECT_FALSE(get<QCheckBox>(screen.get(), u"chkEnbCallID"_s)->isEnabled());
    EXPECT_FALSE(list(screen.get(), u"cmbDelay"_s)->isEnabled());
    EXPECT_FALSE(get<QPushButton>(screen.get(), u"cmdDetectModem"_s)->isEnabled());
    EXPECT_EQ(get<QLabel>(screen.get(), u"lblAlertMsg"_s)->text(),
              u"You can not change the modem settings. Because computer is already connected with modem."_s);
    click(screen.get(), u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    EXPECT_EQ(modemRow()->BitsPerSecond, u"9600"_s);
    EXPECT_EQ(modemRow()->CommPortName, u"/dev/ttyUSB0"_s);

    screen->setModemConnected(false);
    EXPECT_TRUE(list(screen.get(), u"Combo_BitsPerSec"_s)->isEnabled());
    EXPECT_TRUE(get<QLabel>(screen.get(), u"lblAlertMsg"_s)->isHidden());
}

TEST_F(SettingsScreenTest, ResetClearsOnlySendingRows)
{
    store::OutboxTable outbox(db);
    const qint64 sending = *outbox.insert(u"+4915112345678"_s, u"a"_s, clock.now());
    const qint64 pending = *outbox.insert(u"+4915112345679"_s, u"b"_s, clock.now());
    const qint64 sent = *outbox.insert(u"+4915112345670"_s, u"c"_s, clock.now());
    const qint64 faulty = *outbox.insert(u"+4915112345671"_s, u"d"_s, clock.now());
    ASSERT_TRUE(outbox.claim(sending));
    ASSERT_TRUE(outbox.claim(sent));
    ASSERT_TRUE(outbox.bookSent(sent, clock.now()));
    ASSERT_TRUE(outbox.markFaultyNumber(faulty));

    auto screen = open();
    click(screen.get(), u"cmdResetStatus"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty());
    EXPECT_TRUE(outbox.row(sending)->status.isEmpty());
    EXPECT_EQ(*outbox.countSending(), 0);
    EXPECT_TRUE(outbox.row(pending)->status.isEmpty());
    EXPECT_EQ(outbox.row(sent)->status, u"SENT"_s);
    EXPECT_EQ(outbox.row(faulty)->status, u"FAULTY NUMBER"_s);
    EXPECT_EQ(*outbox.countPending(), 3);
}

TEST_F(SettingsScreenTest, AdvancedSettingsShowAndStoreTheirCodes)
{
    ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSSMTPAuthenticationType=3, SMSSMTPEncodeType=1, "
                        u"IsSMSSMTPAuthenticationRequired=-1, SMSSMTPUserName='gw', SMSSMTPPassword='pw'"_s));
    {
        ui::SmtpAdvancedDialog screen(db, gateway.get(), dialogs);
        EXPECT_EQ(screen.windowTitle(), u"Advanced SMTP SMS Gateway Settings"_s);
        EXPECT_EQ(list(&screen, u"cmbSMSSMTPAuthenticationType"_s)->currentText(), u"AUTH PLAIN"_s);
        EXPECT_EQ(list(&screen, u"cmbSMSSMTPEncodeType"_s)->currentText(), u"UUENCODE"_s);
        EXPECT_TRUE(get<QCheckBox>(&screen, u"chkSMSSMTPAuthenticationRequired"_s)->isChecked());
        EXPECT_TRUE(get(&screen, u"txtSMSSMTPUserName"_s)->isEnabled());
        EXPECT_EQ(get(&screen, u"txtSMSSMTPPassword"_s)->text(), u"pw"_s);
        EXPECT_EQ(get(&screen, u"txtSMSSMTPPassword"_s)->echoMode(), QLineEdit::Password);
    }
    ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET SMSSMTPAuthenticationType=NULL, SMSSMTPEncodeType=NULL, "
                        u"IsSMSSMTPAuthenticationRequired=0, SMSSMTPUserName=NULL, SMSSMTPPassword=NULL"_s));
    ui::SmtpAdvancedDialog screen(db, gateway.get(), dialogs);
    EXPECT_EQ(list(&screen, u"cmbSMSSMTPAuthenticationType"_s)->currentText(), u"None"_s);
    EXPECT_EQ(list(&screen, u"cmbSMSSMTPEncodeType"_s)->currentText(), u"MIME_ENCODE"_s);
    QLineEdit* user = get(&screen, u"txtSMSSMTPUserName"_s);
    QLineEdit* password = get(&screen, u"txtSMSSMTPPassword"_s);
    EXPECT_FALSE(user->isEnabled());

    // Without authentication the login is still required and stored.
    click(&screen, u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Username."_s);
    get<QCheckBox>(&screen, u"chkSMSSMTPAuthenticationRequired"_s)->setChecked(true);
    click(&screen, u"cmdSave"_s);
    EXPECT_EQ(screen.focusWidget(), user);
    user->setText(u" gateway "_s);
    click(&screen, u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Password."_s);
    EXPECT_EQ(screen.focusWidget(), password);
    EXPECT_TRUE(timerRow().SMSSMTPUserName.isNull());
    get<QCheckBox>(&screen, u"chkSMSSMTPAuthenticationRequired"_s)->setChecked(false);
    EXPECT_EQ(user->text(), u" gateway "_s);
    EXPECT_FALSE(password->isEnabled());

    password->setText(u"s3cret"_s);
    list(&screen, u"cmbSMSSMTPAuthenticationType"_s)->setCurrentText(u"AUTH LOGIN"_s);
    list(&screen, u"cmbSMSSMTPEncodeType"_s)->setCurrentText(u"UUENCODE"_s);
    dialogs.texts.clear();
    click(&screen, u"cmdSave"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty());
    EXPECT_EQ(screen.result(), QDialog::Accepted);
    const store::TimerSettingRow row = timerRow();
    EXPECT_EQ(row.SMSSMTPUserName, u"gateway"_s);
    EXPECT_EQ(row.SMSSMTPPassword, u"s3cret"_s);
    EXPECT_FALSE(row.IsSMSSMTPAuthenticationRequired);
    EXPECT_EQ(row.SMSSMTPAuthenticationType, u"2"_s);
    EXPECT_EQ(row.SMSSMTPEncodeType, u"1"_s);
    // The next delivery uses them.
    ASSERT_TRUE(waitUntil([&] { return gateway->settings().SMSSMTPUserName == u"gateway"_s; }));
    EXPECT_EQ(gateway->settings().SMSSMTPAuthenticationType, 2);
    EXPECT_EQ(gateway->settings().SMSSMTPEncodeType, 1);
    // The delivery values of the row were left as they were.
    EXPECT_EQ(row.SMSDeliveryMedia, u"MODEM"_s);
    EXPECT_EQ(row.SendAllMessagesTime, u"10"_s);
}

// The advanced screen opens from the settings screen and what it stores survives the settings
// screen's own save, which rewrites the same row.
TEST_F(SettingsScreenTest, SettingsScreenKeepsTheAdvancedValuesWhenItSaves)
{
    auto screen = open();
    get<QRadioButton>(screen.get(), u"optSMTPSMSGateway"_s)->setChecked(true);
    dialogs.onDialog[u"frm_SMTPSMS_AdvancedSettings"_s] = [](QDialog& advanced) {
        EXPECT_TRUE(advanced.isModal());
        get(&advanced, u"txtSMSSMTPUserName"_s)->setText(u"gw"_s);
        get(&advanced, u"txtSMSSMTPPassword"_s)->setText(u"pw"_s);
        click(&advanced, u"cmdSave"_s);
    };
    click(screen.get(), u"cmdAdvancedSettings"_s);
    EXPECT_EQ(dialogs.opened, QStringList{u"frm_SMTPSMS_AdvancedSettings"_s});
    EXPECT_EQ(timerRow().SMSSMTPUserName, u"gw"_s);

    get<QRadioButton>(screen.get(), u"optModem"_s)->setChecked(true);
    fillMailbox(screen.get());
    fillModem(screen.get());
    click(screen.get(), u"cmdSave"_s);
    ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    EXPECT_EQ(timerRow().SMSSMTPUserName, u"gw"_s);
    EXPECT_EQ(timerRow().SMSSMTPPassword, u"pw"_s);
}

// A login without TLS is the operator's explicit choice for each server, off until ticked, and
// it survives the other screen's save, which rewrites the same row whole.
TEST_F(SettingsScreenTest, UnencryptedLoginIsOffUntilTickedAndSurvivesEverySave)
{
    const QString label = u"Allow unencrypted login (not recommended)"_s;
    auto screen = open();
    auto* pop3Box = get<QCheckBox>(screen.get(), u"chkAllowPlainPOP3Login"_s);
    EXPECT_FALSE(pop3Box->isChecked());
    EXPECT_EQ(pop3Box->text(), label);
    {
        ui::SmtpAdvancedDialog advanced(db, gateway.get(), dialogs);
        auto* smtpBox = get<QCheckBox>(&advanced, u"chkAllowPlainSMTPLogin"_s);
        EXPECT_FALSE(smtpBox->isChecked());
        EXPECT_EQ(smtpBox->text(), label);
        get(&advanced, u"txtSMSSMTPUserName"_s)->setText(u"gw"_s);
        get(&advanced, u"txtSMSSMTPPassword"_s)->setText(u"pw"_s);
        smtpBox->setChecked(true);
        click(&advanced, u"cmdSave"_s);
    }
    EXPECT_TRUE(timerRow().SMSSMTPAllowPlainLogin);
    fillMailbox(screen.get());
    fillModem(screen.get());
    pop3Box->setChecked(true);
    click(screen.get(), u"cmdSave"_s);
    ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    ASSERT_TRUE(mailboxRow().has_value());
    EXPECT_TRUE(mailboxRow()->POP3AllowPlainLogin);
    EXPECT_TRUE(timerRow().SMSSMTPAllowPlainLogin);
    ASSERT_TRUE(waitUntil(
        [&] { return gateway->settings().POP3AllowPlainLogin && gateway->settings().SMSSMTPAllowPlainLogin; }));

    screen.reset();
    screen = open();
    pop3Box = get<QCheckBox>(screen.get(), u"chkAllowPlainPOP3Login"_s);
    EXPECT_TRUE(pop3Box->isChecked());
    {
        ui::SmtpAdvancedDialog advanced(db, gateway.get(), dialogs);
        auto* smtpBox = get<QCheckBox>(&advanced, u"chkAllowPlainSMTPLogin"_s);
        EXPECT_TRUE(smtpBox->isChecked());
        smtpBox->setChecked(false);
        click(&advanced, u"cmdSave"_s);
    }
    pop3Box->setChecked(false);
    fillModem(screen.get());
    click(screen.get(), u"cmdSave"_s);
    ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);
    EXPECT_FALSE(mailboxRow()->POP3AllowPlainLogin);
    EXPECT_FALSE(timerRow().SMSSMTPAllowPlainLogin);
    ASSERT_TRUE(waitUntil(
        [&] { return !gateway->settings().POP3AllowPlainLogin && !gateway->settings().SMSSMTPAllowPlainLogin; }));
}

namespace {

// The progress window is shown and runs the real search, ended by the engine or by Cancel.
void runTheSearch(FakeDialogs& dialogs)
{
    dialogs.onDialog[u"frm_ChekModemProgress"_s] = [](QDialog& progress) { progress.exec(); };
}

// The search runs on an engine thread of its own, as in the program, so the windows stay live.
struct ModemSearchTest : SettingsScreenTest
{
    QThread engineThread;
    modemsim::ModemSimulator first;
    modemsim::ModemSimulator second;
    SilentDevice silent;

    void SetUp() override
    {
        openStoreAndEngine();
        gateway->moveToThread(&engineThread);
        engineThread.start();
        first.setIdentity(u"SIMCOM_Ltd"_s, u"SIMCOM_SIM800L"_s, u"R14"_s, u"861234567890123"_s);
        second.setIdentity(u"Quectel"_s, u"EC25"_s, u"R02"_s, u"869876543210987"_s);
        QString error;
        ASSERT_TRUE(first.start(&error)) << error.toStdString();
        ASSERT_TRUE(second.start(&error)) << error.toStdString();
        ASSERT_FALSE(silent.path.isEmpty());
        runTheSearch(dialogs);
    }

    void TearDown() override
    {
        engine::Gateway* engine = gateway.release();
        QMetaObject::invokeMethod(
            engine, [engine] { delete engine; }, Qt::BlockingQueuedConnection);
        engineThread.quit();
        engineThread.wait();
    }
};

} // namespace

TEST_F(ModemSearchTest, FindsTheModemsAndAClickFillsTheSettings)
{
    auto screen = open(false, {silent.path, first.portName(), second.portName()});
    QStringList rows;
    dialogs.onDialog[u"Frm_FoundModemPortNumbers"_s] = [&](QDialog& dialog) {
        auto& found = static_cast<ui::FoundModemsDialog&>(dialog);
        EXPECT_EQ(found.windowTitle(), u"Select Your Modem"_s);
        found.show();
        auto* grid = found.findChild<QTableWidget*>(u"grdModems"_s);
        for (int row = 0; row < grid->rowCount(); ++row)
            rows << grid->item(row, 1)->text() + u"|"_s + grid->item(row, 2)->text() + u"|"_s +
                        grid->item(row, 3)->text();
        // A click beside the manufacturer does nothing.
        found.chooseCell(1, 3);
        EXPECT_TRUE(found.isVisible());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(1, ui::FoundModemsDialog::kManufacturerColumn)).center());
        EXPECT_FALSE(found.isVisible());
    };
    click(screen.get(), u"cmdDetectModem"_s);
    EXPECT_EQ(dialogs.opened, (QStringList{u"frm_ChekModemProgress"_s, u"Frm_FoundModemPortNumbers"_s}));

    EXPECT_EQ(rows, (QStringList{first.portName() + u"|SIMCOM_Ltd|SIMCOM_SIM800L"_s,
                                 second.portName() + u"|Quectel|EC25"_s}));
    EXPECT_TRUE(screen->selectPortFromList);
    EXPECT_EQ(list(screen.get(), u"Combo_comportNo"_s)->currentText(), second.portName());
    EXPECT_EQ(list(screen.get(), u"Combo_BitsPerSec"_s)->currentText(), u"115200"_s);
    EXPECT_EQ(list(screen.get(), u"cmbDelay"_s)->currentText(), u"2.25"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty());
    // Nothing is stored until the operator saves.
    EXPECT_FALSE(modemRow().has_value());
}

TEST_F(ModemSearchTest, NothingFoundSaysHowManyDevicesWereSearched)
{
    auto screen = open(false, {silent.path, u"/dev/tarvogate-no-such-device"_s});
    click(screen.get(), u"cmdDetectModem"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"Searched COM ports from 1 - 2 but did not find a modem."_s});
    EXPECT_FALSE(screen->selectPortFromList);

    // A device typed into the field is searched as well.
    dialogs.texts.clear();
    list(screen.get(), u"Combo_comportNo"_s)->setEditText(first.portName());
    dialogs.opened.clear();
    click(screen.get(), u"cmdDetectModem"_s);
    // The list is closed without a pick: nothing changes.
    EXPECT_EQ(dialogs.opened, (QStringList{u"frm_ChekModemProgress"_s, u"Frm_FoundModemPortNumbers"_s}));
    EXPECT_FALSE(screen->selectPortFromList);
    EXPECT_TRUE(dialogs.texts.isEmpty());
}

TEST_F(ModemSearchTest, CancelClosesTheProgressAndShowsNoResult)
{
    std::vector<std::unique_ptr<SilentDevice>> devices;
    QStringList ports;
    for (int i = 0; i < 6; ++i) {
        devices.push_back(std::make_unique<SilentDevice>());
        ports << devices.back()->path;
    }
    ports << first.portName();
    auto screen = open(false, ports);
    // Counted on this thread: the engine signals from its own.
    int finished = 0;
    bool cancelled = false;
    QObject::connect(gateway.get(), &engine::Gateway::discoveryFinished, screen.get(),
                     [&](const QList<modem::FoundModem>&, int, bool wasCancelled) {
                         ++finished;
                         cancelled = wasCancelled;
                     });
    int percentSeen = -1;
    dialogs.onDialog[u"frm_ChekModemProgress"_s] = [&](QDialog& progress) {
        EXPECT_EQ(progress.windowTitle(), u"Please Wait.........."_s);
        // Cancel at the first step of the search: the window has shown it by then, having
        // connected to the engine first.
        QObject::connect(gateway.get(), &engine::Gateway::discoveryProgress, &progress, [&](int done) {
            if (done == 0 || percentSeen >= 0)
                return;
            percentSeen = progress.findChild<QLabel*>(u"lblPercent"_s)->text().chopped(1).toInt();
            progress.findChild<QPushButton*>(u"cmdCancel"_s)->click();
        });
        progress.exec();
    };
    click(screen.get(), u"cmdDetectModem"_s);
    EXPECT_GT(percentSeen, 0);
    EXPECT_LT(percentSeen, 100);
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(dialogs.opened, QStringList{u"frm_ChekModemProgress"_s});
    EXPECT_TRUE(dialogs.texts.isEmpty());
    EXPECT_FALSE(first.receivedCommands().contains(u"AT"_s));
}

namespace {

// The whole program's window on an empty store, with the engine it starts.
struct FirstRunTest : SettingsScreenTest
{
    std::unique_ptr<ui::MainWindow> window;
    modemsim::ModemSimulator sim;

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        openStoreAndEngine();
        runTheSearch(dialogs);
        window = std::make_unique<ui::MainWindow>(db, gateway.get(), dialogs, clock, false);
        QSignalSpy loaded(window.get(), &ui::MainWindow::loaded);
        window->load();
        ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }));
    }

    void TearDown() override
    {
        window.reset();
        gateway.reset();
    }
};

} // namespace

TEST_F(FirstRunTest, SettingsFromTheFirstMessageFindTheModemAndApplyAtOnce)
{
    // An empty store: the first connection asks for the settings and opens them.
    EXPECT_EQ(dialogs.texts, QStringList{u"Please set all the settings before connecting with modem."_s});
    ASSERT_TRUE(waitUntil([&] { return window->settingsScreen() != nullptr; }));
    ui::SettingsDialog* screen = window->settingsScreen();
    EXPECT_TRUE(screen->isVisible());
    ASSERT_TRUE(waitUntil([&] { return gateway->calls().IsSetupWindowOpen; }));

    // The simulator's device is not among the system's serial ports; typed in, it is searched.
    list(screen, u"Combo_comportNo"_s)->setEditText(sim.portName());
    dialogs.onDialog[u"Frm_FoundModemPortNumbers"_s] = [](QDialog& found) {
        static_cast<ui::FoundModemsDialog&>(found).chooseCell(0, ui::FoundModemsDialog::kManufacturerColumn);
    };
    click(screen, u"cmdDetectModem"_s);
    ASSERT_TRUE(screen->selectPortFromList);

    fillMailbox(screen);
    list(screen, u"Combo_DataBits"_s)->setCurrentText(u"8"_s);
    list(screen, u"Combo_Parity"_s)->setCurrentText(u"None"_s);
    list(screen, u"Combo_stopBit"_s)->setCurrentText(u"1"_s);
    list(screen, u"Cmb_FlowControl"_s)->setCurrentText(u"None"_s);
    list(screen, u"cmb_CharSet"_s)->setCurrentText(u"GSM"_s);
    dialogs.texts.clear();
    click(screen, u"cmdSave"_s);
    ASSERT_EQ(dialogs.lastText(), u"Settings Saved Successfully!!!"_s);

    window->findChild<QAction*>(u"start"_s)->trigger();
    ASSERT_TRUE(waitUntil([&] { return gateway->link().isInitialised(); }));
    EXPECT_EQ(gateway->Timer2().interval(), 10000);
    EXPECT_FALSE(list(screen, u"Combo_BitsPerSec"_s)->isEnabled());

    get(screen, u"txtSendmsgtime"_s)->setText(u"7"_s);
    click(screen, u"cmdSave"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->Timer2().interval() == 7000; }));
    EXPECT_TRUE(gateway->Timer2().isActive());

    // The menu and the message box's button bring the same screen forward, the latter on its
    // timer tab.
    window->findChild<QAction*>(u"modemsetting"_s)->trigger();
    EXPECT_EQ(window->settingsScreen(), screen);
    window->openMessageBox();
    window->messageBox()->findChild<QAction*>(u"tbrSettings"_s)->trigger();
    EXPECT_EQ(tab(screen), ui::SettingsDialog::TimerTab);

    click(screen, u"cmdExit"_s);
    ASSERT_TRUE(waitUntil([&] { return window->settingsScreen() == nullptr; }));
    ASSERT_TRUE(waitUntil([&] { return !gateway->calls().IsSetupWindowOpen; }));
}

TEST_F(FirstRunTest, NoModemFoundOffersTheSettings)
{
    window->settingsScreen()->close();
    ASSERT_TRUE(waitUntil([&] { return window->settingsScreen() == nullptr; }));
    ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(
        {u"0"_s, u"/dev/tarvogate-gone"_s, u"9600"_s, u"8"_s, u"n"_s, u"1"_s, u"0"_s, u"GSM"_s, false, u"1"_s}));
    dialogs.answerNext(FakeDialogs::No);
    window->findChild<QAction*>(u"start"_s)->trigger();
    ASSERT_TRUE(waitUntil([&] { return dialogs.lastText().startsWith(u"No modem found on COM Port"_s); }));
    EXPECT_EQ(window->settingsScreen(), nullptr);

    window->findChild<QAction*>(u"start"_s)->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->settingsScreen() != nullptr; }));
    EXPECT_EQ(list(window->settingsScreen(), u"Combo_comportNo"_s)->currentText(), u"/dev/tarvogate-gone"_s);
}
