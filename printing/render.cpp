#include "textmetrics.h"

#include <QImage>
#include <QPainter>

#include <map>
#include <memory>
#include <tuple>

// Drawing prepared pages on any device: the preview, a printer, a PDF.
namespace tolva::report {

const QPaintDevice &reference()
{
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(ReferenceDpi / 0.0254));
        i.setDotsPerMeterY(qRound(ReferenceDpi / 0.0254));
        return i;
    }();
    return image;
}

const Metrics &metrics(const Font &font)
{
    thread_local std::map<std::tuple<QString, double, bool, bool>, std::unique_ptr<Metrics>> cache;
    auto &slot = cache[{font.family, font.size, font.bold, font.italic}];
    if (!slot)
        slot = std::make_unique<Metrics>(font);
    return *slot;
}

QFont qtFont(const Font &font)
{
    // TrueType faces that carry Chinese: their glyphs map back to the right characters when the
    // text of a PDF is read or copied.
    QFont f(font.family == QLatin1String("Arial") ? QStringLiteral("WenQuanYi Zen Hei")
                                                  : QStringLiteral("AR PL UMing CN"));
    f.setPointSizeF(font.size);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

void render(QPainter &painter, const PreparedPage &page, double scale, const QPointF &origin)
{
    painter.save();
    const double dpi = painter.device()->logicalDpiY();
    painter.setPen(QPen(Qt::black, qMax(1.0, scale * 0.75)));
    for (const QLineF &l : page.lines)
        painter.drawLine(QLineF(origin + l.p1() * scale, origin + l.p2() * scale));
    for (const PlacedText &t : page.texts) {
        painter.save();
        // A text never leaves its cell.
        painter.setClipRect(QRectF(origin + t.rect.topLeft() * scale, t.rect.size() * scale), Qt::IntersectClip);
        // Draw in reference pixels with the reference font, scaled down to the device.
        painter.translate(origin);
        painter.scale(scale / ReferencePerUnit, scale / ReferencePerUnit);
        QFont f = qtFont(t.font);
        f.setPointSizeF(t.font.size * ReferenceDpi / dpi);
        painter.setFont(f);
        const double lineHeight = metrics(t.font).lineSpacing();
        const double block = t.lines.size() * lineHeight;
        double top = t.rect.top() + Padding;
        if (t.align & Qt::AlignBottom)
            top = t.rect.bottom() - Padding - block;
        else if (t.align & Qt::AlignVCenter)
            top = t.rect.top() + (t.rect.height() - block) / 2;
        for (int i = 0; i < t.lines.size(); ++i) {
            const QRectF line(t.rect.left() + Padding, top + i * lineHeight, t.rect.width() - 2 * Padding, lineHeight);
            const QRectF reference(line.topLeft() * ReferencePerUnit, line.size() * ReferencePerUnit);
            painter.drawText(reference, int((t.align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter) | Qt::TextDontClip,
                             t.lines[i]);
        }
        painter.restore();
    }
    painter.restore();
}

} // namespace tolva::report
