#include "TimerSettingsTab.h"

#include "Dialogs.h"
#include "FieldChecks.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "LinkLabel.h"
#include "OutboxTable.h"
#include "ScreenParts.h"
#include "SettingsTables.h"
#include "SmtpAdvancedDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// One option button: its object name, its caption and the value it stands for.
template <typename Value> struct OptionText
{
    QString name;
    QString caption;
    Value value;
};

const OptionText<store::DeliveryMedia> kMediaOptions[] = {
    {u"optModem"_s, u"Through GSM / CDMA Modem Connected To This Computer"_s, store::DeliveryMedia::Modem},
    {u"optSMTPSMSGateway"_s, u"Through External SMTP SMS Gateway"_s, store::DeliveryMedia::SmtpGateway},
    {u"optMixMode"_s, u"Mix Mode (Using both of the above but depending upon the rules set)"_s,
     store::DeliveryMedia::MixMode},
};

const OptionText<store::SimDeliveryMode> kSimOptions[] = {
    {u"optStoreAndDeliver"_s, u"Store on SIM and deliver"_s, store::SimDeliveryMode::StoreAndDeliver},
    {u"optDirectDeliver"_s, u"Direct delivery without storing to SIM"_s, store::SimDeliveryMode::DirectDeliver},
};

const OptionText<store::MixModeRoute> kMixOptions[] = {
    {u"optMixModeModem"_s,
     u"Send SMS through the MODEM connected to this computer ONLY IF mobile numbers (excluding leading '+' && '0') "
     u"start with following digits. Otherwise send by SMTP SMS Gateway."_s,
     store::MixModeRoute::Modem},
    {u"optMixModeSMTPSMSGateway"_s,
     u"Send SMS through the external SMTP SMS Gateway ONLY IF mobile numbers (excluding leading '+' && '0') start "
     u"with following digits. Otherwise send by Modem."_s,
     store::MixModeRoute::SmtpGateway},
};

template <typename Value, std::size_t N>
void addOptions(OptionButtons<Value>& options, const OptionText<Value> (&texts)[N], QWidget* parent,
                QVBoxLayout* layout)
{
    for (const OptionText<Value>& text : texts) {
        auto* button = named(new QRadioButton(text.caption, parent), text.name);
        layout->addWidget(button);
        options.add(button, text.value);
    }
}

// A sentence beside its option button, wrapped to the window's width; a click on it chooses the
// option, as a click on a button's own caption would.
class OptionCaption final : public QLabel
{
public:
    OptionCaption(const QString& text, QRadioButton* button, QWidget* parent) : QLabel(text, parent)
    {
        setWordWrap(true);
        // Also shows "&&" as the "&" a button's caption would show.
        setBuddy(button);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QLabel::mouseReleaseEvent(event);
        if (auto* button = qobject_cast<QRadioButton*>(buddy()); button != nullptr && button->isEnabled())
            button->click();
    }
};

// Options whose captions are whole sentences: a button's caption never wraps and would widen
// the window, so the sentence stands beside it as a wrapping label.
template <typename Value, std::size_t N>
void addWrappedOptions(OptionButtons<Value>& options, const OptionText<Value> (&texts)[N], QWidget* parent,
                       QVBoxLayout* layout)
{
    for (const OptionText<Value>& text : texts) {
        auto* button = named(new QRadioButton(parent), text.name);
        button->setAccessibleName(text.caption);
        auto* row = new QHBoxLayout;
        row->addWidget(button, 0, Qt::AlignTop);
        row->addWidget(new OptionCaption(text.caption, button, parent), 1);
        layout->addLayout(row);
        options.add(button, text.value);
    }
}

QLabel* wrappedLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

// A stored word this version does not know shows as no choice.
template <typename Value> Value shownValue(const std::optional<Value>& parsed)
{
    return parsed.value_or(Value::None);
}

} // namespace

