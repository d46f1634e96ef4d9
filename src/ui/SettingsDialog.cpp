#include "SettingsDialog.h"

#include "Dialogs.h"
#include "FieldChecks.h"
#include "FoundModemsDialog.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "LinkLabel.h"
#include "OutboxTable.h"
#include "ScreenParts.h"
#include "SerialPortName.h"
#include "SettingsTables.h"
#include "ModemSearchProgress.h"
#include "ConnectionTestDialog.h"
#include "SmtpAdvancedDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

QComboBox* choiceList(QWidget* parent, const QString& name, const QStringList& choices)
{
    auto* combo = named(new QComboBox(parent), name);
    combo->addItems(choices);
    combo->setCurrentIndex(-1);
    return combo;
}

// Shows a stored text in its list; a value the list does not offer is kept and shown as well.
void showStored(QComboBox* combo, const QString& value)
{
    const QString text = store::trimBlanks(value);
    if (text.isEmpty()) {
        combo->setCurrentIndex(-1);
        return;
    }
    int index = combo->findText(text, Qt::MatchFixedString);
    if (index < 0) {
        combo->addItem(text);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

// The parity is stored as one lower-case letter and the flow control as a digit; the lists show
// their names.
const QStringList kParityNames{u"Even"_s, u"Odd"_s, u"None"_s, u"Mark"_s, u"Space"_s};
const QStringList kParityLetters{u"e"_s, u"o"_s, u"n"_s, u"m"_s, u"s"_s};
const QStringList kFlowNames{u"None"_s, u"Xon/Xoff"_s, u"Hardware"_s};

QStringList delayFactors()
{
    QStringList factors;
    for (int quarter = 4; quarter <= 16; ++quarter)
        factors << QString::number(quarter / 4.0);
    return factors;
}

const QString kEmailFormat = u"<smsusername>SMSUserName</smsusername>\n"
                             u"<smspassword>SMSUserPassword</smspassword>\n"
                             u"<tomobilenumbers>Number1, Number2,...</tomobilenumbers>\n"
                             u"<message>YourEmailMessage</message>\n"
                             u"\n"
                             u"Example :\n"
                             u"\n"
                             u"To: sms-gateway@example.org\n"
                             u"Subject: (any subject)\n"
                             u"\n"
                             u"Hello,\n"
                             u"<smsusername>frontdesk</smsusername>\n"
                             u"<smspassword>example-only</smspassword>\n"
                             u"<tomobilenumbers>+15550100001, +15550100002</tomobilenumbers>\n"
                             u"<message>The staff meeting moves to 3 pm today.</message>\n"
                             u"Regards"_s;

} // namespace

SettingsDialog::SettingsDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, bool modemConnected,
                           const QStringList& ports, QWidget* parent)
    : QDialog(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs), m_ports(ports)
{
    setObjectName(u"frm_Settings"_s);
    setWindowTitle(u"Settings"_s);

    m_tabs = named(new QTabWidget(this), u"tabSettings"_s);
    m_tabs->addTab(buildModemTab(), u"Modem Settings"_s);
    m_tabs->addTab(buildTimerTab(), u"SMS Timer Settings"_s);
    m_tabs->addTab(buildEmailTab(), u"Email - To - SMS Settings"_s);

    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"cmdSave"_s);
    auto* exitButton = named(new QPushButton(u"&Exit"_s, this), u"cmdExit"_s);
    QHBoxLayout* buttons = buttonRow({saveButton, exitButton});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);

    connect(saveButton, &QPushButton::clicked, this, &SettingsDialog::save);
    connect(exitButton, &QPushButton::clicked, this, &SettingsDialog::close);

    load();
    setModemConnected(modemConnected);
    // While the screen is open the engine leaves the modem's own reports alone.
    QMetaObject::invokeMethod(
        m_gateway, [gateway = m_gateway] { gateway->setSetupWindowOpen(true); }, Qt::QueuedConnection);
    connect(this, &QDialog::finished, this, [gateway = m_gateway] {
        QMetaObject::invokeMethod(
            gateway, [gateway] { gateway->setSetupWindowOpen(false); }, Qt::QueuedConnection);
    });
}

SettingsDialog::~SettingsDialog() = default;

