#include "ComposeDialog.h"

#include "Clock.h"
#include "Dialogs.h"
#include "GatewaySettings.h"
#include "OutboxTable.h"
#include "SmsTextEdit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// Operators paste numbers written for people ("+49 151 1234.5678"); the modem wants digits
// only. An empty piece still gives a number: the send run marks it faulty, so the operator
// sees the mistake in the sent items instead of losing it silently.
QStringList mobileNumbers(const QString& text)
{
    QStringList numbers;
    for (const QString& piece : text.split(u',')) {
        QString number = store::trimBlanks(piece);
        number.remove(u'.');
        number.remove(u' ');
        numbers << store::trimBlanks(number);
    }
    return numbers;
}

} // namespace

ComposeDialog::ComposeDialog(const store::Database& db, Dialogs& dialogs, const store::Clock& clock, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs), m_clock(clock)
{
    setObjectName(u"frm_ComposeSMS"_s);
    setWindowTitle(u"Compose & Send SMS"_s);
    setModal(true);

    m_numbers = new QLineEdit(this);
    m_numbers->setObjectName(u"MobileNumbers"_s);
    // A long list of recipients is the point of this box; QLineEdit's default cap would cut it.
    m_numbers->setMaxLength(std::numeric_limits<int>::max());
    auto* hint = new QLabel(u"Separate multiple mobile numbers by commas, e.g. +4915112345678, 01711234567"_s, this);
    hint->setWordWrap(true);
    // No cap: the gateway sends a longer text in several SMS, and the counter says how many
    // before anything is queued.
    m_message = new SmsTextEdit(0, this);
    m_message->setObjectName(u"Message"_s);
    auto* sendButton = new QPushButton(u"&Send SMS"_s, this);
    sendButton->setObjectName(u"Command1"_s);

    auto* numbersLabel = new QLabel(u"Enter &Mobile Numbers :"_s, this);
    numbersLabel->setBuddy(m_numbers);
    auto* messageLabel = new QLabel(u"Enter Your Mess&age Here :"_s, this);
    messageLabel->setBuddy(m_message);
    auto* messageLabels = new QHBoxLayout;
    messageLabels->addWidget(messageLabel);
    messageLabels->addStretch();
    messageLabels->addWidget(new QLabel(u"(Max. 160 characters)"_s, this));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_message->makeCounter(this));
    buttons->addStretch();
    buttons->addWidget(sendButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(numbersLabel);
    layout->addWidget(m_numbers);
    layout->addWidget(hint);
    layout->addLayout(messageLabels);
    layout->addWidget(m_message);
    layout->addLayout(buttons);
    resize(460, 320);

    connect(sendButton, &QPushButton::clicked, this, &ComposeDialog::send);
}

void ComposeDialog::setMobileNumbers(const QString& numbers)
{
    m_numbers->setText(numbers);
}

void ComposeDialog::setMessage(const QString& message)
{
    m_message->setStoredText(message);
}

void ComposeDialog::send()
{
    // The message goes out as typed, blanks included, its line breaks as CR LF.
    const QString stored = m_message->storedText();
    if (store::trimBlanks(m_numbers->text()).isEmpty() || store::trimBlanks(stored).isEmpty()) {
        m_dialogs.information(this, u"You must enter the mobile number and the message."_s);
        return;
    }

    const QDateTime queuedAt = m_clock.now();
    // All recipients or none: a half-queued list could not be told apart from a finished one,
    // and sending again would message the first recipients twice.
    store::Transaction transaction(m_db);
    auto queued = transaction.started();
    store::OutboxTable outbox(m_db);
    for (const QString& number : mobileNumbers(m_numbers->text())) {
        if (!queued)
            break;
        if (auto row = outbox.insert(number, stored, queuedAt, QString()); !row)
            queued = std::unexpected(row.error());
    }
    if (queued)
        queued = transaction.commit();
    if (!queued) {
        m_dialogs.error(this, u"The message could not be queued: "_s + queued.error().message);
        return;
    }
    accept();
}

} // namespace ui
