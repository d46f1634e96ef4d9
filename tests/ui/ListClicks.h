#pragma once

#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

namespace testing_support {

// The first row whose first column reads `text`; null when there is none.
inline QTreeWidgetItem* rowNamed(QTreeWidget* list, const QString& text)
{
    const auto found = list->findItems(text, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.first();
}

inline QRect cellRect(QTreeWidget* list, QTreeWidgetItem* item, int column)
{
    list->scrollToItem(item);
    return list->visualRect(list->model()->index(list->indexOfTopLevelItem(item), column));
}

// A mouse click on a row's cell, away from its tick box.
inline void clickCell(QTreeWidget* list, QTreeWidgetItem* item, int column = 1)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellRect(list, item, column).center());
}

// A mouse click on the tick box in front of a row, where the style draws it.
inline void clickTickBox(QTreeWidget* list, QTreeWidgetItem* item)
{
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = cellRect(list, item, 0);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text(0);
    option.font = item->font(0);
    option.fontMetrics = QFontMetrics(option.font);
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

} // namespace testing_support
