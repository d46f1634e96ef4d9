#include "ExportFieldsDialog.h"

#include "Dialogs.h"
#include "ScreenParts.h"
#include "TextRules.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

ExportFieldsDialog::ExportFieldsDialog(qint64 total, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_total(total)
{
    setObjectName(u"Frm_ExportSMS_Step2"_s);
    setWindowTitle(u"Export SMS"_s);

    auto* frame = new QGroupBox(u"Select the fields to be exported"_s, this);
    m_mobileNo = named(new QCheckBox(u"Mobile Number"_s, frame), u"chkMobileNo"_s);
    m_message = named(new QCheckBox(u"Message"_s, frame), u"chkMessage"_s);
    m_sendOn = named(new QCheckBox(u"SMS Date Time"_s, frame), u"chkSendOn"_s);
    auto* boxes = new QVBoxLayout(frame);
    boxes->addWidget(m_mobileNo);
    boxes->addWidget(m_message);
    boxes->addWidget(m_sendOn);

    m_count = named(new QLabel(QString::number(total), this), u"lblmessage"_s);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(u"Total records selected for export :"_s, this));
    countRow->addWidget(m_count);
    countRow->addStretch();

    auto* backButton = named(new QPushButton(u"<<Back"_s, this), u"cmdBack"_s);
    auto* cancelButton = named(new QPushButton(u"&Cancel"_s, this), u"cmdCancel"_s);
    auto* nextButton = named(new QPushButton(u"&Next >>"_s, this), u"cmdNext"_s);
    nextButton->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(countRow);
    layout->addLayout(buttonRow({backButton, cancelButton, nextButton}));
    resize(420, 240);

    connect(backButton, &QPushButton::clicked, this, [this] { done(Back); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(nextButton, &QPushButton::clicked, this, &ExportFieldsDialog::next);
}

void ExportFieldsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_count->setText(QString::number(m_total));
}

QStringList ExportFieldsDialog::fields() const
{
    QStringList names;
    for (const QString& name : m_sqlExportSMS.split(u',', Qt::SkipEmptyParts)) {
        const QString trimmed = store::trimBlanks(name);
        if (!trimmed.isEmpty())
            names << trimmed;
    }
    return names;
}

void ExportFieldsDialog::next()
{
    QString list;
    if (m_mobileNo->isChecked())
        list += u" SenderMobileNo,"_s;
    if (m_message->isChecked())
        list += u" Message,"_s;
    if (m_sendOn->isChecked())
        list += u" InboxDateTime,"_s;
    list = store::trimBlanks(list);
    while (list.endsWith(u','))
        list.chop(1);
    m_sqlExportSMS = list;
    if (m_sqlExportSMS.isEmpty()) {
        m_dialogs.information(this, u"Please Select at least one field for export."_s);
        return;
    }
    accept();
}

} // namespace ui