TimerSettingsTab::TimerSettingsTab(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                   QWidget* parent)
    : QWidget(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs)
{
    QVBoxLayout* layout = buildTimerRows();
    buildDeliveryOptions(layout);
    m_panels = named(new QStackedWidget(this), u"stkDeliveryPanels"_s);
    m_noPanel = new QWidget(m_panels);
    m_panels->addWidget(m_noPanel);
    m_panels->addWidget(buildSimPanel());
    m_panels->addWidget(buildSmtpPanel());
    m_panels->addWidget(buildMixPanel());
    layout->addWidget(m_panels);
    layout->addLayout(buildResetRow());
    layout->addStretch();
    connectControls();
}

QVBoxLayout* TimerSettingsTab::buildTimerRows()
{
    m_receiveTime = named(new QLineEdit(this), u"txttime"_s);
    m_receiveEnabled = named(new QCheckBox(u"Enabled auto receive SMS"_s, this), u"chkEnableReceive"_s);
    m_sendTime = named(new QLineEdit(this), u"txtSendmsgtime"_s);
    m_sendEnabled = named(new QCheckBox(u"Enabled auto delivery of SMS"_s, this), u"chkEnableSend"_s);
    auto timeRow = [this](const QString& before, QLineEdit* field) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(before, this));
        field->setMaximumWidth(60);
        row->addWidget(field);
        row->addWidget(new QLabel(u"Seconds."_s, this));
        row->addWidget(new QLabel(u"(Between 3-65)"_s, this));
        row->addStretch();
        return row;
    };
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(timeRow(u"Automaticaly receive SMS every"_s, m_receiveTime));
    layout->addWidget(m_receiveEnabled);
    layout->addLayout(timeRow(u"Automaticaly send SMS from Outbox every"_s, m_sendTime));
    layout->addWidget(m_sendEnabled);
    return layout;
}

void TimerSettingsTab::buildDeliveryOptions(QVBoxLayout* layout)
{
    layout->addWidget(wrappedLabel(u"How do you want SMS from your outbox to be delivered?"_s, this));
    // The three buttons share this page as parent, which makes them one exclusive set.
    addOptions(m_media, kMediaOptions, this, layout);
}

QGroupBox* TimerSettingsTab::buildSimPanel()
{
    m_simPanel = named(new QGroupBox(u"SIM Card SMS Delivery Method"_s, m_panels), u"fraSIMDelivery"_s);
    auto* layout = new QVBoxLayout(m_simPanel);
    addOptions(m_simMode, kSimOptions, m_simPanel, layout);
    layout->addStretch();
    return m_simPanel;
}

QGroupBox* TimerSettingsTab::buildSmtpPanel()
{
    m_smtpPanel = named(new QGroupBox(u"Settings For External SMTP SMS Gateway"_s, m_panels), u"fraSMTPGateway"_s);
    m_smtpServer = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPServer"_s);
    m_smtpPort = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPPort"_s);
    m_smtpPostfix = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPEmailPostfix"_s);
    m_smtpFromName = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPFromName"_s);
    m_smtpAddress = named(new QLineEdit(m_smtpPanel), u"txtSMSSMTPYourEmailAddress"_s);
    m_masking = named(new QCheckBox(m_smtpPanel), u"chkIsFromNameSentByMaskingYourEmail"_s);
    auto* whatIsThis = named(new LinkLabel(u"(What is this?)"_s, m_smtpPanel), u"lblWhatIsThis"_s);
    auto* advanced = named(new QPushButton(u"Ad&vanced Settings"_s, m_smtpPanel), u"cmdAdvancedSettings"_s);
    connect(whatIsThis, &LinkLabel::clicked, this, &TimerSettingsTab::explainMasking);
    connect(advanced, &QPushButton::clicked, this, &TimerSettingsTab::openAdvancedSettings);

    auto* postfixRow = new QHBoxLayout;
    postfixRow->addWidget(new QLabel(u"mobile-number @"_s, m_smtpPanel));
    postfixRow->addWidget(m_smtpPostfix, 1);
    auto* maskingRow = new QHBoxLayout;
    maskingRow->addWidget(m_masking);
    maskingRow->addWidget(whatIsThis);
    maskingRow->addStretch();
    maskingRow->addWidget(advanced);
    auto* form = new QFormLayout(m_smtpPanel);
    form->addRow(u"SMS SMTP Server Address :"_s, m_smtpServer);
    form->addRow(u"SMTP Port Number :"_s, m_smtpPort);
    form->addRow(u"SMS Email Address :"_s, postfixRow);
    form->addRow(u"Default From Name / From No. :"_s, m_smtpFromName);
    form->addRow(u"Your Email Address On SMTP Server :"_s, m_smtpAddress);
    form->addRow(
        wrappedLabel(u"To Change Sender's Name, SMS SMTP Server Requires To Mask Your Email Address?"_s, m_smtpPanel));
    form->addRow(maskingRow);
    return m_smtpPanel;
}

