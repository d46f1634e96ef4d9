#include "SplashScreen.h"

#include "Pictures.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

SplashScreen::SplashScreen(int closeAfterMs, QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
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
    connect(&m_timer, &QTimer::timeout, this, &SplashScreen::closeSplash);
    m_timer.start(closeAfterMs);
}

void SplashScreen::closeSplash()
{
    if (m_closed)
        return;
    m_closed = true;
    m_timer.stop();
    Q_EMIT closed();
    close();
}

void SplashScreen::mousePressEvent(QMouseEvent*)
{
    closeSplash();
}

void SplashScreen::keyPressEvent(QKeyEvent*)
{
    closeSplash();
}

} // namespace ui