QWidget* SettingsDialog::buildModemTab()
{
    auto* tab = new QWidget;
    m_modemPanel = named(new QGroupBox(u"Modem Settings"_s, tab), u"fraModemSettings"_s);
    m_port = named(new QComboBox(m_modemPanel), u"Combo_comportNo"_s);
    // A Bluetooth phone (/dev/rfcomm0) or a virtual port may not be in the list: any device
    // path can be typed.
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_bitsPerSecond = choiceList(m_modemPanel, u"Combo_BitsPerSec"_s,
                                 {u"110"_s, u"300"_s, u"1200"_s, u"2400"_s, u"4800"_s, u"9600"_s, u"19200"_s,
                                  u"38400"_s, u"57600"_s, u"115200"_s, u"230400"_s, u"460800"_s, u"921600"_s});
    m_dataBits = choiceList(m_modemPanel, u"Combo_DataBits"_s, {u"5"_s, u"6"_s, u"7"_s, u"8"_s});
    m_parity = choiceList(m_modemPanel, u"Combo_Parity"_s, kParityNames);
    m_stopBits = choiceList(m_modemPanel, u"Combo_stopBit"_s, {u"1"_s, u"1.5"_s, u"2"_s});
    m_flowControl = choiceList(m_modemPanel, u"Cmb_FlowControl"_s, kFlowNames);
    m_characterSet = choiceList(m_modemPanel, u"cmb_CharSet"_s, {u"ANSI"_s, u"ASCII"_s, u"GSM"_s});
    m_callerId = named(new QCheckBox(u"Yes"_s, m_modemPanel), u"chkEnbCallID"_s);
    m_delay = choiceList(m_modemPanel, u"cmbDelay"_s, delayFactors());
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(m_delay);
    delayRow->addWidget(new QLabel(u"(1=Faster Modem, 4=Slower Modem )"_s, m_modemPanel));
    delayRow->addStretch();

    auto* form = new QFormLayout(m_modemPanel);
    form->addRow(u"Modem plugged-in to which COM port?"_s, m_port);
    form->addRow(u"Bits Per Second"_s, m_bitsPerSecond);
    form->addRow(u"Data Bits"_s, m_dataBits);
    form->addRow(u"Parity"_s, m_parity);
    form->addRow(u"Stop Bit"_s, m_stopBits);
    form->addRow(u"Flow Control"_s, m_flowControl);
    form->addRow(u"Character Set"_s, m_characterSet);
    form->addRow(u"Do you want to enable caller Id ?"_s, m_callerId);
    form->addRow(u"Modem Delay Factor :"_s, delayRow);

    m_detect = named(new QPushButton(u"Click here to automatically detect the modem connected to this computer"_s, tab),
                     u"cmdDetectModem"_s);
    m_alert = named(new QLabel(tab), u"lblAlertMsg"_s);
    m_alert->setWordWrap(true);
    m_alert->setStyleSheet(u"color: #b00000;"_s);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(m_modemPanel);
    layout->addWidget(m_detect);
    layout->addWidget(m_alert);
    layout->addStretch();

    connect(m_detect, &QPushButton::clicked, this, &SettingsDialog::detectModem);
    return tab;
}

