#pragma once

#include <QBoxLayout>
#include <QString>
#include <QWidget>

#include <initializer_list>

namespace ui {

// A control with the object name tests and the system know it by.
template <typename Widget> Widget* named(Widget* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

// The row of buttons at the foot of a screen, to the right.
inline QHBoxLayout* buttonRow(std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace ui
