#pragma once

#include <QIcon>
#include <QObject>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace ui {

// The notification-area icon: shown while the main window is minimised into it.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTipLength = 64; // the tip field holds 63 characters and a NUL

    explicit TrayIcon(QMenu* popupMenu, QObject* parent = nullptr);
    ~TrayIcon() override;

    void ShowIcon(QWidget* SysTrayForm);
    void RemoveIcon(QWidget* SysTrayForm);
    void ChangeIcon(QWidget* SysTrayForm, const QIcon& picNewIcon);
    void RestoreIcon(QWidget* SysTrayForm);
    void ChangeToolTip(QWidget* SysTrayForm, const QString& strNewTip);
    bool bRunningInTray() const { return m_running; }

    QString toolTip() const;
    QIcon icon() const;

private:
    QSystemTrayIcon* m_icon;
    bool m_running = false;
};

} // namespace ui
