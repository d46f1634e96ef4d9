#pragma once

#include "Database.h"
#include "DeliveryOptions.h"

#include <QRadioButton>
#include <QWidget>

#include <utility>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QStackedWidget;
class QVBoxLayout;

namespace engine {
class Gateway;
}

namespace store {
struct TimerSettingRow;
}

namespace ui {

class Dialogs;

// Radio buttons that each stand for one value of a stored choice; no button checked is None.
template <typename Value> class OptionButtons
{
public:
    void add(QRadioButton* button, Value value) { m_options.emplace_back(button, value); }

    // Checks the value's button and clears the others; None clears them all.
    void show(Value value) const
    {
        for (const auto& [button, candidate] : m_options) {
            if (candidate == value) {
                button->setChecked(true);
            } else if (button->isChecked()) {
                // The checked button of an exclusive set only clears when it is let out of it.
                button->setAutoExclusive(false);
                button->setChecked(false);
                button->setAutoExclusive(true);
            }
        }
    }

    Value chosen() const
    {
        for (const auto& [button, value] : m_options) {
            if (button->isChecked())
                return value;
        }
        return Value::None;
    }

    const std::vector<std::pair<QRadioButton*, Value>>& buttons() const { return m_options; }

private:
    std::vector<std::pair<QRadioButton*, Value>> m_options;
};

// "SMS Timer Settings": the receive and send timers, how the outbox is delivered (modem, SMTP
// SMS gateway or both by number prefix) with each way's own settings, and the reset of messages
// left "SENDING".
class TimerSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    TimerSettingsTab(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, QWidget* parent = nullptr);

    void load();
    // Checks the fields and stores the row; false ends the save.
    bool save();
    void resetSendingStatus();

private:
    QVBoxLayout* buildTimerRows();
    void buildDeliveryOptions(QVBoxLayout* layout);
    QGroupBox* buildSimPanel();
    QGroupBox* buildSmtpPanel();
    QGroupBox* buildMixPanel();
    QLayout* buildResetRow();
    void connectControls();
    void showRow(const store::TimerSettingRow& row);
    void showDeliveryPanel();
    void checkTimeField(QLineEdit* field, bool receiveField);
    void explainMasking();
    void openAdvancedSettings();
    bool checkTimes();
    bool checkSmtpFields(store::DeliveryMedia media);
    void fillRow(store::TimerSettingRow& row, store::DeliveryMedia media);

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    bool m_loading = false;

    QLineEdit* m_receiveTime = nullptr;
    QCheckBox* m_receiveEnabled = nullptr;
    QLineEdit* m_sendTime = nullptr;
    QCheckBox* m_sendEnabled = nullptr;
    OptionButtons<store::DeliveryMedia> m_media;
    // The chosen way's own settings, one page each; the stack is as large as its largest page,
    // so a choice never resizes the window.
    QStackedWidget* m_panels = nullptr;
    QWidget* m_noPanel = nullptr;
    QGroupBox* m_simPanel = nullptr;
    OptionButtons<store::SimDeliveryMode> m_simMode;
    QGroupBox* m_smtpPanel = nullptr;
    QLineEdit* m_smtpServer = nullptr;
    QLineEdit* m_smtpPort = nullptr;
    QLineEdit* m_smtpPostfix = nullptr;
    QLineEdit* m_smtpFromName = nullptr;
    QLineEdit* m_smtpAddress = nullptr;
    QCheckBox* m_masking = nullptr;
    QGroupBox* m_mixPanel = nullptr;
    OptionButtons<store::MixModeRoute> m_mixRoute;
    QLineEdit* m_mixNumbers = nullptr;
};

} // namespace ui
