#include "CheckableList.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScopedValueRollback>

namespace ui {

CheckableList::CheckableList(const QStringList& headers, int idColumn, QWidget* parent)
    : QTreeWidget(parent), m_idColumn(idColumn)
{
    setColumnCount(int(headers.size()));
    setHeaderLabels(headers);
    setColumnHidden(idColumn, true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
        if (!m_filling && column == 0)
            Q_EMIT tickedChanged(anyTicked());
    });
    connect(this, &QTreeWidget::itemClicked, this, &CheckableList::onItemClicked);
}

void CheckableList::clearRows()
{
    const QScopedValueRollback filling(m_filling, true);
    m_pressed = nullptr;
    clear();
}

QTreeWidgetItem* CheckableList::addRow(const QStringList& texts, qint64 id)
{
    const QScopedValueRollback filling(m_filling, true);
    auto* item = new QTreeWidgetItem(this, texts);
    item->setText(m_idColumn, QString::number(id));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    return item;
}

qint64 CheckableList::idOf(const QTreeWidgetItem* item) const
{
    return item->text(m_idColumn).toLongLong();
}

std::vector<qint64> CheckableList::tickedIds() const
{
    std::vector<qint64> ids;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->checkState(0) == Qt::Checked)
            ids.push_back(idOf(topLevelItem(row)));
    }
    return ids;
}

bool CheckableList::anyTicked() const
{
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->checkState(0) == Qt::Checked)
            return true;
    }
    return false;
}

void CheckableList::setAllTicked(bool ticked)
{
    {
        const QScopedValueRollback filling(m_filling, true);
        for (int row = 0; row < topLevelItemCount(); ++row)
            topLevelItem(row)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }
    Q_EMIT tickedChanged(anyTicked());
}

void CheckableList::mousePressEvent(QMouseEvent* event)
{
    // The tick box changes on the release, before the click is reported; what it was at the
    // press tells a tick from a click on the row.
    m_pressed = itemAt(event->position().toPoint());
    if (m_pressed != nullptr)
        m_pressedState = m_pressed->checkState(0);
    QTreeWidget::mousePressEvent(event);
}

void CheckableList::onItemClicked(QTreeWidgetItem* item)
{
    const bool ticked = item == m_pressed && item->checkState(0) != m_pressedState;
    m_pressed = nullptr;
    if (!ticked)
        Q_EMIT rowClicked(item);
}

} // namespace ui
