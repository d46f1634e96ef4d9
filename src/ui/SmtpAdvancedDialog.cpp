#include "SmtpAdvancedDialog.h"

#include "ConnectionTestDialog.h"
#include "Dialogs.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "ScreenParts.h"
#include "SettingsTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

const QString kMimeEncode = u"MIME_ENCODE"_s;
const QString kUuencode = u"UUENCODE"_s;

} // namespace

SmtpAdvancedDialog::SmtpAdvancedDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                       QWidget* parent)
    : QDialog(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs)
{
    setObjectName(u"frm_SMTPSMS_AdvancedSettings"_s);
    setWindowTitle(u"Advanced SMTP SMS Gateway Settings"_s);
    setModal(true);

    auto* panel = new QGroupBox(u"Advanced SMTP SMS Gateway Settings"_s, this);
    m_authenticationRequired = named(new QCheckBox(u"Yes"_s, panel), u"chkSMSSMTPAuthenticationRequired"_s);
    m_authenticationType = named(new QComboBox(panel), u"cmbSMSSMTPAuthenticationType"_s);
    m_userName = named(new QLineEdit(panel), u"txtSMSSMTPUserName"_s);
    m_password = named(new QLineEdit(panel), u"txtSMSSMTPPassword"_s);
    m_password->setEchoMode(QLineEdit::Password);
    m_encodeType = named(new QComboBox(panel), u"cmbSMSSMTPEncodeType"_s);
    m_allowPlainLogin =
        named(new QCheckBox(u"Allow unencrypted login (not recommended)"_s, panel), u"chkAllowPlainSMTPLogin"_s);
    m_allowPlainLogin->setToolTip(u"Without this the login goes out only over TLS: port 465, or STARTTLS on other "
                                  u"ports. Tick it only for a server that cannot do either."_s);

    auto* form = new QFormLayout(panel);
    form->addRow(u"SMTP Authentication Required? :"_s, m_authenticationRequired);
    form->addRow(u"Authentication Type :"_s, m_authenticationType);
    form->addRow(u"SMTP Username :"_s, m_userName);
    form->addRow(u"SMTP Password :"_s, m_password);
    form->addRow(m_allowPlainLogin);
    form->addRow(u"Encode Type :"_s, m_encodeType);

    auto* testButton = named(new QPushButton(u"&Test connection"_s, panel), u"cmdTestSMTPConnection"_s);
    testButton->setToolTip(u"Connects and logs in to the SMTP server with the values typed; no message is sent."_s);
    form->addRow(testButton);
    connect(testButton, &QPushButton::clicked, this, &SmtpAdvancedDialog::testConnection);

    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"cmdSave"_s);
    auto* exitButton = named(new QPushButton(u"&Exit"_s, this), u"cmdExit"_s);
    QHBoxLayout* buttons = buttonRow({saveButton, exitButton});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);

    connect(m_authenticationRequired, &QCheckBox::toggled, this, [this](bool on) {
        // The texts stay; they are only out of reach while no login is required.
        m_userName->setEnabled(on);
        m_password->setEnabled(on);
    });
    connect(saveButton, &QPushButton::clicked, this, &SmtpAdvancedDialog::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
    load();
}

void SmtpAdvancedDialog::load()
{
    m_authenticationType->addItems({u"None"_s, u"POP3"_s, u"AUTH LOGIN"_s, u"AUTH PLAIN"_s});
    m_encodeType->addItems({kMimeEncode, kUuencode});
    m_userName->setEnabled(false);
    m_password->setEnabled(false);

    auto row = store::SettingsTables(m_db).timerSetting();
    if (!row) {
        m_dialogs.error(this, u"The SMTP SMS gateway settings could not be read: "_s + row.error().message);
        return;
    }
    if (!row->has_value())
        return;
    const store::TimerSettingRow& stored = **row;
    m_server = store::trimBlanks(stored.SMSSMTPServer);
    m_port = store::trimBlanks(stored.SMSSMTPPort);
    m_authenticationRequired->setChecked(stored.IsSMSSMTPAuthenticationRequired);
    m_userName->setEnabled(stored.IsSMSSMTPAuthenticationRequired);
    m_password->setEnabled(stored.IsSMSSMTPAuthenticationRequired);

    bool ok = false;
    const int type = store::trimBlanks(stored.SMSSMTPAuthenticationType).toInt(&ok);
    m_authenticationType->setCurrentIndex(ok && type >= 0 && type < m_authenticationType->count() ? type : 0);
    if (!stored.SMSSMTPUserName.isEmpty())
        m_userName->setText(stored.SMSSMTPUserName);
    if (!stored.SMSSMTPPassword.isEmpty())
        m_password->setText(stored.SMSSMTPPassword);
    m_encodeType->setCurrentIndex(store::trimBlanks(stored.SMSSMTPEncodeType) == u"1"_s ? 1 : 0);
    m_allowPlainLogin->setChecked(stored.SMSSMTPAllowPlainLogin);
}

