#pragma once

#include "Database.h"

#include <QDialog>

class QLineEdit;

namespace store {
class Clock;
}

namespace ui {

class Dialogs;
class SmsTextEdit;

// Queues one SMS to one or more numbers in the outbox; the gateway's next send run delivers it.
// A text longer than one SMS goes out in several, as the counter under the box shows.
class ComposeDialog final : public QDialog
{
    Q_OBJECT

public:
    ComposeDialog(const store::Database& db, Dialogs& dialogs, const store::Clock& clock, QWidget* parent = nullptr);

    void setMobileNumbers(const QString& numbers);
    void setMessage(const QString& message);

private:
    void send();

    const store::Database& m_db;
    Dialogs& m_dialogs;
    const store::Clock& m_clock;
    QLineEdit* m_numbers;
    SmsTextEdit* m_message;
};

} // namespace ui