QGroupBox* TimerSettingsTab::buildMixPanel()
{
    m_mixPanel = named(new QGroupBox(u"Mix Mode Rules for Sending SMS"_s, m_panels), u"fraMixMode"_s);
    m_mixNumbers = named(new QLineEdit(m_mixPanel), u"txtMixModeMobileNumbers"_s);
    auto* layout = new QVBoxLayout(m_mixPanel);
    addWrappedOptions(m_mixRoute, kMixOptions, m_mixPanel, layout);
    layout->addWidget(wrappedLabel(u"Mobile numbers starting with : (seperate multiple by comma)"_s, m_mixPanel));
    layout->addWidget(m_mixNumbers);
    layout->addWidget(wrappedLabel(u"(E.g. : 91937, 937, 922, 91922, ... etc.)"_s, m_mixPanel));
    layout->addStretch();
    return m_mixPanel;
}

QLayout* TimerSettingsTab::buildResetRow()
{
    auto* reset = named(new QPushButton(u"Yes! &Reset the Status"_s, this), u"cmdResetStatus"_s);
    connect(reset, &QPushButton::clicked, this, &TimerSettingsTab::resetSendingStatus);
    auto* row = new QHBoxLayout;
    row->addWidget(wrappedLabel(u"Do you want to clear the \"SENDING\" status for all messages in outbox ?"_s, this),
                   1);
    row->addWidget(reset);
    return row;
}

void TimerSettingsTab::connectControls()
{
    connect(m_receiveEnabled, &QCheckBox::toggled, m_receiveTime, &QWidget::setEnabled);
    connect(m_sendEnabled, &QCheckBox::toggled, m_sendTime, &QWidget::setEnabled);
    connect(m_receiveTime, &QLineEdit::textChanged, this, [this] { checkTimeField(m_receiveTime, true); });
    connect(m_sendTime, &QLineEdit::textChanged, this, [this] { checkTimeField(m_sendTime, false); });
    for (const auto& [button, media] : m_media.buttons())
        connect(button, &QRadioButton::toggled, this, &TimerSettingsTab::showDeliveryPanel);
}

void TimerSettingsTab::load()
{
    m_loading = true;
    auto timers = store::SettingsTables(m_db).timerSetting();
    if (!timers)
        m_dialogs.error(window(), u"The timer and delivery settings could not be read: "_s + timers.error().message);
    else if (timers->has_value())
        showRow(**timers);
    m_receiveTime->setEnabled(m_receiveEnabled->isChecked());
    m_sendTime->setEnabled(m_sendEnabled->isChecked());
    showDeliveryPanel();
    m_loading = false;
}

void TimerSettingsTab::showRow(const store::TimerSettingRow& row)
{
    m_receiveTime->setText(store::trimBlanks(row.ReceiveAllMessagesTime));
    m_sendTime->setText(store::trimBlanks(row.SendAllMessagesTime));
    m_receiveEnabled->setChecked(row.EnableReceiveTimer);
    m_sendEnabled->setChecked(row.EnableSendTimer);
    m_media.show(shownValue(store::parseDeliveryMedia(row.SMSDeliveryMedia)));
    m_simMode.show(shownValue(store::parseSimDeliveryMode(row.SIMCardDeliveryMode)));
    m_smtpServer->setText(store::trimBlanks(row.SMSSMTPServer));
    m_smtpPort->setText(store::trimBlanks(row.SMSSMTPPort));
    m_smtpPostfix->setText(store::trimBlanks(row.SMSSMTPEmailPostfix));
    m_smtpFromName->setText(store::trimBlanks(row.SMSSMTPFromName));
    m_smtpAddress->setText(store::trimBlanks(row.SMSSMTPYourEmailAddress));
    m_masking->setChecked(row.IsFromNameSentByMaskingYourEmail);
    m_mixRoute.show(shownValue(store::parseMixModeRoute(row.MixModeDeliveryMedia)));
    m_mixNumbers->setText(row.MixModeMobileNumbers);
}

