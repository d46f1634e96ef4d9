#pragma once

#include "ModemDiscovery.h"

#include <QDialog>

class QTableWidget;

namespace ui {

// "Select Your Modem": the modems the search found. A click on a manufacturer picks that
// modem's port.
class FoundModemsDialog final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kManufacturerColumn = 2;

    explicit FoundModemsDialog(const QList<modem::FoundModem>& modems, QWidget* parent = nullptr);

    bool selectPortFromList = false;
    QString chosenPort() const { return m_chosenPort; }

    // What a click on the cell does; only the manufacturer column of a row with a port counts.
    void chooseCell(int row, int column);

private:
    QTableWidget* m_grid;
    QString m_chosenPort;
};

} // namespace ui
