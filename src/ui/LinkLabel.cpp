#include "LinkLabel.h"

#include <QMouseEvent>

namespace ui {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setUnderlined(true);
    setFocusPolicy(Qt::StrongFocus);
    setForegroundRole(QPalette::Link);
}

void LinkLabel::setUnderlined(bool underlined)
{
    QFont f = font();
    f.setUnderline(underlined);
    setFont(f);
}

void LinkLabel::click()
{
    if (isEnabled())
        Q_EMIT clicked();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QLabel::changeEvent(event);
}

} // namespace ui
