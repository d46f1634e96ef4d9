#include "TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace ui {

TrayIcon::TrayIcon(QMenu* popupMenu, QObject* parent) : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    // The desktop shows the menu on a right-button click; nothing else on the icon acts.
    m_icon->setContextMenu(popupMenu);
}

TrayIcon::~TrayIcon()
{
    m_icon->hide();
}

void TrayIcon::ShowIcon(QWidget* SysTrayForm)
{
    QWidget* owner = SysTrayForm->window();
    m_icon->setIcon(owner->windowIcon());
    m_icon->setToolTip(owner->windowTitle().left(kTipLength - 1));
    m_icon->show();
    m_running = true;
}

void TrayIcon::RemoveIcon(QWidget* SysTrayForm)
{
    m_icon->hide();
    if (!SysTrayForm->isVisible())
        SysTrayForm->show();
    m_running = false;
}

void TrayIcon::ChangeIcon(QWidget*, const QIcon& picNewIcon)
{
    if (m_running)
        m_icon->setIcon(picNewIcon);
}

void TrayIcon::RestoreIcon(QWidget* SysTrayForm)
{
    if (m_running)
        m_icon->setIcon(SysTrayForm->window()->windowIcon());
}

void TrayIcon::ChangeToolTip(QWidget*, const QString& strNewTip)
{
    if (m_running)
        m_icon->setToolTip(strNewTip.left(kTipLength - 1));
}

QString TrayIcon::toolTip() const
{
    return m_icon->toolTip();
}

QIcon TrayIcon::icon() const
{
    return m_icon->icon();
}

} // namespace ui
