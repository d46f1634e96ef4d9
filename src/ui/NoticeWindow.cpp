#include "NoticeWindow.h"

#include "Pictures.h"
#include "ScreenParts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

NoticeWindow::NoticeWindow(const store::Clock& clock, QWidget* parent) : QWidget(parent, Qt::Window), m_clock(clock)
{
    setObjectName(u"NoticeWindow"_s);
    setWindowTitle(u"tarvogate - Notices"_s);
    setWindowIcon(appIcon());
    setWindowModality(Qt::NonModal);
    // A notice must not take the keyboard from a dialog the operator is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_time = named(new QLabel(this), u"lblNoticeTime"_s);
    m_text = named(new QLabel(this), u"lblNoticeText"_s);
    // Engine texts carry addresses such as <sms@example.org>: never read them as markup.
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setMinimumWidth(360);
    m_count = named(new QLabel(this), u"lblNoticeCount"_s);
    m_dismiss = named(new QPushButton(u"&Dismiss"_s, this), u"cmdDismiss"_s);
    m_dismiss->setToolTip(u"Mark the notices as seen and close this window."_s);
    connect(m_dismiss, &QPushButton::clicked, this, &NoticeWindow::dismiss);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_time);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_count);
    layout->addLayout(buttonRow({m_dismiss}));
}

void NoticeWindow::addNotice(const QString& text)
{
    ++m_unseen;
    m_text->setText(text);
    m_time->setText(u"Latest notice at %1:"_s.arg(QLocale().toString(m_clock.now(), QLocale::ShortFormat)));
    m_count->setText(countText());
    if (isVisible())
        return; // updated where it is, never raised over the operator's own window
    QWidget* operatorsWindow = QApplication::activeWindow();
    show();
    // Some window managers (and the offscreen platform) activate every new window whatever the
    // hint says: the keyboard goes straight back to where the operator was typing.
    if (operatorsWindow != nullptr && operatorsWindow != this)
        operatorsWindow->activateWindow();
}

void NoticeWindow::dismiss()
{
    resetCount();
    hide();
}

void NoticeWindow::resetCount()
{
    m_unseen = 0;
    m_count->setText(countText());
}

QString NoticeWindow::latestText() const
{
    return m_text->text();
}

QString NoticeWindow::countText() const
{
    if (m_unseen == 0)
        return QString();
    if (m_unseen == 1)
        return u"1 notice since you last looked."_s;
    return u"%1 notices since you last looked; the latest is shown above."_s.arg(m_unseen);
}

void NoticeWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window is the operator's way of saying the notices were seen.
    resetCount();
    QWidget::closeEvent(event);
}

} // namespace ui
