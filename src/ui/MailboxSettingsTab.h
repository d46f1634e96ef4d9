#pragma once

#include "Database.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLineEdit;

namespace engine {
class Gateway;
}

namespace store {
struct Pop3SettingsRow;
}

namespace ui {

class Dialogs;

// "Email - To - SMS Settings": the POP3 mailbox whose e-mails become SMS, and the format those
// e-mails must have.
class MailboxSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    MailboxSettingsTab(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                       QWidget* parent = nullptr);

    void load();
    // Checks the fields and stores the row, whether or not the feature is on; false ends the save.
    bool save();
    // The mailbox's connection test with the values as typed.
    void testMailbox();

private:
    QGroupBox* buildAccount(QWidget* parent);
    QGroupBox* buildFormat(QWidget* parent);
    bool checkFields();

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;

    QCheckBox* m_enabled = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_checkInterval = nullptr;
    QCheckBox* m_allowPlainLogin = nullptr;
};

} // namespace ui
