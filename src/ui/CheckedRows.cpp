#include "CheckedRows.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTreeWidget>

namespace ui {

CheckedRows::CheckedRows(QTreeWidget* list, QCheckBox* all, QPushButton* remove)
    : QObject(list), m_list(list), m_all(all), m_remove(remove)
{
    connect(m_list, &QTreeWidget::itemChanged, this, &CheckedRows::onItemChanged);
    connect(m_all, &QCheckBox::clicked, this, &CheckedRows::onAllClicked);
}

QTreeWidgetItem* CheckedRows::addRow(const QStringList& texts, qint64 id)
{
    const QScopedValueRollback adding(m_settingAll, true);
    auto* item = new QTreeWidgetItem(m_list, texts);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, Qt::UserRole, id);
    return item;
}

qint64 CheckedRows::idOf(const QTreeWidgetItem* item)
{
    return item->data(0, Qt::UserRole).toLongLong();
}

std::vector<qint64> CheckedRows::checkedIds() const
{
    std::vector<qint64> ids;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        if (item->checkState(0) == Qt::Checked)
            ids.push_back(idOf(item));
    }
    return ids;
}

void CheckedRows::onItemChanged()
{
    if (!m_settingAll)
        m_remove->setEnabled(!checkedIds().empty());
}

void CheckedRows::onAllClicked(bool checked)
{
    if (m_list->topLevelItemCount() == 0)
        return;
    {
        const QScopedValueRollback setting(m_settingAll, true);
        for (int row = 0; row < m_list->topLevelItemCount(); ++row)
            m_list->topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
    m_remove->setEnabled(checked);
}

} // namespace ui
