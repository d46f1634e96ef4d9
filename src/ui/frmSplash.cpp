#include "frmSplash.h"

#include "Pictures.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

frmSplash::frmSplash(int closeAfterMs, QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(u"frmSplash"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* picture = new QLabel(this);
    picture->setPixmap(splashPicture());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture);
    setFocusPolicy(Qt::StrongFocus);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &frmSplash::closeSplash);
    m_timer.start(closeAfterMs);
}

void frmSplash::closeSplash()
{
    if (m_closed)
        return;
    m_closed = true;
    m_timer.stop();
    Q_EMIT closed();
    close();
}

void frmSplash::mousePressEvent(QMouseEvent*)
{
    closeSplash();
}

void frmSplash::keyPressEvent(QKeyEvent*)
{
    closeSplash();
}

} // namespace ui
