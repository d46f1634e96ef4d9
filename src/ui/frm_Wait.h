#pragma once

#include <QWidget>

namespace ui {

// A small "please wait" window shown while a run the operator started is in progress.
class frm_Wait final : public QWidget
{
    Q_OBJECT

public:
    explicit frm_Wait(QWidget* parent = nullptr);
};

} // namespace ui
