#pragma once

#include "template.h"

#include <QDate>
#include <QHash>
#include <QLineF>
#include <QSizeF>
#include <QVariant>

#include <functional>
#include <optional>

class QPainter;

namespace tolva {
class Dataset;
}

namespace tolva::report {

// The memo whose expressions are being evaluated, as the value hook may change it.
struct MemoState {
    QString name;
    QString text;
    bool visible = true;
};

// What a report reads: the screen's result sets by name ("Query1", or "dwm.Query1" for another
// window's), today's date, and the value hook that may answer any name first.
struct Sources {
    QHash<QString, Dataset *> datasets;
    QDate today;
    // Called with every name an expression needs before the engine resolves it; a value answers
    // it. The hook may change the text or visibility of the memo it is asked for, nothing else.
    std::function<std::optional<QVariant>(const QString &name, MemoState &memo)> hook;
    // How far preparation got, row by row over both passes; returning false stops it (prepare then
    // throws Stopped). The signature of tolva::Progress, so a screen's progress can be handed on.
    std::function<bool(int done, int total, const QString &what)> progress;
};

// Thrown by prepare() when its progress asked it to stop.
struct Stopped {};

// A text placed on a prepared page: its box, its lines as wrapped at preparation, font, alignment.
struct PlacedText {
    QRectF rect;          // design units
    QStringList lines;
    Font font;
    Qt::Alignment align;
    QString memo;         // the memo it comes from
};

struct PreparedPage {
    QSizeF size;          // design units
    QList<PlacedText> texts;
    QList<QLineF> lines;
    // The texts on the page, in placing order, for tests and searches.
    QStringList strings() const;
};

// Pages laid out from a template, independent of any device.
struct PreparedReport {
    QString title;
    QList<PreparedPage> pages;
    int pageCount() const { return int(pages.size()); }

    QByteArray toJson() const;
    static PreparedReport fromJson(const QByteArray &json);
    // Writes the report file under a temporary name that takes `path` only when complete; throws an
    // Error when `path` is one of `dataFolder`'s own files or cannot be written.
    void save(const QString &path, const QString &dataFolder) const;
    // Throws ReportError when the file cannot be read as a report, and before opening it when it
    // is one of `dataFolder`'s own files (opening them beside the store would drop its locks).
    static PreparedReport load(const QString &path, const QString &dataFolder);
};

// Lays the template out over the sources in two passes (so that [TOTALPAGES] is known).
// Throws ReportError when an expression cannot be evaluated or a result set is missing, Stopped
// when the progress callback asks to stop.
PreparedReport prepare(const Template &layout, const Sources &sources);

// The Qt font of a template font: 宋体 prints in AR PL UMing CN, Arial in WenQuanYi Zen Hei.
QFont qtFont(const Font &font);
// Draws a prepared page; `scale` is device pixels per design unit.
void render(QPainter &painter, const PreparedPage &page, double scale, const QPointF &origin = QPointF());

} // namespace tolva::report
