#include "cls_SysTrayCls.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace ui {

cls_SysTrayCls::cls_SysTrayCls(QMenu* popupMenu, QObject* parent) : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    // The desktop shows the menu on a right-button click; nothing else on the icon acts.
    m_icon->setContextMenu(popupMenu);
}

cls_SysTrayCls::~cls_SysTrayCls()
{
    m_icon->hide();
}

void cls_SysTrayCls::ShowIcon(QWidget* SysTrayForm)
{
    QWidget* owner = SysTrayForm->window();
    m_icon->setIcon(owner->windowIcon());
    m_icon->setToolTip(owner->windowTitle().left(kTipLength - 1));
    m_icon->show();
    m_running = true;
}

void cls_SysTrayCls::RemoveIcon(QWidget* SysTrayForm)
{
    m_icon->hide();
    if (!SysTrayForm->isVisible())
        SysTrayForm->show();
    m_running = false;
}

void cls_SysTrayCls::ChangeIcon(QWidget*, const QIcon& picNewIcon)
{
    if (m_running)
        m_icon->setIcon(picNewIcon);
}

void cls_SysTrayCls::RestoreIcon(QWidget* SysTrayForm)
{
    if (m_running)
        m_icon->setIcon(SysTrayForm->window()->windowIcon());
}

void cls_SysTrayCls::ChangeToolTip(QWidget*, const QString& strNewTip)
{
    if (m_running)
        m_icon->setToolTip(strNewTip.left(kTipLength - 1));
}

QString cls_SysTrayCls::toolTip() const
{
    return m_icon->toolTip();
}

QIcon cls_SysTrayCls::icon() const
{
    return m_icon->icon();
}

} // namespace ui
