#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QDateEdit;
class QHBoxLayout;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace ui {

// A date picker as the reports show it: typed or chosen from a calendar.
QDateEdit* datePicker(QWidget* parent, const QString& name, const QDate& day, const QString& format);

// The reports' range of days: "From Date :" and "To Date :" pickers, both on `day`, and the
// button that shows the range.
struct DateRangeRow
{
    QDateEdit* from = nullptr;
    QDateEdit* to = nullptr;
    QHBoxLayout* layout = nullptr;
};
DateRangeRow dateRangeRow(QWidget* parent, const QString& fromName, const QString& toName, const QDate& day,
                          QPushButton* button);

// A report's list of rows: the columns `headers` names, as wide as `twips` says (the unit the
// screens were laid out in), and a hidden last column with each row's key.
QTreeWidget* reportList(QWidget* parent, const QString& name, const QStringList& headers,
                        std::initializer_list<int> twips);

} // namespace ui
