#include "MailboxSettingsTab.h"

#include "ConnectionTestDialog.h"
#include "Dialogs.h"
#include "FieldChecks.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "ScreenParts.h"
#include "SettingsTables.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

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

const QString kNoServer = u"Please Enter POP3 Mail Server Name / IP"_s;
const QString kNoPort = u"Please Enter Numeric Port Number"_s;

} // namespace

MailboxSettingsTab::MailboxSettingsTab(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                       QWidget* parent)
    : QWidget(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs)
{
    auto* panel = named(new QGroupBox(u"Email-to-SMS Settings"_s, this), u"fraEmailToSMS"_s);
    m_enabled = named(new QCheckBox(u" Enable Email - To - SMS Delivery Feature"_s, panel), u"chkEnableWebMailToSMS"_s);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(m_enabled);
    panelLayout->addWidget(buildAccount(panel));
    panelLayout->addWidget(buildFormat(panel));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
}

QGroupBox* MailboxSettingsTab::buildAccount(QWidget* parent)
{
    auto* account = new QGroupBox(u"Check Following POP3 Email Account"_s, parent);
    m_server = named(new QLineEdit(account), u"Pop3MailServer"_s);
    m_port = named(new QLineEdit(account), u"Pop3Port"_s);
    m_userName = named(new QLineEdit(account), u"POP3UserName"_s);
    m_password = named(new QLineEdit(account), u"POP3Password"_s);
    m_password->setEchoMode(QLineEdit::Password);
    m_checkInterval = named(new QLineEdit(account), u"EmailCheckInterval"_s);
    m_allowPlainLogin =
        named(new QCheckBox(u"Allow unencrypted login (not recommended)"_s, account), u"chkAllowPlainPOP3Login"_s);
    m_allowPlainLogin->setToolTip(u"Without this the password goes out only over TLS: port 995, or STLS on other "
                                  u"ports. Tick it only for a server that cannot do either."_s);
    auto* testButton = named(new QPushButton(u"Test &connection"_s, account), u"cmdTestPOP3Connection"_s);
    testButton->setToolTip(u"Logs in to this mailbox with the values typed here; nothing is read or deleted."_s);
    connect(testButton, &QPushButton::clicked, this, &MailboxSettingsTab::testMailbox);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_checkInterval);
    intervalRow->addWidget(new QLabel(u"seconds."_s, account));
    auto* form = new QFormLayout(account);
    form->addRow(u"POP3 Mail Server :"_s, m_server);
    form->addRow(u"POP3 Port :"_s, m_port);
    form->addRow(u"User Name :"_s, m_userName);
    form->addRow(u"Password :"_s, m_password);
    form->addRow(u"Check Email Every"_s, intervalRow);
    form->addRow(m_allowPlainLogin);
    form->addRow(testButton);
    return account;
}

QGroupBox* MailboxSettingsTab::buildFormat(QWidget* parent)
{
    auto* format = new QGroupBox(u"Income Email Format"_s, parent);
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
    auto* layout = new QVBoxLayout(format);
    layout->addWidget(sentence);
    layout->addWidget(example);
    layout->addWidget(note);
    return format;
}

void MailboxSettingsTab::load()
{
    auto mailbox = store::SettingsTables(m_db).pop3Settings();
    if (!mailbox) {
        m_dialogs.error(window(), u"The e-mail-to-SMS settings could not be read: "_s + mailbox.error().message);
        return;
    }
    if (!mailbox->has_value())
        return;
    const store::Pop3SettingsRow& row = **mailbox;
    m_enabled->setChecked(row.IsEnabled);
    m_server->setText(store::trimBlanks(row.POP3MailServer));
    m_port->setText(store::trimBlanks(row.POP3Port));
    m_userName->setText(store::trimBlanks(row.POP3UserName));
    m_password->setText(store::trimBlanks(row.POP3Password));
    m_checkInterval->setText(store::trimBlanks(row.EmailCheckInterval));
    m_allowPlainLogin->setChecked(row.POP3AllowPlainLogin);
}

void MailboxSettingsTab::testMailbox()
{
    const QString server = store::trimBlanks(m_server->text());
    if (server.isEmpty()) {
        refuseField(m_dialogs, m_server, kNoServer);
        return;
    }
    const std::optional<int> port = store::portNumber(m_port->text());
    if (!port) {
        refuseField(m_dialogs, m_port, kNoPort);
        return;
    }
    mail::Pop3Mailbox::Account account;
    account.server = server;
    account.port = *port;
    account.userName = store::trimBlanks(m_userName->text());
    account.password = store::trimBlanks(m_password->text());
    account.allowPlainLogin = m_allowPlainLogin->isChecked();
    testMailConnection(window(), m_gateway, m_dialogs, m_db,
                       [gateway = m_gateway, account] { return gateway->startMailboxTest(account); });
}

bool MailboxSettingsTab::checkFields()
{
    using Check = bool (*)(const QString&);
    const Check filled = [](const QString& text) { return !store::trimBlanks(text).isEmpty(); };
    const Check port = [](const QString& text) { return store::portNumber(text).has_value(); };
    const Check number = [](const QString& text) { return !store::trimBlanks(text).isEmpty() && isNumeric(text); };
    const std::tuple<QLineEdit*, Check, QString> required[] = {
        {m_server, filled, kNoServer},
        {m_port, port, kNoPort},
        {m_userName, filled, u"Please Enter POP3 Username"_s},
        {m_password, filled, u"Please Enter POP3 Password"_s},
        {m_checkInterval, number, u"Please Enter Numeric Email Checking Interval"_s},
    };
    for (const auto& [field, passes, message] : required) {
        if (!passes(field->text())) {
            refuseField(m_dialogs, field, message);
            return false;
        }
    }
    const double interval = numericValue(m_checkInterval->text());
    if (interval < 3 || interval > 86400) {
        refuseField(m_dialogs, m_checkInterval,
                    u"Please insert seconds greater than or equal to 3 and less than or equal to 86400."_s);
        m_checkInterval->clear();
        return false;
    }
    return true;
}

bool MailboxSettingsTab::save()
{
    if (!checkFields())
        return false;
    const store::Pop3SettingsRow row{store::trimBlanks(m_server->text()),
                                     QString::number(*store::portNumber(m_port->text())),
                                     store::trimBlanks(m_userName->text()),
                                     store::trimBlanks(m_password->text()),
                                     store::trimBlanks(m_checkInterval->text()),
                                     m_enabled->isChecked(),
                                     m_allowPlainLogin->isChecked()};
    if (auto saved = store::SettingsTables(m_db).savePop3Settings(row); !saved) {
        m_dialogs.error(window(), u"The e-mail-to-SMS settings could not be saved: "_s + saved.error().message);
        return false;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyMailboxSettings, Qt::QueuedConnection);
    return true;
}

} // namespace ui