void TimerSettingsTab::showDeliveryPanel()
{
    switch (m_media.chosen()) {
    case store::DeliveryMedia::Modem:
        m_panels->setCurrentWidget(m_simPanel);
        break;
    case store::DeliveryMedia::SmtpGateway:
        m_panels->setCurrentWidget(m_smtpPanel);
        break;
    case store::DeliveryMedia::MixMode:
        m_panels->setCurrentWidget(m_mixPanel);
        break;
    case store::DeliveryMedia::None:
        m_panels->setCurrentWidget(m_noPanel);
        break;
    }
}

void TimerSettingsTab::checkTimeField(QLineEdit* field, bool receiveField)
{
    if (m_loading || field->text().trimmed().isEmpty())
        return;
    const QString problem = timeFieldProblem(field->text(), receiveField);
    if (problem.isEmpty())
        return;
    m_dialogs.information(window(), problem);
    field->clear();
    field->setFocus();
}

void TimerSettingsTab::explainMasking()
{
    m_dialogs.information(
        window(), u"To mask (change) the sender's mobile number, some SMTP SMS Gateway servers require you to replace "
                  u"the portion of your Email Address with any Alpha-Numeric text of max. 11 characters.\r\n"
                  u"If you select this option text entered in FromName field will be used to mask 'Your Email "
                  u"Address on SMTP Server' field.\r\n\r\n"
                  u"Please confirm with your SMTP SMS Gateway provider before selecting this option. OR if you are "
                  u"not sure, do NOT select this option."_s);
}

void TimerSettingsTab::openAdvancedSettings()
{
    SmtpAdvancedDialog screen(m_db, m_gateway, m_dialogs, window());
    // Its connection test reaches the server as typed here, saved or not.
    screen.setSmtpServer(m_smtpServer->text(), m_smtpPort->text());
    m_dialogs.run(screen);
}

void TimerSettingsTab::resetSendingStatus()
{
    if (auto reset = store::OutboxTable(m_db).resetSending(); !reset)
        m_dialogs.error(window(), u"The \"SENDING\" status could not be cleared: "_s + reset.error().message);
}

bool TimerSettingsTab::checkTimes()
{
    const auto checkTime = [this](QLineEdit* field, const QString& tooShort) {
        if (store::trimBlanks(field->text()).isEmpty()) {
            refuseField(m_dialogs, field, u"Please enter time in seconds."_s);
            return false;
        }
        if (!isNumeric(field->text())) {
            refuseField(m_dialogs, field, u"Please enter numeric value."_s);
            return false;
        }
        if (std::trunc(numericValue(field->text())) < 3) {
            refuseField(m_dialogs, field, tooShort);
            field->clear();
            return false;
        }
        return true;
    };
    return checkTime(m_receiveTime,
                     u"Automatically receive all messages time should be greater than or equal to 3."_s) &&
           checkTime(m_sendTime, u"Automatically send all messages time should be greater than or equal to 3."_s);
}

