#pragma once

#include "Database.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;

// The SMTP SMS gateway's login and encoding: whether and how to authenticate, the user name and
// password, and how the message body is encoded.
class frm_SMTPSMS_AdvancedSettings final : public QDialog
{
    Q_OBJECT

public:
    frm_SMTPSMS_AdvancedSettings(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                 QWidget* parent = nullptr);

private:
    void load();
    void save();

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    QCheckBox* m_authenticationRequired;
    QComboBox* m_authenticationType;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QComboBox* m_encodeType;
    QCheckBox* m_allowPlainLogin;
};

} // namespace ui
