#include "Dialogs.h"

#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace ui {

namespace {
const QString kCaption = u"tarvogate"_s;
}

void MessageBoxDialogs::information(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, kCaption, text, QMessageBox::Ok);
}

void MessageBoxDialogs::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, kCaption, text, QMessageBox::Ok);
}

Dialogs::Answer MessageBoxDialogs::question(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, kCaption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes ? Yes
                                                                                                                 : No;
}

} // namespace ui
