#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace ui {

// Every message box and Yes/No question of the screens goes through here, so tests can read
// the texts and answer in advance.
class Dialogs
{
public:
    enum Answer
    {
        Yes,
        No
    };

    virtual ~Dialogs() = default;
    // A message with an OK button.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // A message about a failure, with an OK button.
    virtual void error(QWidget* parent, const QString& text) = 0;
    virtual Answer question(QWidget* parent, const QString& text) = 0;
    // A message that offers one action, with a button named for it (Yes) and Cancel (No).
    virtual Answer offer(QWidget* parent, const QString& text, const QString& action) = 0;
    // A sub-dialog (a search's progress, a list to choose from, a form) shown modally; returns
    // its result, QDialog::Accepted or QDialog::Rejected.
    virtual int run(QDialog& dialog) = 0;
    // A save-file dialog that leaves the question of an existing file to the caller; returns
    // the path chosen, or a null string when the operator cancels.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filter) = 0;
};

class MessageBoxDialogs final : public Dialogs
{
public:
    void information(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    Answer question(QWidget* parent, const QString& text) override;
    Answer offer(QWidget* parent, const QString& text, const QString& action) override;
    int run(QDialog& dialog) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                         const QString& filter) override;
};

} // namespace ui