QWidget* SettingsDialog::buildTimerTab()
{
    auto* tab = new QWidget;

    m_receiveTime = named(new QLineEdit(tab), u"txttime"_s);
    m_receiveEnabled = named(new QCheckBox(u"Enabled auto receive SMS"_s, tab), u"chkEnableReceive"_s);
    m_sendTime = named(new QLineEdit(tab), u"txtSendmsgtime"_s);
    m_sendEnabled = named(new QCheckBox(u"Enabled auto delivery of SMS"_s, tab), u"chkEnableSend"_s);
    auto timeRow = [tab](const QString& before, QLineEdit* field) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(before, tab));
        field->setMaximumWidth(60);
        row->addWidget(field);
        row->addWidget(new QLabel(u"Seconds."_s, tab));
        row->addWidget(new QLabel(u"(Between 3-65)"_s, tab));
        row->addStretch();
        return row;
    };

    m_viaModem = named(new QRadioButton(u"Through GSM / CDMA Modem Connected To This Computer"_s, tab), u"optModem"_s);
    m_viaSmtp = named(new QRadioButton(u"Through External SMTP SMS Gateway"_s, tab), u"optSMTPSMSGateway"_s);
    m_viaMix = named(new QRadioButton(u"Mix Mode (Using both of the above but depending upon the rules set)"_s, tab),
                     u"optMixMode"_s);
    auto* media = new QButtonGroup(tab);
    media->addButton(m_viaModem);
    media->addButton(m_viaSmtp);
    media->addButton(m_viaMix);

    m_simPanel = named(new QGroupBox(u"SIM Card SMS Delivery Method"_s, tab), u"fraSIMDelivery"_s);
    m_storeAndDeliver = named(new QRadioButton(u"Store on SIM and deliver"_s, m_simPanel), u"optStoreAndDeliver"_s);
    m_directDeliver =
        named(new QRadioButton(u"Direct delivery without storing to SIM"_s, m_simPanel), u"optDirectDeliver"_s);
    auto* simLayout = new QVBoxLayout(m_simPanel);
    simLayout->addWidget(m_storeAndDeliver);
    simLayout->addWidget(m_directDeliver);

    m_smtpPanel = named(new QGroupBox(u"Settings For External SMTP SMS Gateway"_s, tab), u"fraSMTPGateway"_s);
    m_smtpServer = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPServer"_s);
    m_smtpPort = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPPort"_s);
    m_smtpPostfix = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPEmailPostfix"_s);
    m_smtpFromName = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPFromName"_s);
    m_smtpAddress = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPYourEmailAddress"_s);
    m_masking = named(new QCheckBox(m_smtpPanel), u"chkIsFromNameSentByMaskingYourEmail"_s);
    auto* whatIsThis = named(new LinkLabel(u"(What is this?)"_s, m_smtpPanel), u"lblWhatIsThis"_s);
    auto* advanced = named(new QPushButton(u"Advanced Settings"_s, m_smtpPanel), u"cmdAdvancedSettings"_s);
    auto* postfixRow = new QHBoxLayout;
    postfixRow->addWidget(new QLabel(u"mobile-number @"_s, m_smtpPanel));
    postfixRow->addWidget(m_smtpPostfix, 1);
    auto* maskingRow = new QHBoxLayout;
    maskingRow->addWidget(m_masking);
    maskingRow->addWidget(whatIsThis);
    maskingRow->addStretch();
    maskingRow->addWidget(advanced);
    auto* smtpForm = new QFormLayout(m_smtpPanel);
    smtpForm->addRow(u"SMS SMTP Server Address :"_s, m_smtpServer);
    smtpForm->addRow(u"SMTP Port Number :"_s, m_smtpPort);
    smtpForm->addRow(u"SMS Email Address :"_s, postfixRow);
    smtpForm->addRow(u"Default From Name / From No. :"_s, m_smtpFromName);
    smtpForm->addRow(u"Your Email Address On SMTP Server :"_s, m_smtpAddress);
    auto* maskingQuestion =
        new QLabel(u"To Change Sender's Name, SMS SMTP Server Requires To Mask Your Email Address?"_s, m_smtpPanel);
    maskingQuestion->setWordWrap(true);
    smtpForm->addRow(maskingQuestion);
    smtpForm->addRow(maskingRow);

    m_mixPanel = named(new QGroupBox(u"Mix Mode Rules for Sending SMS"_s, tab), u"fraMixMode"_s);
    m_mixViaModem = named(new QRadioButton(u"Send SMS through the MODEM connected to this computer ONLY IF mobile "
                                           u"numbers (excluding leading '+' && '0') start with following digits. "
                                           u"Otherwise send by SMTP SMS Gateway."_s,
                                           m_mixPanel),
                          u"optMixModeModem"_s);
    m_mixViaSmtp = named(new QRadioButton(u"Send SMS through the external SMTP SMS Gateway ONLY IF mobile numbers "
                                          u"(excluding leading '+' && '0') start with following digits. Otherwise "
                                          u"send by Modem."_s,
                                          m_mixPanel),
                         u"optMixModeSMTPSMSGateway"_s);
    m_mixNumbers = named(new QLineEdit(m_mixPanel), u"txtMixModeMobileNumbers"_s);
    auto* mixLayout = new QVBoxLayout(m_mixPanel);
    mixLayout->addWidget(m_mixViaModem);
    mixLayout->addWidget(m_mixViaSmtp);
    mixLayout->addWidget(new QLabel(u"Mobile numbers starting with : (seperate multiple by comma)"_s, m_mixPanel));
    mixLayout->addWidget(m_mixNumbers);
    mixLayout->addWidget(new QLabel(u"(E.g. : 91937, 937, 922, 91922, ... etc.)"_s, m_mixPanel));

    auto* reset = named(new QPushButton(u"Yes! Reset the Status"_s, tab), u"cmdResetStatus"_s);
    auto* resetRow = new QHBoxLayout;
    resetRow->addWidget(new QLabel(u"Do you want to clear the \"SENDING\" status for all messages in outbox ?"_s, tab));
    resetRow->addWidget(reset);
    resetRow->addStretch();

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(timeRow(u"Automaticaly receive SMS every"_s, m_receiveTime));
    layout->addWidget(m_receiveEnabled);
    layout->addLayout(timeRow(u"Automaticaly send SMS from Outbox every"_s, m_sendTime));
    layout->addWidget(m_sendEnabled);
    layout->addWidget(new QLabel(u"How do you want SMS from your outbox to be delivered?"_s, tab));
    layout->addWidget(m_viaModem);
    layout->addWidget(m_viaSmtp);
    layout->addWidget(m_viaMix);
    layout->addWidget(m_simPanel);
    layout->addWidget(m_smtpPanel);
    layout->addWidget(m_mixPanel);
    layout->addLayout(resetRow);
    layout->addStretch();

    connect(m_receiveEnabled, &QCheckBox::toggled, m_receiveTime, &QWidget::setEnabled);
    connect(m_sendEnabled, &QCheckBox::toggled, m_sendTime, &QWidget::setEnabled);
    connect(m_receiveTime, &QLineEdit::textChanged, this, [this] { checkTimeField(m_receiveTime, true); });
    connect(m_sendTime, &QLineEdit::textChanged, this, [this] { checkTimeField(m_sendTime, false); });
    for (QRadioButton* option : {m_viaModem, m_viaSmtp, m_viaMix})
        connect(option, &QRadioButton::toggled, this, &SettingsDialog::showDeliveryPanel);
    connect(whatIsThis, &LinkLabel::clicked, this, [this] {
        m_dialogs.information(
            this, u"To mask (change) the sender's mobile number, some SMTP SMS Gateway servers require you to replace "
                  u"the portion of your Email Address with any Alpha-Numeric text of max. 11 characters.\r\n"
                  u"If you select this option text entered in FromName field will be used to mask 'Your Email "
                  u"Address on SMTP Server' field.\r\n\r\n"
                  u"Please confirm with your SMTP SMS Gateway provider before selecting this option. OR if you are "
                  u"not sure, do NOT select this option."_s);
    });
    connect(advanced, &QPushButton::clicked, this, [this] {
        SmtpAdvancedDialog screen(m_db, m_gateway, m_dialogs, this);
        // Its connection test reaches the server as typed here, saved or not.
        screen.setSmtpServer(m_smtpServer->text(), m_smtpPort->text());
        screen.exec();
    });
    connect(reset, &QPushButton::clicked, this, &SettingsDialog::resetSendingStatus);
    return tab;
}

