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

void placeLink(QLabel *text, LinkLabel *link)
{
    const QFontMetrics fm(text->font());
    // Room for the bold text a hovered link may show.
    QFont bold = link->font();
    bold.setBold(true);
    const int width = QFontMetrics(bold).horizontalAdvance(link->text()) + 4;
    QString sentence = text->text();
    const int gap = sentence.indexOf(QStringLiteral("  "));
    int x = fm.horizontalAdvance(sentence);
    if (gap >= 0) {
        int end = gap;
        while (end < sentence.size() && sentence[end] == QLatin1Char(' '))
            ++end;
        int blanks = end - gap;
        while (fm.horizontalAdvance(QString(blanks, QLatin1Char(' '))) < width)
            ++blanks;
        sentence = sentence.left(gap) + QString(blanks, QLatin1Char(' ')) + sentence.mid(end);
        text->setText(sentence);
        x = fm.horizontalAdvance(sentence.left(gap));
    }
    text->resize(fm.horizontalAdvance(sentence) + 4, text->height());
    link->setAlignment(text->alignment());
    link->setGeometry(text->x() + x + 2, text->y(), width, text->height());
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
