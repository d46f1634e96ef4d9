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

// The countries and their dialling codes: add, edit, delete, and the one marked as default.
class CountryDialog final : public QDialog
{
    Q_OBJECT

public:
    CountryDialog(const store::Database& db, Dialogs& dialogs, QWidget* parent = nullptr);

    // Adding a country, or editing the one last clicked.
    bool isEditing() const { return m_editing; }

private:
    // The screen as it opens: the list read afresh, the fields empty, adding.
    void reopen();
    void editRow(QTreeWidgetItem* item);
    void checkCode();
    void save();
    void deleteTicked();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    bool m_editing = false;
    bool m_loading = false;
    QLineEdit* m_name;
    QLineEdit* m_code;
    QCheckBox* m_default;
    QLineEdit* m_id;
    CheckableList* m_list;
    QCheckBox* m_selectAll;
    QPushButton* m_delete;
};

} // namespace ui