QWidget* SettingsDialog::buildEmailTab()
{
    auto* tab = new QWidget;
    auto* panel = named(new QGroupBox(u"Email-to-SMS Settings"_s, tab), u"fraEmailToSMS"_s);
    m_mailboxEnabled =
        named(new QCheckBox(u" Enable Email - To - SMS Delivery Feature"_s, panel), u"chkEnableWebMailToSMS"_s);

    auto* account = new QGroupBox(u"Check Following POP3 Email Account"_s, panel);
    m_pop3Server = named(new QLineEdit(account), u"Pop3MailServer"_s);
    m_pop3Port = named(new QLineEdit(account), u"Pop3Port"_s);
    m_pop3UserName = named(new QLineEdit(account), u"POP3UserName"_s);
    m_pop3Password = named(new QLineEdit(account), u"POP3Password"_s);
    m_pop3Password->setEchoMode(QLineEdit::Password);
    m_checkInterval = named(new QLineEdit(account), u"EmailCheckInterval"_s);
    m_allowPlainLogin =
        named(new QCheckBox(u"Allow unencrypted login (not recommended)"_s, account), u"chkAllowPlainPOP3Login"_s);
    m_allowPlainLogin->setToolTip(u"Without this the password goes out only over TLS: port 995, or STLS on other "
                                  u"ports. Tick it only for a server that cannot do either."_s);
    auto* testButton = named(new QPushButton(u"Test connection"_s, account), u"cmdTestPOP3Connection"_s);
    testButton->setToolTip(u"Logs in to this mailbox with the values typed here; nothing is read or deleted."_s);
    connect(testButton, &QPushButton::clicked, this, &SettingsDialog::testMailbox);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_checkInterval);
    intervalRow->addWidget(new QLabel(u"seconds."_s, account));
    auto* form = new QFormLayout(account);
    form->addRow(u"POP3 Mail Server :"_s, m_pop3Server);
    form->addRow(u"POP3 Port :"_s, m_pop3Port);
    form->addRow(u"User Name :"_s, m_pop3UserName);
    form->addRow(u"Password :"_s, m_pop3Password);
    form->addRow(u"Check Email Every"_s, intervalRow);
    form->addRow(m_allowPlainLogin);
    form->addRow(testButton);

    auto* format = new QGroupBox(u"Income Email Format"_s, panel);
    auto* sentence = new QLabel(
        u"In order to properly deliver the an email on SMS number, email message must have following format :"_s,
        format);
    sentence->setWordWrap(true);
    auto* example = named(new QPlainTextEdit(kEmailFormat, format), u"txtEmailFormat"_s);
    example->setReadOnly(true);
    auto* note =
        new QLabel(u"(Note: Email is sent to SMS on the given numbers ONLY if the SMSUserName && SMSPassword in the "
                   u"incoming mail can be authenticated with the one in the system - as found in the 'Masters' --> "
                   u"'Manage SMS User Accounts' on main menu bar)"_s,
                   format);
    note->setWordWrap(true);
    auto* formatLayout = new QVBoxLayout(format);
    formatLayout->addWidget(sentence);
    formatLayout->addWidget(example);
    formatLayout->addWidget(note);

    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(m_mailboxEnabled);
    panelLayout->addWidget(account);
    panelLayout->addWidget(format);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(panel);
    return tab;
}

