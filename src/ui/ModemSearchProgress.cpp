#include "ModemSearchProgress.h"

#include "Gateway.h"
#include "ScreenParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

ModemSearchProgress::ModemSearchProgress(engine::Gateway* gateway, QStringList ports, QWidget* parent)
    : QDialog(parent), m_gateway(gateway), m_ports(std::move(ports))
{
    setObjectName(u"frm_ChekModemProgress"_s);
    setWindowTitle(u"Please Wait.........."_s);
    setModal(true);

    auto* text = new QLabel(u"Searching for the modem connected to this computer..."_s, this);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(u"ProgressBar1"_s);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_percent = new QLabel(u"0%"_s, this);
    m_percent->setObjectName(u"lblPercent"_s);
    auto* cancelButton = named(new QPushButton(u"&Cancel"_s, this), u"cmdCancel"_s);

    auto* barRow = new QHBoxLayout;
    barRow->addWidget(m_bar, 1);
    barRow->addWidget(m_percent);
    QHBoxLayout* buttons = buttonRow({cancelButton});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(barRow);
    layout->addLayout(buttons);
    resize(380, 120);

    connect(cancelButton, &QPushButton::clicked, this, &ModemSearchProgress::reject);
    connect(m_gateway, &engine::Gateway::discoveryProgress, this, &ModemSearchProgress::onProgress);
    connect(m_gateway, &engine::Gateway::discoveryFinished, this, &ModemSearchProgress::onFinished);
}

void ModemSearchProgress::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The search starts when the window is up, once, and runs on the engine's thread.
    if (m_started)
        return;
    m_started = true;
    m_gateway->startDiscovery(m_ports);
}

void ModemSearchProgress::onProgress(int done, int total)
{
    const int percent = total > 0 ? done * 100 / total : 100;
    m_bar->setValue(percent);
    m_percent->setText(QString::number(percent) + u"%"_s);
}

void ModemSearchProgress::onFinished(const QList<modem::FoundModem>& modems, int searched, bool cancelled)
{
    if (!m_started || m_finished)
        return;
    m_finished = true;
    m_modems = modems;
    m_searched = searched;
    m_bar->setValue(100);
    m_percent->setText(u"100%"_s);
    if (cancelled)
        QDialog::reject();
    else
        accept();
}

void ModemSearchProgress::reject()
{
    if (!m_finished) {
        m_finished = true;
        m_gateway->requestDiscoveryCancel();
    }
    QDialog::reject();
}

} // namespace ui
