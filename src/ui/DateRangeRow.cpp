#include "DateRangeRow.h"

#include <QTreeWidget>

#include "ScreenParts.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace ui {

QDateEdit* datePicker(QWidget* parent, const QString& name, const QDate& day, const QString& format)
{
    auto* picker = named(new QDateEdit(day, parent), name);
    picker->setDisplayFormat(format);
    picker->setCalendarPopup(true);
    return picker;
}

DateRangeRow dateRangeRow(QWidget* parent, const QString& fromName, const QString& toName, const QDate& day,
                          QPushButton* button)
{
    DateRangeRow row;
    row.from = datePicker(parent, fromName, day, u"dd/MM/yyyy"_s);
    row.to = datePicker(parent, toName, day, u"dd/MM/yyyy"_s);
    row.layout = new QHBoxLayout;
    row.layout->addWidget(new QLabel(u"From Date :"_s, parent));
    row.layout->addWidget(row.from);
    row.layout->addWidget(new QLabel(u"To Date :"_s, parent));
    row.layout->addWidget(row.to);
    row.layout->addWidget(button);
    row.layout->addStretch();
    return row;
}

QTreeWidget* reportList(QWidget* parent, const QString& name, const QStringList& headers,
                        std::initializer_list<int> twips)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setColumnCount(int(headers.size()) + 1);
    list->setHeaderLabels(QStringList(headers) << QString());
    int column = 0;
    for (const int width : twips)
        list->setColumnWidth(column++, width * parent->logicalDpiX() / 1440);
    list->setColumnHidden(int(headers.size()), true);
    return list;
}

} // namespace ui