void SettingsDialog::load()
{
    m_loading = true;
    store::SettingsTables tables(m_db);

    auto modem = tables.modemSettings();
    QString storedPort;
    if (!modem) {
        reportStoreFailure(u"The modem settings could not be read: "_s + modem.error().message);
    } else if (modem->has_value()) {
        const store::ModemSettingsRow& row = **modem;
        storedPort = modem::serialDevicePath(row.CommPortName, row.CommPortNo);
        showStored(m_bitsPerSecond, row.BitsPerSecond);
        showStored(m_dataBits, row.DataBits);
        const qsizetype parity = kParityLetters.indexOf(store::trimBlanks(row.Parity).toLower());
        m_parity->setCurrentIndex(int(parity));
        showStored(m_stopBits, row.StopBits);
        bool ok = false;
        const int flow = store::trimBlanks(row.FlowControl).toInt(&ok);
        m_flowControl->setCurrentIndex(ok && flow >= 0 && flow < kFlowNames.size() ? flow : -1);
        showStored(m_characterSet, row.CharacterSet);
        m_callerId->setChecked(row.EnabledCallerId);
        const double factor = store::trimBlanks(row.ModemDelayFactor).toDouble(&ok);
        if (ok)
            showStored(m_delay, QString::number(factor));
    }
    m_port->addItems(m_ports);
    if (!storedPort.isEmpty() && !m_ports.contains(storedPort))
        m_port->addItem(storedPort);
    m_port->setCurrentIndex(-1);
    m_port->setEditText(storedPort);

    auto timers = tables.timerSetting();
    if (!timers) {
        reportStoreFailure(u"The timer and delivery settings could not be read: "_s + timers.error().message);
    } else if (timers->has_value()) {
        const store::TimerSettingRow& row = **timers;
        m_receiveTime->setText(store::trimBlanks(row.ReceiveAllMessagesTime));
        m_sendTime->setText(store::trimBlanks(row.SendAllMessagesTime));
        m_receiveEnabled->setChecked(row.EnableReceiveTimer);
        m_sendEnabled->setChecked(row.EnableSendTimer);
        const QString media = store::trimBlanks(row.SMSDeliveryMedia).toUpper();
        m_viaModem->setChecked(media == u"MODEM"_s);
        m_viaSmtp->setChecked(media == u"SMTPSMSGATEWAY"_s);
        m_viaMix->setChecked(media == u"MIXMODE"_s);
        const QString simMode = store::trimBlanks(row.SIMCardDeliveryMode).toUpper();
        m_storeAndDeliver->setChecked(simMode == u"STORE AND DELIVER"_s);
        m_directDeliver->setChecked(simMode == u"DIRECT DELIVER"_s);
        m_smtpServer->setText(store::trimBlanks(row.SMSSMTPServer));
        m_smtpPort->setText(store::trimBlanks(row.SMSSMTPPort));
        m_smtpPostfix->setText(store::trimBlanks(row.SMSSMTPEmailPostfix));
        m_smtpFromName->setText(store::trimBlanks(row.SMSSMTPFromName));
        m_smtpAddress->setText(store::trimBlanks(row.SMSSMTPYourEmailAddress));
        m_masking->setChecked(row.IsFromNameSentByMaskingYourEmail);
        const QString mixRoute = store::trimBlanks(row.MixModeDeliveryMedia).toUpper();
        m_mixViaModem->setChecked(mixRoute == u"MODEM"_s);
        m_mixViaSmtp->setChecked(mixRoute == u"SMTPSMSGATEWAY"_s);
        m_mixNumbers->setText(row.MixModeMobileNumbers);
    }
    m_receiveTime->setEnabled(m_receiveEnabled->isChecked());
    m_sendTime->setEnabled(m_sendEnabled->isChecked());
    showDeliveryPanel();

    auto mailbox = tables.pop3Settings();
    if (!mailbox) {
        reportStoreFailure(u"The e-mail-to-SMS settings could not be read: "_s + mailbox.error().message);
    } else if (mailbox->has_value()) {
        const store::Pop3SettingsRow& row = **mailbox;
        m_mailboxEnabled->setChecked(row.IsEnabled);
        m_pop3Server->setText(store::trimBlanks(row.POP3MailServer));
        m_pop3Port->setText(store::trimBlanks(row.POP3Port));
        m_pop3UserName->setText(store::trimBlanks(row.POP3UserName));
        m_pop3Password->setText(store::trimBlanks(row.POP3Password));
        m_checkInterval->setText(store::trimBlanks(row.EmailCheckInterval));
        m_allowPlainLogin->setChecked(row.POP3AllowPlainLogin);
    }
    m_loading = false;
}