bool TimerSettingsTab::checkSmtpFields(store::DeliveryMedia media)
{
    // Mix Mode leaves them to the operator, whom its message reminds.
    if (media == store::DeliveryMedia::SmtpGateway) {
        const std::pair<QLineEdit*, QString> required[] = {
            {m_smtpFromName, u"If SMS delivery method is SMTP Gateway then you must enter default From Name."_s},
            {m_smtpServer, u"If SMS delivery method is SMTP Gateway then you must enter SMTP server."_s},
            {m_smtpPort, u"If SMS delivery method is SMTP Gateway then you must enter your SMTP Server Port."_s},
            {m_smtpAddress,
             u"If SMS delivery method is SMTP Gateway then you must enter your Email Address on SMTP Server."_s},
        };
        for (const auto& [field, message] : required) {
            if (store::trimBlanks(field->text()).isEmpty()) {
                refuseField(m_dialogs, field, message);
                return false;
            }
        }
        if (!m_smtpAddress->text().contains(u'@')) {
            refuseField(m_dialogs, m_smtpAddress, u"Your Email Address on SMTP Server must contain '@' character."_s);
            return false;
        }
    }
    // A port that is typed must be one, whatever the delivery method: mixed mode uses it too.
    const QString port = m_smtpPort->text().trimmed();
    if (!port.isEmpty() && !store::portNumber(port)) {
        refuseField(m_dialogs, m_smtpPort, u"Please enter the SMTP Port Number as a whole number from 1 to 65535."_s);
        return false;
    }
    return true;
}

void TimerSettingsTab::fillRow(store::TimerSettingRow& row, store::DeliveryMedia media)
{
    row.ReceiveAllMessagesTime = store::trimBlanks(m_receiveTime->text());
    row.SendAllMessagesTime = store::trimBlanks(m_sendTime->text());
    row.EnableReceiveTimer = m_receiveEnabled->isChecked();
    row.EnableSendTimer = m_sendEnabled->isChecked();
    row.SMSDeliveryMedia = store::storedText(media);
    const QString port = m_smtpPort->text().trimmed();
    row.SMSSMTPServer = store::trimBlanks(m_smtpServer->text());
    row.SMSSMTPPort = port.isEmpty() ? port : QString::number(*store::portNumber(port));
    row.SMSSMTPEmailPostfix = store::trimBlanks(m_smtpPostfix->text());
    row.SMSSMTPFromName = store::trimBlanks(m_smtpFromName->text());
    row.SMSSMTPYourEmailAddress = store::trimBlanks(m_smtpAddress->text());
    row.IsFromNameSentByMaskingYourEmail = m_masking->isChecked();
    m_mixNumbers->setText(store::cleanMixModeNumbers(m_mixNumbers->text()));
    row.MixModeMobileNumbers = m_mixNumbers->text();
    // A set with no option chosen leaves its stored word as it was.
    if (const auto mode = m_simMode.chosen(); mode != store::SimDeliveryMode::None)
        row.SIMCardDeliveryMode = store::storedText(mode);
    if (const auto route = m_mixRoute.chosen(); route != store::MixModeRoute::None)
        row.MixModeDeliveryMedia = store::storedText(route);
}

bool TimerSettingsTab::save()
{
    const store::DeliveryMedia media = m_media.chosen();
    if (!checkTimes() || !checkSmtpFields(media))
        return false;
    // Checked before anything of this tab changes, so a refused save leaves the engine's timers
    // as they were.
    if (media == store::DeliveryMedia::None) {
        refuseField(m_dialogs, m_media.buttons().front().first, u"You must select atleast one SMS delivey media"_s);
        return false;
    }
    store::SettingsTables tables(m_db);
    auto current = tables.timerSetting();
    if (!current) {
        m_dialogs.error(window(), u"The timer and delivery settings could not be saved: "_s + current.error().message);
        return false;
    }
    if (media == store::DeliveryMedia::MixMode) {
        m_dialogs.information(window(), u"You have selected 'MIX MODE' as your SMS delivery option.\r\n"
                                        u"Make sure that you have also filled in all the parameters for: \r\n"
                                        u"1) Delivery through modem AND\r\n"
                                        u"2) Delivery through SMTP SMS gateway\r\n\r\n"
                                        u"All the values must have been filled otherwise this delivery method may "
                                        u"not work properly."_s);
    }
    // The advanced SMTP values, and a choice this screen leaves open, keep their stored values.
    store::TimerSettingRow row = current->value_or(store::TimerSettingRow{});
    fillRow(row, media);
    if (auto saved = tables.saveTimerSetting(row); !saved) {
        m_dialogs.error(window(), u"The timer and delivery settings could not be saved: "_s + saved.error().message);
        return false;
    }
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyDeliverySettings, Qt::QueuedConnection);
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyTimerSettings, Qt::QueuedConnection);
    return true;
}

} // namespace ui
