#include "Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

const QColor kBlue(0x1e, 0x6f, 0xd9);
const QColor kDarkBlue(0x12, 0x45, 0x8c);

// The application's mark: a phone beside a speech bubble on a rounded blue square.
void paintMark(QPainter& p, const QRectF& r)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(r.topLeft(), r.bottomLeft());
    background.setColorAt(0, kBlue);
    background.setColorAt(1, kDarkBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    p.drawRoundedRect(r, r.width() * 0.18, r.height() * 0.18);

    const qreal u = r.width() / 64.0;
    p.setPen(QPen(Qt::white, 3 * u));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(r.left() + 12 * u, r.top() + 10 * u, 22 * u, 44 * u), 4 * u, 4 * u);
    p.drawLine(QPointF(r.left() + 19 * u, r.top() + 16 * u), QPointF(r.left() + 27 * u, r.top() + 16 * u));

    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(r.left() + 32 * u, r.top() + 14 * u, 22 * u, 16 * u), 4 * u, 4 * u);
    bubble.moveTo(r.left() + 38 * u, r.top() + 30 * u);
    bubble.lineTo(r.left() + 36 * u, r.top() + 37 * u);
    bubble.lineTo(r.left() + 44 * u, r.top() + 30 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(bubble.simplified());
    p.setBrush(kBlue);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(r.left() + (37 + i * 6) * u, r.top() + 22 * u), 1.8 * u, 1.8 * u);
}

template <typename Paint> QIcon drawnIcon(Paint paint)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p, QRectF(0, 0, size, size));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void paintPlug(QPainter& p, const QRectF& r, const QColor& color, bool connected)
{
    const qreal u = r.width() / 32.0;
    p.setPen(QPen(color, 3 * u, Qt::SolidLine, Qt::RoundCap));
    const qreal gap = connected ? 0 : 4 * u;
    p.drawLine(QPointF(r.left() + 3 * u, r.center().y()), QPointF(r.left() + 10 * u - gap, r.center().y()));
    p.drawLine(QPointF(r.right() - 10 * u + gap, r.center().y()), QPointF(r.right() - 3 * u, r.center().y()));
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(r.left() + 9 * u - gap, r.top() + 10 * u, 7 * u, 12 * u), 2 * u, 2 * u);
    p.drawRoundedRect(QRectF(r.left() + 16 * u + gap, r.top() + 10 * u, 7 * u, 12 * u), 2 * u, 2 * u);
}

} // namespace

QIcon appIcon()
{
    static const QIcon icon = drawnIcon([](QPainter& p, const QRectF& r) { paintMark(p, r); });
    return icon;
}

QIcon connectIcon()
{
    return drawnIcon([](QPainter& p, const QRectF& r) { paintPlug(p, r, QColor(0x2e, 0x9d, 0x3a), false); });
}

QIcon disconnectIcon()
{
    return drawnIcon([](QPainter& p, const QRectF& r) { paintPlug(p, r, QColor(0xc6, 0x28, 0x28), true); });
}

QIcon callReceiveIcon()
{
    return drawnIcon([](QPainter& p, const QRectF& r) {
        const qreal u = r.width() / 32.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0x9d, 0x3a));
        QPainterPath handset;
        handset.moveTo(r.left() + 6 * u, r.top() + 8 * u);
        handset.cubicTo(r.left() + 6 * u, r.top() + 20 * u, r.left() + 12 * u, r.top() + 26 * u, r.left() + 24 * u,
                        r.top() + 26 * u);
        handset.lineTo(r.left() + 26 * u, r.top() + 21 * u);
        handset.lineTo(r.left() + 20 * u, r.top() + 18 * u);
        handset.lineTo(r.left() + 17 * u, r.top() + 20 * u);
        handset.cubicTo(r.left() + 14 * u, r.top() + 18 * u, r.left() + 12 * u, r.top() + 16 * u, r.left() + 11 * u,
                        r.top() + 14 * u);
        handset.lineTo(r.left() + 13 * u, r.top() + 11 * u);
        handset.lineTo(r.left() + 10 * u, r.top() + 5 * u);
        handset.closeSubpath();
        p.drawPath(handset);
    });
}

QIcon messageBoxIcon()
{
    return drawnIcon([](QPainter& p, const QRectF& r) {
        const qreal u = r.width() / 32.0;
        p.setPen(QPen(kDarkBlue, 2 * u));
        p.setBrush(QColor(0xf4, 0xf7, 0xfc));
        const QRectF envelope(r.left() + 4 * u, r.top() + 8 * u, 24 * u, 16 * u);
        p.drawRect(envelope);
        p.drawLine(envelope.topLeft(), QPointF(envelope.center().x(), envelope.top() + 9 * u));
        p.drawLine(envelope.topRight(), QPointF(envelope.center().x(), envelope.top() + 9 * u));
    });
}

QIcon reportsIcon()
{
    return drawnIcon([](QPainter& p, const QRectF& r) {
        const qreal u = r.width() / 32.0;
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(r.left() + 5 * u, r.top() + 16 * u, 5 * u, 11 * u));
        p.drawRect(QRectF(r.left() + 13 * u, r.top() + 8 * u, 5 * u, 19 * u));
        p.drawRect(QRectF(r.left() + 21 * u, r.top() + 12 * u, 5 * u, 15 * u));
    });
}

QIcon exitIcon()
{
    return drawnIcon([](QPainter& p, const QRectF& r) {
        const qreal u = r.width() / 32.0;
        p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 3 * u, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(r.left() + 6 * u, r.top() + 7 * u, 20 * u, 20 * u), 120 * 16, 300 * 16);
        p.drawLine(QPointF(r.center().x(), r.top() + 4 * u), QPointF(r.center().x(), r.top() + 16 * u));
    });
}

QPixmap splashPicture()
{
    QPixmap pixmap(480, 260);
    pixmap.fill(QColor(0xf4, 0xf7, 0xfc));
    QPainter p(&pixmap);
    paintMark(p, QRectF(32, 66, 128, 128));
    p.setPen(kDarkBlue);
    QFont title = p.font();
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRectF(180, 80, 290, 50), Qt::AlignLeft | Qt::AlignVCenter, u"tarvogate"_s);
    QFont subtitle = p.font();
    subtitle.setPixelSize(16);
    subtitle.setBold(false);
    p.setFont(subtitle);
    p.drawText(QRectF(182, 132, 290, 30), Qt::AlignLeft | Qt::AlignVCenter, u"SMS gateway"_s);
    return pixmap;
}

QPixmap waitPicture()
{
    return appIcon().pixmap(48, 48);
}

} // namespace ui