void SettingsDialog::selectTab(Tab tab)
{
    m_tabs->setCurrentIndex(tab);
}

void SettingsDialog::setModemConnected(bool connected)
{
    // Changing the line under an open link would not reach the modem before a reconnection,
    // and the search would take its port.
    m_modemPanel->setEnabled(!connected);
    m_detect->setEnabled(!connected);
    m_alert->setText(connected
                         ? u"You can not change the modem settings. Because computer is already connected with modem."_s
                         : QString());
    m_alert->setVisible(connected);
}

void SettingsDialog::showDeliveryPanel()
{
    m_simPanel->setVisible(m_viaModem->isChecked());
    m_smtpPanel->setVisible(m_viaSmtp->isChecked());
    m_mixPanel->setVisible(m_viaMix->isChecked());
}

void SettingsDialog::checkTimeField(QLineEdit* field, bool receiveField)
{
    if (m_loading || field->text().trimmed().isEmpty())
        return;
    const QString problem = timeFieldProblem(field->text(), receiveField);
    if (problem.isEmpty())
        return;
    m_dialogs.information(this, problem);
    field->clear();
    field->setFocus();
}

void SettingsDialog::takeFoundPort(const QString& port)
{
    selectPortFromList = true;
    m_port->setEditText(port.trimmed());
    showStored(m_bitsPerSecond, u"115200"_s);
    showStored(m_delay, u"2.25"_s);
    selectTab(ModemTab);
    m_port->setFocus();
}

void SettingsDialog::detectModem()
{
    QStringList ports;
    for (int i = 0; i < m_port->count(); ++i)
        ports << m_port->itemText(i);
    // A device typed into the field is searched first.
    const QString typed = m_port->currentText().trimmed();
    if (!typed.isEmpty() && !ports.contains(typed))
        ports.prepend(typed);
    if (ports.isEmpty()) {
        m_dialogs.information(this, u"No serial device was found on this computer. Plug in the modem, or type its "
                                    u"device (for example /dev/ttyUSB0) in 'Modem plugged-in to which COM port?'."_s);
        return;
    }

    ModemSearchProgress progress(m_gateway, ports, this);
    if (progress.exec() != QDialog::Accepted)
        return;
    if (progress.modems().isEmpty()) {
        m_dialogs.information(this,
                              u"Searched COM ports from 1 - %1 but did not find a modem."_s.arg(progress.searched()));
        return;
    }
    FoundModemsDialog found(progress.modems(), this);
    found.exec();
    if (found.selectPortFromList)
        takeFoundPort(found.chosenPort());
}

void SettingsDialog::testMailbox()
{
    const QString server = store::trimBlanks(m_pop3Server->text());
    if (server.isEmpty()) {
        refuse(u"Please Enter POP3 Mail Server Name / IP"_s, EmailTab, m_pop3Server);
        return;
    }
    const std::optional<int> port = store::portNumber(m_pop3Port->text());
    if (!port) {
        refuse(u"Please Enter Numeric Port Number"_s, EmailTab, m_pop3Port);
        return;
    }
    mail::Pop3Mailbox::Account account;
    account.server = server;
    account.port = *port;
    account.userName = store::trimBlanks(m_pop3UserName->text());
    account.password = store::trimBlanks(m_pop3Password->text());
    account.allowPlainLogin = m_allowPlainLogin->isChecked();
    testMailConnection(this, m_gateway, m_dialogs, m_db,
                       [gateway = m_gateway, account] { return gateway->startMailboxTest(account); });
}

void SettingsDialog::resetSendingStatus()
{
    if (auto reset = store::OutboxTable(m_db).resetSending(); !reset)
        reportStoreFailure(u"The \"SENDING\" status could not be cleared: "_s + reset.error().message);
}

void SettingsDialog::refuse(const QString& text, Tab tab, QWidget* field)
{
    m_dialogs.information(this, text);
    selectTab(tab);
    field->setFocus();
}

void SettingsDialog::reportStoreFailure(const QString& message)
{
    m_dialogs.error(this, message);
}

void SettingsDialog::save()
{
    // Each part is stored once its own fields pass; a refusal later leaves it stored.
    if (!saveMailbox() || !saveTimers() || !saveModem())
        return;
    m_dialogs.information(this, u"Settings Saved Successfully!!!"_s);
}

