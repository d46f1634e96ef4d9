#pragma once

#include <QDialog>

namespace ui {

// Version, licence and the libraries the program is built on.
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QString text() const;

private:
    QString m_text;
};

} // namespace ui
