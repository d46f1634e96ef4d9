#include "MissedCallReplyDialog.h"

#include "Dialogs.h"
#include "Gateway.h"
#include "GatewaySettings.h"
#include "ScreenParts.h"
#include "SettingsTables.h"
#include "SmsTextEdit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

MissedCallReplyDialog::MissedCallReplyDialog(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs,
                                             QWidget* parent)
    : QDialog(parent), m_db(db), m_gateway(gateway), m_dialogs(dialogs)
{
    setObjectName(u"Frm_AutoReplyOnMissedCall"_s);
    setWindowTitle(u"AutoReply on Missed Call"_s);

    auto* explanation =
        new QLabel(u"If some one calls you on your SIM card mobile number connected with this software, it "
                   u"can automatically send the caller following SMS if this option is enabled."_s,
                   this);
    explanation->setWordWrap(true);
    m_message = new SmsTextEdit(kMaxLength, this);
    m_message->setObjectName(u"txtMessage"_s);
    m_enabled = new QCheckBox(u"&Enable Autoreply SMS on Missed Calls"_s, this);
    m_enabled->setObjectName(u"chkEnableAutoReply"_s);
    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"cmdSave"_s);
    auto* exitButton = named(new QPushButton(u"E&xit"_s, this), u"cmdExit"_s);
    QHBoxLayout* buttons = buttonRow({saveButton, exitButton});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    auto* messageLabel = new QLabel(u"&Message (Max.Length 160 Characters) :"_s, this);
    messageLabel->setBuddy(m_message);
    layout->addWidget(messageLabel);
    layout->addWidget(m_message);
    layout->addWidget(m_message->makeCounter(this));
    layout->addWidget(m_enabled);
    layout->addLayout(buttons);
    resize(460, 300);

    connect(saveButton, &QPushButton::clicked, this, &MissedCallReplyDialog::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    auto row = store::SettingsTables(m_db).missedCallReply();
    if (!row) {
        m_dialogs.error(this, u"The missed-call reply could not be read: "_s + row.error().message);
    } else if (row->has_value()) {
        const QString text = store::trimBlanks((*row)->Message);
        if (!text.isEmpty())
            m_message->setStoredText(text);
        m_enabled->setChecked((*row)->IsActive);
    }
}

void MissedCallReplyDialog::save()
{
    const QString text = store::trimBlanks(m_message->storedText());
    auto saved = store::SettingsTables(m_db).saveMissedCallReply({text, m_enabled->isChecked()});
    if (!saved) {
        m_dialogs.error(this, u"The missed-call reply could not be saved: "_s + saved.error().message);
        return;
    }
    // The switch and the text apply at once: the engine reads the row just saved. Were only the
    // text passed on, a reply switched on here would stay off until the next start.
    QMetaObject::invokeMethod(m_gateway, &engine::Gateway::applyMissedCallReplySettings, Qt::QueuedConnection);
    accept();
}

} // namespace ui
