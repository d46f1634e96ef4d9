#include "ModemSettingsTab.h"

#include "Dialogs.h"
#include "FieldChecks.h"
#include "FoundModemsDialog.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "ModemSearchProgress.h"
#include "ScreenParts.h"
#include "SerialPortName.h"
#include "SettingsTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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

// The line nearly every GSM modem and phone speaks out of the box, shown on a first start so
// that picking the port is all a new install needs.
const store::ModemSettingsRow kFirstStartLine{
    .CommPortNo = {},
    .CommPortName = {},
    .BitsPerSecond = u"115200"_s,
    .DataBits = u"8"_s,
    .Parity = u"n"_s,
    .StopBits = u"1"_s,
    .FlowControl = u"0"_s,
    .CharacterSet = u"GSM"_s,
    .EnabledCallerId = true,
    .ModemDelayFactor = u"1"_s,
};

} // namespace

ModemSettingsTab::ModemSettingsTab(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                   const QStringList& ports, QWidget* parent)
    : QWidget(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs), m_ports(ports)
{
    buildLists();
    buildLayout();
    connect(m_detect, &QPushButton::clicked, this, &ModemSettingsTab::detectModem);
}

void ModemSettingsTab::buildLists()
{
    m_panel = named(new QGroupBox(u"Modem Settings"_s, this), u"fraModemSettings"_s);
    m_port = named(new QComboBox(m_panel), u"Combo_comportNo"_s);
    // A Bluetooth phone (/dev/rfcomm0) or a virtual port may not be in the list: any device
    // path can be typed.
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_bitsPerSecond = choiceList(m_panel, u"Combo_BitsPerSec"_s,
                                 {u"110"_s, u"300"_s, u"1200"_s, u"2400"_s, u"4800"_s, u"9600"_s, u"19200"_s,
                                  u"38400"_s, u"57600"_s, u"115200"_s, u"230400"_s, u"460800"_s, u"921600"_s});
    m_dataBits = choiceList(m_panel, u"Combo_DataBits"_s, {u"5"_s, u"6"_s, u"7"_s, u"8"_s});
    m_parity = choiceList(m_panel, u"Combo_Parity"_s, kParityNames);
    m_stopBits = choiceList(m_panel, u"Combo_stopBit"_s, {u"1"_s, u"1.5"_s, u"2"_s});
    m_flowControl = choiceList(m_panel, u"Cmb_FlowControl"_s, kFlowNames);
    m_characterSet = choiceList(m_panel, u"cmb_CharSet"_s, {u"ANSI"_s, u"ASCII"_s, u"GSM"_s});
    m_callerId = named(new QCheckBox(u"Yes"_s, m_panel), u"chkEnbCallID"_s);
    m_delay = choiceList(m_panel, u"cmbDelay"_s, delayFactors());
}

void ModemSettingsTab::buildLayout()
{
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(m_delay);
    delayRow->addWidget(new QLabel(u"(1=Faster Modem, 4=Slower Modem )"_s, m_panel));
    delayRow->addStretch();

    auto* form = new QFormLayout(m_panel);
    form->addRow(u"Modem plugged-in to which COM port?"_s, m_port);
    form->addRow(u"Bits Per Second"_s, m_bitsPerSecond);
    form->addRow(u"Data Bits"_s, m_dataBits);
    form->addRow(u"Parity"_s, m_parity);
    form->addRow(u"Stop Bit"_s, m_stopBits);
    form->addRow(u"Flow Control"_s, m_flowControl);
    form->addRow(u"Character Set"_s, m_characterSet);
    form->addRow(u"Do you want to enable caller Id ?"_s, m_callerId);
    form->addRow(u"Modem Delay Factor :"_s, delayRow);

    m_detect =
        named(new QPushButton(u"Click here to automatically &detect the modem connected to this computer"_s, this),
              u"cmdDetectModem"_s);
    m_alert = named(new QLabel(this), u"lblAlertMsg"_s);
    m_alert->setWordWrap(true);
    m_alert->setStyleSheet(u"color: #b00000;"_s);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_panel);
    layout->addWidget(m_detect);
    layout->addWidget(m_alert);
    layout->addStretch();
}

void ModemSettingsTab::load()
{
    auto modem = store::SettingsTables(m_db).modemSettings();
    QString storedPort;
    if (!modem) {
        m_dialogs.error(window(), u"The modem settings could not be read: "_s + modem.error().message);
    } else if (modem->has_value()) {
        storedPort = modem::serialDevicePath((*modem)->CommPortName, (*modem)->CommPortNo);
        showRow(**modem);
    } else {
        showFirstStart();
    }
    showPorts(storedPort);
}