bool SettingsDialog::saveMailbox()
{
    if (store::trimBlanks(m_pop3Server->text()).isEmpty()) {
        refuse(u"Please Enter POP3 Mail Server Name / IP"_s, EmailTab, m_pop3Server);
        return false;
    }
    const std::optional<int> pop3Port = store::portNumber(m_pop3Port->text());
    if (!pop3Port) {
        refuse(u"Please Enter Numeric Port Number"_s, EmailTab, m_pop3Port);
        return false;
    }
    if (store::trimBlanks(m_pop3UserName->text()).isEmpty()) {
        refuse(u"Please Enter POP3 Username"_s, EmailTab, m_pop3UserName);
        return false;
    }
    if (store::trimBlanks(m_pop3Password->text()).isEmpty()) {
        refuse(u"Please Enter POP3 Password"_s, EmailTab, m_pop3Password);
        return false;
    }
    if (store::trimBlanks(m_checkInterval->text()).isEmpty() || !isNumeric(m_checkInterval->text())) {
        refuse(u"Please Enter Numeric Email Checking Interval"_s, EmailTab, m_checkInterval);
        return false;
    }
    const double interval = numericValue(m_checkInterval->text());
    if (interval < 3 || interval > 86400) {
        refuse(u"Please insert seconds greater than or equal to 3 and less than or equal to 86400."_s, EmailTab,
               m_checkInterval);
        m_checkInterval->clear();
        return false;
    }

    const store::Pop3SettingsRow row{store::trimBlanks(m_pop3Server->text()),
                                     QString::number(*pop3Port),
                                     store::trimBlanks(m_pop3UserName->text()),
                                     store::trimBlanks(m_pop3Password->text()),
                                     store::trimBlanks(m_checkInterval->text()),
                                     m_mailboxEnabled->isChecked(),
                                     m_allowPlainLogin->isChecked()};
    if (auto saved = store::SettingsTables(m_db).savePop3Settings(row); !saved) {
        reportStoreFailure(u"The e-mail-to-SMS settings could not be saved: "_s + saved.error().message);
        return false;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyMailboxSettings, Qt::QueuedConnection);
    return true;
}

bool SettingsDialog::saveTimers()
{
    const auto checkTime = [this](QLineEdit* field, const QString& tooShort) {
        if (store::trimBlanks(field->text()).isEmpty()) {
            refuse(u"Please enter time in seconds."_s, TimerTab, field);
            return false;
        }
        if (!isNumeric(field->text())) {
            refuse(u"Please enter numeric value."_s, TimerTab, field);
            return false;
        }
        if (std::trunc(numericValue(field->text())) < 3) {
            refuse(tooShort, TimerTab, field);
            field->clear();
            return false;
        }
        return true;
    };
    if (!checkTime(m_receiveTime, u"Automatically receive all messages time should be greater than or equal to 3."_s) ||
        !checkTime(m_sendTime, u"Automatically send all messages time should be greater than or equal to 3."_s))
        return false;

    if (m_viaSmtp->isChecked()) {
        const std::pair<QLineEdit*, QString> required[] = {
            {m_smtpFromName, u"If SMS delivery method is SMTP Gateway then you must enter default From Name."_s},
            {m_smtpServer, u"If SMS delivery method is SMTP Gateway then you must enter SMTP server."_s},
            {m_smtpPort, u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Server Port."_s},
            {m_smtpAddress,
             u"If SMS delivery method is SMTP Gateway then you must enter your Email Address on SMTP Server."_s},
        };
        for (const auto& [field, message] : required) {
            if (store::trimBlanks(field->text()).isEmpty()) {
                refuse(message, TimerTab, field);
                return false;
            }
        }
        if (!m_smtpAddress->text().contains(u'@')) {
            refuse(u"Your Email Address on SMTP Server must contain '@' character."_s, TimerTab, m_smtpAddress);
            return false;
        }
    }
    // A port that is typed must be one, whatever the delivery method: mixed mode uses it too.
    const QString smtpPort = m_smtpPort->text().trimmed();
    if (!smtpPort.isEmpty() && !store::portNumber(smtpPort)) {
        refuse(u"Please enter the SMTP Port Number as a whole number from 1 to 65535."_s, TimerTab, m_smtpPort);
        return false;
    }
    // Checked before anything of this tab changes, so a refused save leaves the engine's timers
    // as they were.
    if (!m_viaModem->isChecked() && !m_viaSmtp->isChecked() && !m_viaMix->isChecked()) {
        refuse(u"You must select atleast one SMS delivey media"_s, TimerTab, m_viaModem);
        return false;
    }

    store::SettingsTables tables(m_db);
    auto current = tables.timerSetting();
    if (!current) {
        reportStoreFailure(u"The timer and delivery settings could not be saved: "_s + current.error().message);
        return false;
    }
    // The advanced SMTP values, and a choice this screen leaves open, keep their stored values.
    store::TimerSettingRow row = current->value_or(store::TimerSettingRow{});
    row.ReceiveAllMessagesTime = store::trimBlanks(m_receiveTime->text());
    row.SendAllMessagesTime = store::trimBlanks(m_sendTime->text());
    row.EnableReceiveTimer = m_receiveEnabled->isChecked();
    row.EnableSendTimer = m_sendEnabled->isChecked();
    if (m_viaModem->isChecked()) {
        row.SMSDeliveryMedia = u"MODEM"_s;
    } else if (m_viaSmtp->isChecked()) {
        row.SMSDeliveryMedia = u"SMTPSMSGATEWAY"_s;
    } else {
        row.SMSDeliveryMedia = u"MIXMODE"_s;
        m_dialogs.information(this, u"You have selected 'MIX MODE' as your SMS delivery option.\r\n"
                                    u"Make sure that you have also filled in all the parameters for: \r\n"
                                    u"1) Delivery through modem AND\r\n"
                                    u"2) Delivery through SMTP SMS gateway\r\n\r\n"
                                    u"All the values must have been filled otherwise this delivery method may not "
                                    u"work properly."_s);
    }
    row.SMSSMTPServer = store::trimBlanks(m_smtpServer->text());
    row.SMSSMTPPort = smtpPort.isEmpty() ? smtpPort : QString::number(*store::portNumber(smtpPort));
    row.SMSSMTPEmailPostfix = store::trimBlanks(m_smtpPostfix->text());
    row.SMSSMTPFromName = store::trimBlanks(m_smtpFromName->text());
    row.SMSSMTPYourEmailAddress = store::trimBlanks(m_smtpAddress->text());
    row.IsFromNameSentByMaskingYourEmail = m_masking->isChecked();
    m_mixNumbers->setText(store::cleanMixModeNumbers(m_mixNumbers->text()));
    row.MixModeMobileNumbers = m_mixNumbers->text();
    if (m_storeAndDeliver->isChecked())
        row.SIMCardDeliveryMode = u"STORE AND DELIVER"_s;
    else if (m_directDeliver->isChecked())
        row.SIMCardDeliveryMode = u"DIRECT DELIVER"_s;
    if (m_mixViaModem->isChecked())
        row.MixModeDeliveryMedia = u"MODEM"_s;
    else if (m_mixViaSmtp->isChecked())
        row.MixModeDeliveryMedia = u"SMTPSMSGATEWAY"_s;

    if (auto saved = tables.saveTimerSetting(row); !saved) {
        reportStoreFailure(u"The timer and delivery settings could not be saved: "_s + saved.error().message);
        return false;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyDeliverySettings, Qt::QueuedConnection);
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyTimerSettings, Qt::QueuedConnection);
    return true;
}

