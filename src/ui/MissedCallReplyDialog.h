#pragma once

#include "Database.h"

#include <QDialog>

class QCheckBox;

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;
class SmsTextEdit;

// The text sent back to a caller who rang a mobile number and hung up, and its switch.
class MissedCallReplyDialog final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxLength = 160;

    MissedCallReplyDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                          QWidget* parent = nullptr);

private:
    void save();

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    SmsTextEdit* m_message;
    QCheckBox* m_enabled;
};

} // namespace ui
