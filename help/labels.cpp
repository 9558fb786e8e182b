#include "labels.h"

#include <QMouseEvent>
#include <QPainter>

namespace tolva {

LinkLabel::LinkLabel(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setHovered(false);
}

void LinkLabel::setNormalColor(const QColor &color)
{
    normal_ = color;
    setHovered(hovered_);
}

void LinkLabel::setHovered(bool hovered)
{
    hovered_ = hovered;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, hovered ? QColor(Qt::red) : normal_);
    setPalette(p);
    QFont f = font();
    f.setBold(hovered && emphasis_);
    f.setUnderline(hovered && emphasis_);
    setFont(f);
}

void LinkLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    setHovered(true);
}

void LinkLabel::leaveEvent(QEvent *event)
{
    QLabel::leaveEvent(event);
    setHovered(false);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

ShadowLabel::ShadowLabel(QWidget *parent) : QLabel(parent) {}

void ShadowLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    const QRect r = contentsRect();
    painter.setPen(shadow_);
    painter.drawText(r.translated(offset_), int(alignment()), text());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(r, int(alignment()), text());
}

void PictureLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT clicked();
}

} // namespace tolva