void ModemSettingsTab::showRow(const store::ModemSettingsRow& row)
{
    showStored(m_bitsPerSecond, row.BitsPerSecond);
    showStored(m_dataBits, row.DataBits);
    m_parity->setCurrentIndex(int(kParityLetters.indexOf(store::trimBlanks(row.Parity).toLower())));
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

void ModemSettingsTab::showFirstStart()
{
    showRow(kFirstStartLine);
}

void ModemSettingsTab::showPorts(const QString& storedPort)
{
    m_port->addItems(m_ports);
    if (!storedPort.isEmpty() && !m_ports.contains(storedPort))
        m_port->addItem(storedPort);
    m_port->setCurrentIndex(-1);
    m_port->setEditText(storedPort);
}

void ModemSettingsTab::setModemConnected(bool connected)
{
    // Changing the line under an open link would not reach the modem before a reconnection,
    // and the search would take its port.
    m_panel->setEnabled(!connected);
    m_detect->setEnabled(!connected);
    m_alert->setText(connected
                         ? u"You can not change the modem settings. Because computer is already connected with modem."_s
                         : QString());
    m_alert->setVisible(connected);
}

void ModemSettingsTab::showFoundPort(const QString& port)
{
    m_port->setEditText(port.trimmed());
    showStored(m_bitsPerSecond, u"115200"_s);
    showStored(m_delay, u"2.25"_s);
    bringForward(m_port);
}

QStringList ModemSettingsTab::portsToSearch() const
{
    QStringList ports;
    for (int i = 0; i < m_port->count(); ++i)
        ports << m_port->itemText(i);
    // A device typed into the field is searched first.
    const QString typed = m_port->currentText().trimmed();
    if (!typed.isEmpty() && !ports.contains(typed))
        ports.prepend(typed);
    return ports;
}

void ModemSettingsTab::detectModem()
{
    const QStringList ports = portsToSearch();
    if (ports.isEmpty()) {
        m_dialogs.information(window(), u"No serial device was found on this computer. Plug in the modem, or type "
                                        u"its device (for example /dev/ttyUSB0) in 'Modem plugged-in to which COM "
                                        u"port?'."_s);
        return;
    }
    ModemSearchProgress progress(m_gateway, ports, window());
    if (m_dialogs.run(progress) != QDialog::Accepted)
        return;
    if (progress.modems().isEmpty()) {
        m_dialogs.information(window(),
                              u"Searched COM ports from 1 - %1 but did not find a modem."_s.arg(progress.searched()));
        return;
    }
    FoundModemsDialog found(progress.modems(), window());
    m_dialogs.run(found);
    if (found.selectPortFromList)
        Q_EMIT foundPortChosen(found.chosenPort());
}

bool ModemSettingsTab::checkLists()
{
    const std::pair<QComboBox*, QString> required[] = {
        {m_port, u"Please select Comm port Number."_s},      {m_bitsPerSecond, u"Please select Bits Per Second."_s},
        {m_dataBits, u"Please select Data Bits."_s},         {m_parity, u"Please select Parity."_s},
        {m_stopBits, u"Please select Stop bits."_s},         {m_flowControl, u"Please select Flow Control."_s},
        {m_characterSet, u"Please select Character set."_s},
    };
    for (const auto& [list, message] : required) {
        if (list->currentText().trimmed().isEmpty()) {
            refuseField(m_dialogs, list, message);
            return false;
        }
    }
    if (m_delay->currentText().trimmed().isEmpty()) {
        refuseField(m_dialogs, m_delay, u"Please select the Modem Delay Factor (1=Faster Modem, 4=Slower Modem )."_s);
        return false;
    }
    return true;
}

bool ModemSettingsTab::confirmSpeed(bool& selectPortFromList)
{
    if (selectPortFromList && m_bitsPerSecond->currentText() != u"9600"_s) {
        const auto answer = m_dialogs.question(
            window(), u"You have changed the default settings for 'bits / seconds', this needs to restart(OFF & ON) "
                      u"your modem.\r\nDo you still want to save the settings?"_s);
        if (answer == Dialogs::No) {
            bringForward(m_bitsPerSecond);
            return false;
        }
    }
    selectPortFromList = false;
    return true;
}

store::ModemSettingsRow ModemSettingsTab::typedRow() const
{
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
    return row;
}

bool ModemSettingsTab::save(bool& selectPortFromList)
{
    if (!checkLists() || !confirmSpeed(selectPortFromList))
        return false;
    if (auto saved = store::SettingsTables(m_db).saveModemSettings(typedRow()); !saved) {
        m_dialogs.error(window(), u"The modem settings could not be saved: "_s + saved.error().message);
        return false;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyModemSettings, Qt::QueuedConnection);
    return true;
}

} // namespace ui
