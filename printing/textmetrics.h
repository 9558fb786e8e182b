#pragma once

// How the report engine measures text, shared by preparation (which wraps and sizes memos) and
// rendering (which draws them): printing's own, not part of report.h.
#include "report.h"

#include <QFontMetricsF>

class QPaintDevice;

namespace tolva::report {

constexpr double Padding = 2; // design units between a memo's frame and its text

// Text is laid out once, at a fine reference resolution, and every device draws it with that very
// font scaled to its own resolution: the widths measured are the widths drawn, in the preview at any
// zoom, in a PDF and on paper. (Measured at the device's own pixel size a glyph's advance is rounded
// differently on each device, up to several percent.)
constexpr double ReferenceDpi = 1200;
constexpr double ReferencePerUnit = ReferenceDpi / 96;

// The device of that reference resolution.
const QPaintDevice &reference();

// Widths and line spacing of a template font in design units.
class Metrics {
public:
    explicit Metrics(const Font &font) : m_(qtFont(font), const_cast<QPaintDevice *>(&reference())) {}
    double width(const QString &text) const { return m_.horizontalAdvance(text) / ReferencePerUnit; }
    double lineSpacing() const { return m_.lineSpacing() / ReferencePerUnit; }

private:
    QFontMetricsF m_;
};

// Resolving a font and its metrics costs far more than measuring with them: each font is resolved
// once per thread.
const Metrics &metrics(const Font &font);

} // namespace tolva::report
