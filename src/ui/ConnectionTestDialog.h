#pragma once

#include "MailConnectionTest.h"

#include <QDialog>

#include <functional>

class QLabel;

namespace engine {
class Gateway;
}
namespace store {
class Database;
}

namespace ui {

class Dialogs;

// "Test connection": the engine's login test of a mail server, with its steps and a Cancel that
// ends it within about a second. Accepted with the report when the test is over.
class ConnectionTestDialog final : public QDialog
{
    Q_OBJECT

public:
    // start asks the engine for the test and returns its number.
    ConnectionTestDialog(engine::Gateway* gateway, std::function<int()> start, QWidget* parent = nullptr);

    const mail::ConnectionReport& report() const { return m_report; }
    // Cancel, Escape and closing the window all end the test.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    engine::Gateway* m_gateway;
    std::function<int()> m_start;
    int m_test = 0;
    bool m_finished = false;
    mail::ConnectionReport m_report;
    QLabel* m_step;
};

// Runs the test without blocking the screen that asked (the test window is modal to it) and
// then tells the operator what it found. An untrusted or changed certificate is offered with
// "Trust this certificate"; accepting pins its key for that host and port in the store.
void testMailConnection(QWidget* parent, engine::Gateway* gateway, Dialogs& dialogs, const store::Database& db,
                        std::function<int()> start);

} // namespace ui
