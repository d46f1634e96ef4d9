#pragma once

#include "ModemDiscovery.h"

#include <QDialog>

class QLabel;
class QProgressBar;

namespace engine {
class Gateway;
}

namespace ui {

// "Please Wait..........": shows the engine's modem search over the given devices and ends
// with it. Accepted with the modems found, or rejected when the operator cancelled.
class ModemSearchProgress final : public QDialog
{
    Q_OBJECT

public:
    ModemSearchProgress(engine::Gateway* gateway, QStringList ports, QWidget* parent = nullptr);

    const QList<modem::FoundModem>& modems() const { return m_modems; }
    int searched() const { return m_searched; }

    // Cancel, Escape and closing the window all end the search.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onProgress(int done, int total);
    void onFinished(const QList<modem::FoundModem>& modems, int searched, bool cancelled);

    engine::Gateway* m_gateway;
    QStringList m_ports;
    bool m_started = false;
    bool m_finished = false;
    QList<modem::FoundModem> m_modems;
    int m_searched = 0;
    QProgressBar* m_bar;
    QLabel* m_percent;
};

} // namespace ui