void SmtpAdvancedDialog::setSmtpServer(const QString& server, const QString& port)
{
    m_server = store::trimBlanks(server);
    m_port = store::trimBlanks(port);
}

void SmtpAdvancedDialog::testConnection()
{
    if (m_server.isEmpty()) {
        m_dialogs.information(this, u"If SMS delivery method is SMTP Gateway then you must enter SMTP server."_s);
        return;
    }
    const std::optional<int> port = store::portNumber(m_port);
    if (!port) {
        m_dialogs.information(this, u"Please Enter Numeric Port Number"_s);
        return;
    }
    mail::SmtpServer server;
    server.server = m_server;
    server.port = *port;
    server.authenticationRequired = m_authenticationRequired->isChecked();
    server.authenticationType = m_authenticationType->currentIndex();
    if (server.authenticationRequired) {
        server.userName = store::trimBlanks(m_userName->text());
        server.password = store::trimBlanks(m_password->text());
    }
    server.allowPlainLogin = m_allowPlainLogin->isChecked();
    // As a send would: the mailbox's port when the mailbox lives on the same server.
    const auto mailbox = store::SettingsTables(m_db).pop3Settings();
    server.pop3Port = mailbox && mailbox->has_value()
                          ? mail::popBeforeSmtpPort(m_server, (*mailbox)->POP3MailServer, (*mailbox)->POP3Port)
                          : 110;
    testMailConnection(this, m_gateway, m_dialogs, m_db,
                       [gateway = m_gateway, server] { return gateway->startSmtpTest(server); });
}

void SmtpAdvancedDialog::save()
{
    const QString userName = store::trimBlanks(m_userName->text());
    const QString password = store::trimBlanks(m_password->text());
    if (userName.isEmpty()) {
        m_dialogs.information(this,
                              u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Username."_s);
        m_userName->setFocus();
        return;
    }
    if (password.isEmpty()) {
        m_dialogs.information(this,
                              u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Password."_s);
        m_password->setFocus();
        return;
    }

    store::SettingsTables tables(m_db);
    auto row = tables.timerSetting();
    if (!row) {
        m_dialogs.error(this, u"The SMTP SMS gateway settings could not be saved: "_s + row.error().message);
        return;
    }
    // A store without its timer row gets one here, rather than losing what was typed.
    store::TimerSettingRow stored = row->value_or(store::TimerSettingRow{});
    stored.SMSSMTPUserName = userName;
    stored.SMSSMTPPassword = password;
    stored.IsSMSSMTPAuthenticationRequired = m_authenticationRequired->isChecked();
    stored.SMSSMTPAuthenticationType = QString::number(m_authenticationType->currentIndex());
    stored.SMSSMTPAllowPlainLogin = m_allowPlainLogin->isChecked();
    const QString encode = m_encodeType->currentText();
    if (encode.compare(kMimeEncode, Qt::CaseInsensitive) == 0)
        stored.SMSSMTPEncodeType = u"0"_s;
    else if (encode.compare(kUuencode, Qt::CaseInsensitive) == 0)
        stored.SMSSMTPEncodeType = u"1"_s;

    if (auto saved = tables.saveTimerSetting(stored); !saved) {
        m_dialogs.error(this, u"The SMTP SMS gateway settings could not be saved: "_s + saved.error().message);
        return;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyDeliverySettings, Qt::QueuedConnection);
    accept();
}

} // namespace ui
