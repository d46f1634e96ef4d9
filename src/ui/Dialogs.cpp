#include "Dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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

Dialogs::Answer MessageBoxDialogs::offer(QWidget* parent, const QString& text, const QString& action)
{
    QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::NoButton, parent);
    QPushButton* accept = box.addButton(action, QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == accept ? Yes : No;
}

int MessageBoxDialogs::run(QDialog& dialog)
{
    return dialog.exec();
}

QString MessageBoxDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                        const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

} // namespace ui
