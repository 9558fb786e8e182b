#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

#include "base/error.h"

namespace tolva::report {

// A template that cannot be read or a report that cannot be built.
class ReportError : public Error {
public:
    explicit ReportError(const QString &message) : Error(message), message_(message) {}
    QString message() const { return message_; }
    QString text() const override { return message_; }

private:
    QString message_;
};

enum class BandType {
    PageHeader,
    ColumnHeader,
    MasterData,
    MasterFooter,
    GroupHeader,
    GroupFooter,
    ReportSummary,
    PageFooter,
};

struct Band {
    QString name;        // band1, band2 ... (the page script sets heights by this name)
    BandType type = BandType::MasterData;
    double top = 0;      // design units (pixels of a 96-dpi page)
    double height = 0;
    QString dataset;     // master data: the result set whose rows it repeats over
    QString group;       // group header: the expression whose change starts a group
    bool stretch = false;
};

struct Font {
    QString family = QStringLiteral("宋体"); // 宋体 or Arial
    double size = 10;                       // points
    bool bold = false;
    bool italic = false;
};

struct Memo {
    QString name;
    QRectF rect;                 // design units; the top decides the band it belongs to
    QString text;                // literal text with [expressions]
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    Font font;
    QString frames;              // any of "L", "T", "R", "B"
    QString format;              // number or date pattern for the values of its expressions
    bool wordWrap = false;
    bool stretch = false;        // grows with its text
    bool autoSize = false;       // widens to its text
    bool visible = true;
};

struct Variable {
    QString name;
    QString expression;          // empty: the value hook supplies it
};

struct Page {
    bool landscape = false;
    double marginLeft = 72, marginTop = 72, marginRight = 72, marginBottom = 72; // design units
    int columns = 1;
    double columnGap = 0;
    bool doublePass = true;
    double width() const { return landscape ? 1123 : 794; }   // A4 at 96 dpi
    double height() const { return landscape ? 794 : 1123; }
};

struct Template {
    QString title;
    QString titleMemo;           // the memo whose printed text names the prepared report; empty: the title
    Page page;
    QList<Band> bands;
    QList<Memo> memos;
    QList<Variable> variables;
    QString script;              // "band2.height:=band2_height;" lines
    // Page designs laid out one after the other over the same rows (a continuation page for more
    // columns); page numbers and [TOTALPAGES] run on across them. Each has its own bands, memos,
    // variables and script, and the page of the template unless it gives its own. When there are
    // designs, the template's own bands and memos are not used.
    std::vector<Template> designs;

    // Reads a template from JSON text; throws ReportError when it is malformed.
    static Template fromJson(const QByteArray &json);
    // Reads a template compiled into the program (":/printing/templates/NAME.json").
    static Template load(const QString &name);

    Band *band(const QString &name);
    const Band *bandOf(BandType type) const;
    Memo *memo(const QString &name); // case-insensitive, also in the designs; nullptr when there is none
    // The band a memo belongs to: the one in whose vertical range its top lies.
    const Band *bandOfMemo(const Memo &memo) const;
};

} // namespace tolva::report
