#pragma once

#include "Database.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;

// "Settings": the modem's serial line, the send and receive timers, how outbox messages leave
// (modem, SMTP SMS gateway or both by number prefix) and the e-mail-to-SMS mailbox. Saving
// stores the rows and has the engine take the new values at once.
class SettingsDialog final : public QDialog
{
    Q_OBJECT

public:
    enum Tab
    {
        ModemTab,
        TimerTab,
        EmailTab
    };

    // ports: the serial devices offered in the port list (the stored one is added).
    SettingsDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, bool modemConnected,
                 const QStringList& ports, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    void selectTab(Tab tab);
    // While the modem is connected its settings cannot be changed.
    void setModemConnected(bool connected);
    // A modem picked in the search: its port with the speed and delay that suit the search.
    void takeFoundPort(const QString& port);
    // The modem search over the ports of the list, and the pick of the modem found.
    void detectModem();
    void save();
    void resetSendingStatus();
    // The mailbox's connection test with the values as typed.
    void testMailbox();

    // Set when the port came from the modem search; a save that goes on clears it.
    bool selectPortFromList = false;

private:
    QWidget* buildModemTab();
    QWidget* buildTimerTab();
    QWidget* buildEmailTab();
    void load();
    void showDeliveryPanel();
    void checkTimeField(QLineEdit* field, bool receiveField);
    // Shows the refusal, brings the field's tab forward and puts the focus in the field.
    void refuse(const QString& text, Tab tab, QWidget* field);
    bool saveMailbox();
    bool saveTimers();
    bool saveModem();
    void reportStoreFailure(const QString& message);

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    QStringList m_ports;
    bool m_loading = false;

    QTabWidget* m_tabs = nullptr;

    QGroupBox* m_modemPanel = nullptr;
    QComboBox* m_port = nullptr;
    QComboBox* m_bitsPerSecond = nullptr;
    QComboBox* m_dataBits = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_stopBits = nullptr;
    QComboBox* m_flowControl = nullptr;
    QComboBox* m_characterSet = nullptr;
    QCheckBox* m_callerId = nullptr;
    QComboBox* m_delay = nullptr;
    QPushButton* m_detect = nullptr;
    QLabel* m_alert = nullptr;

    QLineEdit* m_receiveTime = nullptr;
    QCheckBox* m_receiveEnabled = nullptr;
    QLineEdit* m_sendTime = nullptr;
    QCheckBox* m_sendEnabled = nullptr;
    QRadioButton* m_viaModem = nullptr;
    QRadioButton* m_viaSmtp = nullptr;
    QRadioButton* m_viaMix = nullptr;
    QGroupBox* m_simPanel = nullptr;
    QRadioButton* m_storeAndDeliver = nullptr;
    QRadioButton* m_directDeliver = nullptr;
    QGroupBox* m_smtpPanel = nullptr;
    QLineEdit* m_smtpServer = nullptr;
    QLineEdit* m_smtpPort = nullptr;
    QLineEdit* m_smtpPostfix = nullptr;
    QLineEdit* m_smtpFromName = nullptr;
    QLineEdit* m_smtpAddress = nullptr;
    QCheckBox* m_masking = nullptr;
    QGroupBox* m_mixPanel = nullptr;
    QRadioButton* m_mixViaModem = nullptr;
    QRadioButton* m_mixViaSmtp = nullptr;
    QLineEdit* m_mixNumbers = nullptr;

    QCheckBox* m_mailboxEnabled = nullptr;
    QLineEdit* m_pop3Server = nullptr;
    QLineEdit* m_pop3Port = nullptr;
    QLineEdit* m_pop3UserName = nullptr;
    QLineEdit* m_pop3Password = nullptr;
    QLineEdit* m_checkInterval = nullptr;
    QCheckBox* m_allowPlainLogin = nullptr;
};

} // namespace ui
