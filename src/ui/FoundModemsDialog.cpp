#include "FoundModemsDialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

FoundModemsDialog::FoundModemsDialog(const QList<modem::FoundModem>& modems, QWidget* parent) : QDialog(parent)
{
    setObjectName(u"Frm_FoundModemPortNumbers"_s);
    setWindowTitle(u"Select Your Modem"_s);
    setModal(true);

    auto* hint = new QLabel(u"Click on the Manufacturer Id of your modem."_s, this);
    m_grid = new QTableWidget(0, 4, this);
    m_grid->setObjectName(u"grdModems"_s);
    m_grid->setHorizontalHeaderLabels({QString(), u"Port Number"_s, u"Manufacturer Id"_s, u"Model Number"_s});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setColumnWidth(0, 16);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    for (const modem::FoundModem& found : modems) {
        if (found.port.trimmed().isEmpty())
            continue;
        const int row = m_grid->rowCount();
        m_grid->insertRow(row);
        m_grid->setItem(row, 0, new QTableWidgetItem);
        m_grid->setItem(row, 1, new QTableWidgetItem(found.port));
        auto* manufacturer = new QTableWidgetItem(found.manufacturer);
        // The cell to click stands out.
        manufacturer->setBackground(palette().highlight());
        manufacturer->setForeground(palette().highlightedText());
        manufacturer->setToolTip(u"Click to use this modem."_s);
        m_grid->setItem(row, kManufacturerColumn, manufacturer);
        m_grid->setItem(row, 3, new QTableWidgetItem(found.model));
    }
    m_grid->resizeColumnToContents(1);
    m_grid->resizeColumnToContents(kManufacturerColumn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_grid);
    resize(560, 260);

    connect(m_grid, &QTableWidget::cellClicked, this, &FoundModemsDialog::chooseCell);
}

void FoundModemsDialog::chooseCell(int row, int column)
{
    if (column != kManufacturerColumn || row < 0 || row >= m_grid->rowCount())
        return;
    const QTableWidgetItem* port = m_grid->item(row, 1);
    if (port == nullptr || port->text().trimmed().isEmpty())
        return;
    selectPortFromList = true;
    m_chosenPort = port->text().trimmed();
    accept();
}

} // namespace ui
