#pragma once

#include <QDialog>

namespace ui {

// Version, licence and the libraries the program is built on.
class frm_About final : public QDialog
{
    Q_OBJECT

public:
    explicit frm_About(QWidget* parent = nullptr);

    QString text() const;

private:
    QString m_text;
};

} // namespace ui
