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
class SmtpAdvancedDialog final : public QDialog
{
    Q_OBJECT

public:
    SmtpAdvancedDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                       QWidget* parent = nullptr);

    // The server and port as typed on the settings screen, for the connection test; without
    // them the test uses the stored ones.
    void setSmtpServer(const QString& server, const QString& port);
    // Connects and logs in with the values as typed; nothing is sent.
    void testConnection();

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
    QString m_server;
    QString m_port;
};

} // namespace ui
