#include "SettingsDialog.h"

#include "Dialogs.h"
#include "Gateway.h"
#include "MailboxSettingsTab.h"
#include "ModemSettingsTab.h"
#include "ScreenParts.h"
#include "TimerSettingsTab.h"

#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

SettingsDialog::SettingsDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                               bool modemConnected, const QStringList& ports, QWidget* parent)
    : QDialog(parent), m_gateway(gateway), m_dialogs(dialogs)
{
    setObjectName(u"frm_Settings"_s);
    setWindowTitle(u"Settings"_s);

    m_modemTab = named(new ModemSettingsTab(db, gateway, dialogs, ports), u"tabModemSettings"_s);
    m_timerTab = named(new TimerSettingsTab(db, gateway, dialogs), u"tabTimerSettings"_s);
    m_mailboxTab = named(new MailboxSettingsTab(db, gateway, dialogs), u"tabMailboxSettings"_s);
    // In the order of Tab.
    m_tabs = named(new QTabWidget(this), u"tabSettings"_s);
    m_tabs->addTab(m_modemTab, u"&Modem Settings"_s);
    m_tabs->addTab(m_timerTab, u"SMS &Timer Settings"_s);
    m_tabs->addTab(m_mailboxTab, u"Em&ail - To - SMS Settings"_s);

    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"cmdSave"_s);
    auto* exitButton = named(new QPushButton(u"&Exit"_s, this), u"cmdExit"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttonRow({saveButton, exitButton}));

    connect(saveButton, &QPushButton::clicked, this, &SettingsDialog::save);
    connect(exitButton, &QPushButton::clicked, this, &SettingsDialog::close);
    connect(m_modemTab, &ModemSettingsTab::foundPortChosen, this, &SettingsDialog::takeFoundPort);

    m_modemTab->load();
    m_timerTab->load();
    m_mailboxTab->load();
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

void SettingsDialog::selectTab(Tab tab)
{
    m_tabs->setCurrentIndex(tab);
}

void SettingsDialog::setModemConnected(bool connected)
{
    m_modemTab->setModemConnected(connected);
}

void SettingsDialog::takeFoundPort(const QString& port)
{
    selectPortFromList = true;
    m_modemTab->showFoundPort(port);
}

void SettingsDialog::save()
{
    // Each part is stored once its own fields pass; a refusal later leaves it stored.
    if (!m_mailboxTab->save() || !m_timerTab->save() || !m_modemTab->save(selectPortFromList))
        return;
    m_dialogs.information(this, u"Settings Saved Successfully!!!"_s);
}

} // namespace ui
