#include "AboutDialog.h"

#include "Database.h"
#include "Pictures.h"
#include "Resources.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"frm_About"_s);
    setWindowTitle(u"About tarvogate"_s);

    m_text = u"<h2>tarvogate %1</h2>"
             u"<p>An SMS gateway for one office computer with a GSM modem: it sends queued SMS through the "
             u"modem or an SMTP-to-SMS gateway, receives SMS, answers keywords and missed calls, and turns "
             u"e-mails from registered users into SMS.</p>"
             u"<p>Licence: MIT.</p>"
             u"<p>Built with Qt %2 (LGPL-3.0) and SQLCipher (SQLite %3, BSD).</p>"_s.arg(
                 store::programVersion(), QString::fromLatin1(qVersion()), store::sqliteVersion());

    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(64, 64));
    auto* label = new QLabel(m_text, this);
    label->setObjectName(u"lblAbout"_s);
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QString AboutDialog::text() const
{
    return m_text;
}

} // namespace ui
