#pragma once

#include "Database.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QTreeWidgetItem;

namespace ui {

class CheckableList;
class Dialogs;
class SmsTextEdit;

// The SMS commands the gateway answers and their replies, and the switch that turns the answers
// on. Every change goes to the store at once; the receiver reads both afresh for each SMS.
class AutoReplyCommandsDialog final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxCommandLength = 15;
    static constexpr int kMaxReplyLength = 160;

    AutoReplyCommandsDialog(const store::Database& db, Dialogs& dialogs, QWidget* parent = nullptr);

    // A new command is being typed, or the one last clicked is being changed.
    bool isEditing() const { return m_editing; }

private:
    // The screen as it opens: switch and list read afresh, the fields empty, a new command.
    void reopen();
    void switchClicked(bool checked);
    void editRow(QTreeWidgetItem* item);
    void save();
    void deleteTicked();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    bool m_editing = false;
    QCheckBox* m_switch;
    CheckableList* m_list;
    QCheckBox* m_selectAll;
    QLineEdit* m_command;
    SmsTextEdit* m_reply;
    QLineEdit* m_id;
};

} // namespace ui
