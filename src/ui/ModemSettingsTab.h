#pragma once

#include "Database.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace engine {
class Gateway;
}

namespace store {
struct ModemSettingsRow;
}

namespace ui {

class Dialogs;

// "Modem Settings": the serial line to the modem, its delay factor and the modem search.
class ModemSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    // ports: the serial devices offered in the port list (the stored one is added).
    ModemSettingsTab(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, const QStringList& ports,
                     QWidget* parent = nullptr);

    // Shows the stored row; a store without one shows the line most modems speak, which only a
    // save stores.
    void load();
    // Checks the lists and stores the row. selectPortFromList: the port came from the search,
    // whose speed needs the operator's word; a save that goes on clears it. False ends the save.
    bool save(bool& selectPortFromList);
    // While the modem is connected its settings cannot be changed.
    void setModemConnected(bool connected);
    // The port a search found, with the speed and delay that suit the search.
    void showFoundPort(const QString& port);
    // The modem search over the ports of the list, and the pick of the modem found.
    void detectModem();

Q_SIGNALS:
    // The operator picked this port from the modems the search found.
    void foundPortChosen(const QString& port);

private:
    void buildLists();
    void buildLayout();
    void showRow(const store::ModemSettingsRow& row);
    void showFirstStart();
    void showPorts(const QString& storedPort);
    bool checkLists();
    bool confirmSpeed(bool& selectPortFromList);
    store::ModemSettingsRow typedRow() const;
    QStringList portsToSearch() const;

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    QStringList m_ports;

    QGroupBox* m_panel = nullptr;
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
};

} // namespace ui
