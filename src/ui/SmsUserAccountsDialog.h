#pragma once

#include "Database.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;

namespace ui {

class CheckableList;
class Dialogs;

// The accounts that may send SMS by e-mail: their logins, the From Name their messages carry
// through an SMTP SMS gateway, and their balance of credits.
class SmsUserAccountsDialog final : public QDialog
{
    Q_OBJECT

public:
    SmsUserAccountsDialog(const store::Database& db, Dialogs& dialogs, QWidget* parent = nullptr);

    // A new account is being typed, or the one last clicked is being changed.
    bool isEditing() const { return m_editing; }

private:
    void fillList();
    // The edit panel empty, ready for a new account.
    void newAccount();
    void editRow(QTreeWidgetItem* item);
    void save();
    void deleteTicked();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    bool m_editing = false;
    CheckableList* m_list;
    QCheckBox* m_selectAll;
    QPushButton* m_delete;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QLineEdit* m_fromName;
    QLineEdit* m_balance;
    QLineEdit* m_id;
};

} // namespace ui
