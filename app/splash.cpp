#include "splash.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace tolva {

Tsbstart::Tsbstart(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(QStringLiteral(":/resources/splash.jpg"))
{
    setObjectName(QStringLiteral("sbstart"));
    setWindowTitle(QStringLiteral("青禾软件开发中心"));
    setFixedSize(450, 354);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tsbstart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(rect(), picture_);
    QFont font(QStringLiteral("Noto Serif CJK SC"));
    font.setPixelSize(24);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    const QRect band(0, 20, width(), 40);
    // Drawn twice for a shadow: white, then maroon three pixels left and one down.
    p.setPen(Qt::white);
    p.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, line());
    p.setPen(QColor(128, 0, 0));
    p.drawText(band.translated(-3, 1), Qt::AlignHCenter | Qt::AlignVCenter, line());
}

} // namespace tolva
