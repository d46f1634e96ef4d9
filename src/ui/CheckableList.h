#pragma once

#include <QTreeWidget>

#include <vector>

namespace ui {

// A list of store rows with a tick box in front of each, as the master screens show them: one
// hidden column holds the row's key. A click that only ticks or unticks a row is not a click on
// the row, so ticking a row for deletion never starts editing it.
class CheckableList final : public QTreeWidget
{
    Q_OBJECT

public:
    CheckableList(const QStringList& headers, int idColumn, QWidget* parent = nullptr);

    // Removes every row, without a tickedChanged() for it.
    void clearRows();
    QTreeWidgetItem* addRow(const QStringList& texts, qint64 id);
    qint64 idOf(const QTreeWidgetItem* item) const;
    // The keys of the ticked rows, top to bottom.
    std::vector<qint64> tickedIds() const;
    bool anyTicked() const;
    void setAllTicked(bool ticked);

Q_SIGNALS:
    void rowClicked(QTreeWidgetItem* item);
    void tickedChanged(bool anyTicked);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void onItemClicked(QTreeWidgetItem* item);

    int m_idColumn;
    bool m_filling = false;
    QTreeWidgetItem* m_pressed = nullptr;
    Qt::CheckState m_pressedState = Qt::Unchecked;
};

} // namespace ui
