#pragma once

#include <QWidget>

namespace ui {

// A small "please wait" window shown while a run the operator started is in progress.
class WaitDialog final : public QWidget
{
    Q_OBJECT

public:
    explicit WaitDialog(QWidget* parent = nullptr);
};

} // namespace ui
