#pragma once

#include "Database.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace store {
class Clock;
}

namespace ui {

class Dialogs;

// Queues one SMS to one or more numbers in the outbox; the gateway's next send run delivers it.
class ComposeDialog final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxLength = 160;

    ComposeDialog(const store::Database& db, Dialogs& dialogs, const store::Clock& clock, QWidget* parent = nullptr);

    void setMobileNumbers(const QString& numbers);
    void setMessage(const QString& message);

private:
    void send();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    const store::Clock& m_clock;
    QLineEdit* m_numbers;
    QPlainTextEdit* m_message;
};

} // namespace ui
