#pragma once

#include <QObject>

#include <vector>

class QCheckBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

// A report list whose rows carry check boxes, with its "Select All" box and the "&Delete
// Selected" button that is enabled while any row is checked. Each row keeps its store id in
// Qt::UserRole.
class CheckedRows final : public QObject
{
    Q_OBJECT

public:
    CheckedRows(QTreeWidget* list, QCheckBox* all, QPushButton* remove);

    QTreeWidgetItem* addRow(const QStringList& texts, qint64 id);
    std::vector<qint64> checkedIds() const;
    static qint64 idOf(const QTreeWidgetItem* item);

private:
    void onItemChanged();
    void onAllClicked(bool checked);

    QTreeWidget* m_list;
    QCheckBox* m_all;
    QPushButton* m_remove;
    bool m_settingAll = false;
};

} // namespace ui
