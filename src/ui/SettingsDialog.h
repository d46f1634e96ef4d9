#pragma once

#include "Database.h"

#include <QDialog>

class QTabWidget;

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;
class MailboxSettingsTab;
class ModemSettingsTab;
class TimerSettingsTab;

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
    void save();

    // Set when the port came from the modem search; a save that goes on clears it.
    bool selectPortFromList = false;

private:
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    QTabWidget* m_tabs = nullptr;
    ModemSettingsTab* m_modemTab = nullptr;
    TimerSettingsTab* m_timerTab = nullptr;
    MailboxSettingsTab* m_mailboxTab = nullptr;
};

} // namespace ui