bool SettingsDialog::saveModem()
{
    const std::pair<QComboBox*, QString> required[] = {
        {m_port, u"Please select Comm port Number."_s},      {m_bitsPerSecond, u"Please select Bits Per Second."_s},
        {m_dataBits, u"Please select Data Bits."_s},         {m_parity, u"Please select Parity."_s},
        {m_stopBits, u"Please select Stop bits."_s},         {m_flowControl, u"Please select Flow Control."_s},
        {m_characterSet, u"Please select Character set."_s},
    };
    for (const auto& [list, message] : required) {
        if (list->currentText().trimmed().isEmpty()) {
            refuse(message, ModemTab, list);
            return false;
        }
    }
    if (m_delay->currentText().trimmed().isEmpty()) {
        refuse(u"Please select the Modem Delay Factor (1=Faster Modem, 4=Slower Modem )."_s, ModemTab, m_delay);
        return false;
    }
    if (selectPortFromList && m_bitsPerSecond->currentText() != u"9600"_s) {
        const auto answer = m_dialogs.question(
            this, u"You have changed the default settings for 'bits / seconds', this needs to restart(OFF & ON) your "
                  u"modem.\r\nDo you still want to save the settings?"_s);
        if (answer == Dialogs::No) {
            selectTab(ModemTab);
            m_bitsPerSecond->setFocus();
            return false;
        }
    }
    selectPortFromList = false;

    const QString port = m_port->currentText().trimmed();
    store::ModemSettingsRow row;
    row.CommPortNo = modem::classicPortNumber(port);
    row.CommPortName = port;
    row.BitsPerSecond = m_bitsPerSecond->currentText();
    row.DataBits = m_dataBits->currentText();
    row.Parity = kParityLetters.value(kParityNames.indexOf(m_parity->currentText()));
    row.StopBits = m_stopBits->currentText();
    row.FlowControl = QString::number(kFlowNames.indexOf(m_flowControl->currentText()));
    row.CharacterSet = m_characterSet->currentText();
    row.EnabledCallerId = m_callerId->isChecked();
    row.ModemDelayFactor = m_delay->currentText();
    if (auto saved = store::SettingsTables(m_db).saveModemSettings(row); !saved) {
        reportStoreFailure(u"The modem settings could not be saved: "_s + saved.error().message);
        return false;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyModemSettings, Qt::QueuedConnection);
    return true;
}

} // namespace ui
