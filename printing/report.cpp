#include "report.h"

#include "expression.h"
#include "store/dataset.h"
#include "store/format.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>

#include <map>

namespace tolva::report {

namespace {

constexpr double Padding = 2; // design units between a memo's frame and its text

// Text is measured once, against a 96-dpi reference, so every device shows the same lines.
const QPaintDevice &reference()
{
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(3780);
        i.setDotsPerMeterY(3780);
        return i;
    }();
    return image;
}

QFontMetricsF metrics(const Font &font)
{
    return QFontMetricsF(qtFont(font), const_cast<QPaintDevice *>(&reference()));
}

// Lines of a text in a width: at line breaks, and with word wrap wherever the width ends
// (between words where there are spaces, between any two characters otherwise).
QStringList wrap(const QString &text, const Font &font, double width, bool wordWrap)
{
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    if (!wordWrap)
        return paragraphs;
    const QFontMetricsF m = metrics(font);
    QStringList lines;
    for (const QString &paragraph : paragraphs) {
        QString line;
        for (int i = 0; i < paragraph.size(); ++i) {
            const QString candidate = line + paragraph[i];
            if (!line.isEmpty() && m.horizontalAdvance(candidate) > width) {
                const int space = line.lastIndexOf(QLatin1Char(' '));
                if (space > 0 && paragraph[i] != QLatin1Char(' ')) {
                    lines << line.left(space);
                    line = line.mid(space + 1) + paragraph[i];
                } else {
                    lines << line;
                    line = paragraph[i] == QLatin1Char(' ') ? QString() : QString(paragraph[i]);
                }
            } else {
                line = candidate;
            }
        }
        lines << line;
    }
    return lines;
}

QString render(const QVariant &v, const QString &format)
{
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QDate)
        return format::date(v.toDate(), format.isEmpty() ? QStringLiteral("yyyy-mm-dd") : format);
    const bool numeric = v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int ||
                         v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Bool;
    if (numeric) {
        const double d = v.toDouble();
        if (!format.isEmpty())
            return format::number(d, format);
        return QString::number(d, 'g', 15);
    }
    if (!format.isEmpty() && v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (ok)
            return format::number(d, format);
    }
    return v.toString();
}

struct CompiledMemo {
    Memo memo;
    int band = -1;                       // index into the template's bands
    std::vector<TextPart> parts;
};

struct SumState {
    double total = 0;
    std::vector<double> groups; // one per group level
};

class Builder : public Scope {
public:
    Builder(const Template &t, const Sources &sources) : t_(t), sources_(sources)
    {
        // Memos belong to the band in whose designed vertical range their top lies.
        for (const Memo &m : t_.memos) {
            CompiledMemo c;
            c.memo = m;
            for (int b = 0; b < t_.bands.size(); ++b) {
                const Band &band = t_.bands[b];
                if (m.rect.top() >= band.top && m.rect.top() < band.top + band.height) {
                    c.band = b;
                    break;
                }
            }
            if (c.band < 0)
                continue; // outside every band: not printed
            c.parts = splitText(m.text);
            memos_.push_back(std::move(c));
        }
        for (const Variable &v : t_.variables)
            if (!v.expression.trimmed().isEmpty())
                variables_.emplace(v.name.toLower(), std::shared_ptr<Node>(parse(v.expression)));
            else
                variables_.emplace(v.name.toLower(), nullptr);
        for (int b = 0; b < t_.bands.size(); ++b) {
            if (t_.bands[b].type == BandType::GroupHeader)
                groupHeaders_ << b;
            if (t_.bands[b].type == BandType::GroupFooter)
                groupFooters_ << b;
        }
        for (const CompiledMemo &c : memos_)
            for (const TextPart &p : c.parts)
                if (p.expression)
                    forEachSum(*p.expression, [this](const Node &n) { sums_[&n].groups.assign(groupHeaders_.size(), 0); });
    }

    // Numbers the pages from after `before` earlier ones, out of `total` when that is known.
    void numberAfter(int before, int total)
    {
        firstPage_ = before;
        knownTotal_ = total;
    }

    PreparedReport build()
    {
        PreparedReport result;
        result.title = t_.title;
        const int passes = t_.page.doublePass && knownTotal_ < 0 ? 2 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            pages_.clear();
            run();
            totalPages_ = int(pages_.size());
        }
        result.pages = pages_;
        return result;
    }

    // Scope
    QVariant column(const Node &node) override
    {
        if (auto v = ask(node.reference()))
            return *v;
        const QString key = node.window.isEmpty() ? node.dataset : node.window + QLatin1Char('.') + node.dataset;
        Dataset *ds = nullptr;
        for (auto it = sources_.datasets.constBegin(); it != sources_.datasets.constEnd(); ++it)
            if (it.key().compare(key, Qt::CaseInsensitive) == 0)
                ds = it.value();
        if (!ds)
            throw ReportError(QStringLiteral("报表数据集 %1 不存在。").arg(key));
        const int f = ds->fieldIndex(node.column);
        if (f < 0)
            throw ReportError(QStringLiteral("报表数据集 %1 中没有字段 %2。").arg(key, node.column));
        return ds->valueAt(ds->currentRow(), f);
    }

    QVariant name(const QString &name) override
    {
        if (auto v = ask(name))
            return *v;
        const auto var = variables_.find(name.toLower());
        if (var != variables_.end())
            return var->second ? evaluate(*var->second, *this) : QVariant();
        if (name.compare(QLatin1String("PAGE#"), Qt::CaseInsensitive) == 0)
            return double(firstPage_ + pages_.size() + 1);
        if (name.compare(QLatin1String("TOTALPAGES"), Qt::CaseInsensitive) == 0)
            return double(knownTotal_ >= 0 ? knownTotal_ : totalPages_);
        if (name.compare(QLatin1String("DATE"), Qt::CaseInsensitive) == 0)
            return sources_.today;
        if (name.compare(QLatin1String("LINE#"), Qt::CaseInsensitive) == 0)
            return double(row_ + 1);
        throw ReportError(QStringLiteral("报表中没有变量 %1。").arg(name));
    }

    QVariant sum(const Node &node) override
    {
        if (accumulating_)
            return evaluate(*node.args[0], *this); // a sum inside a sum adds the row's own value
        const auto it = sums_.find(&node);
        if (it == sums_.end())
            return 0.0;
        if (footerLevel_ >= 0 && footerLevel_ < int(it->second.groups.size()))
            return it->second.groups[size_t(footerLevel_)];
        return it->second.total;
    }

private:
    std::optional<QVariant> ask(const QString &name)
    {
        if (!sources_.hook || !current_)
            return std::nullopt;
        return sources_.hook(name, *current_);
    }

    Dataset *master() const
    {
        for (const Band &b : t_.bands)
            if (b.type == BandType::MasterData && !b.dataset.isEmpty())
                for (auto it = sources_.datasets.constBegin(); it != sources_.datasets.constEnd(); ++it)
                    if (it.key().compare(b.dataset, Qt::CaseInsensitive) == 0)
                        return it.value();
        return nullptr;
    }

    void applyScript()
    {
        bands_.assign(t_.bands.begin(), t_.bands.end());
        QString script = t_.script;
        script.remove(QRegularExpression(QStringLiteral("\\{[^}]*\\}")));
        static const QRegularExpression assignment(QStringLiteral("^\\s*(\\w+)\\.height\\s*:=\\s*([^;]+);?\\s*$"),
                                                   QRegularExpression::CaseInsensitiveOption);
        for (const QString &line : script.split(QLatin1Char('\n'))) {
            if (line.trimmed().startsWith(QLatin1String("//")) || line.trimmed().isEmpty())
                continue;
            const auto m = assignment.match(line);
            if (!m.hasMatch())
                throw ReportError(QStringLiteral("报表脚本无法执行：%1").arg(line.trimmed()));
            for (Band &b : bands_)
                if (b.name.compare(m.captured(1), Qt::CaseInsensitive) == 0) {
                    const auto node = parse(m.captured(2).trimmed());
                    MemoState none;
                    current_ = &none;
                    b.height = qMax(0.0, toNumber(evaluate(*node, *this)));
                    current_ = nullptr;
                }
        }
    }

    const Band *bandOf(BandType type) const
    {
        for (const Band &b : bands_)
            if (b.type == type)
                return &b;
        return nullptr;
    }

    double columnWidth() const
    {
        const Page &p = t_.page;
        return (p.width() - p.marginLeft - p.marginRight - p.columnGap * (p.columns - 1)) / p.columns;
    }

    // The evaluated text of a memo; the hook may change its text or hide it.
    bool text(const CompiledMemo &c, QString &out)
    {
        MemoState state{c.memo.name, c.memo.text, c.memo.visible};
        current_ = &state;
        auto evaluateParts = [&](const std::vector<TextPart> &parts) {
            QString s;
            for (const TextPart &p : parts)
                s += p.expression ? render(evaluate(*p.expression, *this), c.memo.format) : p.literal;
            return s;
        };
        out = evaluateParts(c.parts);
        if (state.text != c.memo.text) // the hook gave the memo a text of its own
            out = evaluateParts(splitText(state.text));
        current_ = nullptr;
        return state.visible;
    }

    // Height a band needs: its own, or more when it stretches to its stretching memos.
    struct Placed {
        PlacedText text;
        QString frames;
        bool visible;
    };

    double layoutBand(int index, std::vector<Placed> &out)
    {
        const Band &band = bands_[size_t(index)];
        double height = band.height;
        const double designTop = t_.bands[index].top;
        for (const CompiledMemo &c : memos_) {
            if (c.band != index)
                continue;
            QString s;
            const bool visible = text(c, s);
            PlacedText p;
            p.memo = c.memo.name;
            p.font = c.memo.font;
            p.align = c.memo.align;
            p.rect = c.memo.rect.translated(0, -designTop);
            const QFontMetricsF m = metrics(c.memo.font);
            if (c.memo.autoSize && !c.memo.wordWrap) {
                double widest = 0;
                for (const QString &line : s.split(QLatin1Char('\n')))
                    widest = qMax(widest, m.horizontalAdvance(line));
                p.rect.setWidth(qMax(p.rect.width(), widest + 2 * Padding));
            }
            p.lines = wrap(s, c.memo.font, p.rect.width() - 2 * Padding, c.memo.wordWrap);
            if (c.memo.stretch || c.memo.autoSize) {
                const double needed = p.lines.size() * m.lineSpacing() + 2 * Padding;
                p.rect.setHeight(qMax(p.rect.height(), needed));
            }
            if (band.stretch && visible)
                height = qMax(height, p.rect.bottom());
            out.push_back({p, c.memo.frames, visible});
        }
        return height;
    }

    void put(int index, double x, double y)
    {
        std::vector<Placed> placed;
        layoutBand(index, placed);
        for (Placed &p : placed) {
            if (!p.visible)
                continue;
            PlacedText t = p.text;
            t.rect.translate(x, y);
            const QString &frames = p.frames;
            const QRectF r = t.rect;
            if (frames.contains(QLatin1Char('T')))
                page_.lines << QLineF(r.topLeft(), r.topRight());
            if (frames.contains(QLatin1Char('B')))
                page_.lines << QLineF(r.bottomLeft(), r.bottomRight());
            if (frames.contains(QLatin1Char('L')))
                page_.lines << QLineF(r.topLeft(), r.bottomLeft());
            if (frames.contains(QLatin1Char('R')))
                page_.lines << QLineF(r.topRight(), r.bottomRight());
            page_.texts << t;
        }
    }

    double heightOf(int index)
    {
        std::vector<Placed> placed;
        return layoutBand(index, placed);
    }

    int indexOf(const Band *b) const { return b ? int(b - bands_.data()) : -1; }

    void startPage()
    {
        page_ = PreparedPage();
        page_.size = QSizeF(t_.page.width(), t_.page.height());
        y_ = t_.page.marginTop;
        if (const Band *h = bandOf(BandType::PageHeader)) {
            const int i = indexOf(h);
            const double height = heightOf(i);
            put(i, 0, y_);
            y_ += height;
        }
        columnTop_ = y_;
        column_ = 0;
        startColumn();
        const Band *footer = bandOf(BandType::PageFooter);
        bottom_ = t_.page.height() - t_.page.marginBottom - (footer ? footer->height : 0);
    }

    void startColumn()
    {
        y_ = columnTop_;
        hasData_ = false;
        if (const Band *h = bandOf(BandType::ColumnHeader)) {
            const int i = indexOf(h);
            const double height = heightOf(i);
            put(i, columnOffset(), y_);
            y_ += height;
        }
    }

    double columnOffset() const { return column_ * (columnWidth() + t_.page.columnGap); }

    void finishPage()
    {
        if (const Band *f = bandOf(BandType::PageFooter))
            put(indexOf(f), 0, t_.page.height() - t_.page.marginBottom - f->height);
        pages_ << page_;
    }

    // Places a band in the flow, moving to the next column or page when it does not fit; a band
    // taller than an empty page is placed once anyway.
    void flow(int index, bool inColumns = true)
    {
        const double height = heightOf(index);
        if (y_ + height > bottom_ && hasData_) {
            if (inColumns && column_ + 1 < t_.page.columns) {
                ++column_;
                startColumn();
            } else {
                finishPage();
                startPage();
            }
        }
        put(index, inColumns ? columnOffset() : 0, y_);
        y_ += height;
        hasData_ = true;
    }

    QVariant groupKey(int header)
    {
        const QString expression = bands_[size_t(header)].group;
        if (expression.trimmed().isEmpty())
            return QVariant();
        MemoState none;
        current_ = &none;
        const auto parts = splitText(expression);
        QString key;
        for (const TextPart &p : parts)
            key += p.expression ? render(evaluate(*p.expression, *this), QString()) : p.literal;
        current_ = nullptr;
        return key;
    }

    void accumulate()
    {
        MemoState none;
        current_ = &none;
        accumulating_ = true;
        for (auto &[node, state] : sums_) {
            const double v = toNumber(evaluate(*node->args[0], *this));
            state.total += v;
            for (double &g : state.groups)
                g += v;
        }
        accumulating_ = false;
        current_ = nullptr;
    }

    void run()
    {
        applyScript();
        for (auto &[node, state] : sums_) {
            state.total = 0;
            std::fill(state.groups.begin(), state.groups.end(), 0.0);
        }
        startPage();
        Dataset *data = master();
        const Band *masterBand = bandOf(BandType::MasterData);
        const int rows = (data && masterBand) ? data->rowCount() : 0;
        const int saved = data ? data->currentRow() : -1;
        auto at = [&](int row) {
            row_ = row;
            if (data && row >= 0 && row < rows)
                data->moveTo(row);
        };
        try {
            for (int r = 0; r < rows; ++r) {
                at(r);
                for (int level = 0; level < int(groupHeaders_.size()); ++level) {
                    const QVariant key = groupKey(groupHeaders_[level]);
                    bool starts = r == 0;
                    if (!starts) {
                        at(r - 1);
                        starts = groupKey(groupHeaders_[level]) != key;
                        at(r);
                    }
                    if (starts)
                        flow(groupHeaders_[level]);
                }
                flow(indexOf(masterBand));
                accumulate();
                // A group ends at the last row or where the next row's key differs.
                for (int level = int(groupFooters_.size()) - 1; level >= 0; --level) {
                    if (level >= int(groupHeaders_.size()))
                        continue;
                    const QVariant key = groupKey(groupHeaders_[level]);
                    bool ends = r == rows - 1;
                    if (!ends) {
                        at(r + 1);
                        ends = groupKey(groupHeaders_[level]) != key;
                        at(r);
                    }
                    if (ends) {
                        footerLevel_ = level;
                        flow(groupFooters_[level]);
                        footerLevel_ = -1;
                        for (auto &[node, state] : sums_)
                            state.groups[size_t(level)] = 0;
                    }
                }
            }
            if (const Band *f = bandOf(BandType::MasterFooter))
                flow(indexOf(f));
            if (const Band *s = bandOf(BandType::ReportSummary))
                flow(indexOf(s), false);
        } catch (...) {
            if (data && saved >= 0)
                data->moveTo(saved);
            throw;
        }
        if (data && saved >= 0)
            data->moveTo(saved);
        finishPage();
    }

    const Template &t_;
    const Sources &sources_;
    std::vector<CompiledMemo> memos_;
    std::map<QString, std::shared_ptr<Node>> variables_;
    QList<int> groupHeaders_, groupFooters_;
    std::map<const Node *, SumState> sums_;
    std::vector<Band> bands_;
    QList<PreparedPage> pages_;
    PreparedPage page_;
    MemoState *current_ = nullptr;
    int totalPages_ = 0;
    int firstPage_ = 0;
    int knownTotal_ = -1;
    int row_ = -1;
    int column_ = 0;
    double y_ = 0, bottom_ = 0, columnTop_ = 0;
    bool hasData_ = false;
    bool accumulating_ = false;
    int footerLevel_ = -1;
};

QJsonObject fontJson(const Font &f)
{
    return {{QStringLiteral("family"), f.family},
            {QStringLiteral("size"), f.size},
            {QStringLiteral("bold"), f.bold},
            {QStringLiteral("italic"), f.italic}};
}

} // namespace

QStringList PreparedPage::strings() const
{
    QStringList out;
    for (const PlacedText &t : texts)
        out << t.lines.join(QLatin1Char('\n'));
    return out;
}

PreparedReport prepare(const Template &layout, const Sources &sources)
{
    if (layout.designs.empty())
        return Builder(layout, sources).build();
    // The designs one after the other; a first pass counts the pages, so that every page knows
    // the total.
    PreparedReport result;
    result.title = layout.title;
    int total = -1;
    for (int pass = 0; pass < 2; ++pass) {
        result.pages.clear();
        for (const Template &design : layout.designs) {
            Builder builder(design, sources);
            builder.numberAfter(int(result.pages.size()), total);
            result.pages += builder.build().pages;
        }
        total = int(result.pages.size());
    }
    return result;
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
        QFont f = qtFont(t.font);
        // Points on this device at this scale: compensated for its resolution once, here.
        f.setPointSizeF(t.font.size * scale * 96.0 / dpi);
        painter.setFont(f);
        const QFontMetricsF m = metrics(t.font);
        const double lineHeight = m.lineSpacing();
        const double block = t.lines.size() * lineHeight;
        double top = t.rect.top() + Padding;
        if (t.align & Qt::AlignBottom)
            top = t.rect.bottom() - Padding - block;
        else if (t.align & Qt::AlignVCenter)
            top = t.rect.top() + (t.rect.height() - block) / 2;
        for (int i = 0; i < t.lines.size(); ++i) {
            const QRectF line(t.rect.left() + Padding, top + i * lineHeight, t.rect.width() - 2 * Padding, lineHeight);
            const QRectF device(origin + line.topLeft() * scale, line.size() * scale);
            painter.drawText(device, int((t.align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter) | Qt::TextDontClip,
                             t.lines[i]);
        }
    }
    painter.restore();
}

QByteArray PreparedReport::toJson() const
{
    QJsonArray pagesJson;
    for (const PreparedPage &p : pages) {
        QJsonArray texts, lines;
        for (const PlacedText &t : p.texts)
            texts << QJsonObject{{QStringLiteral("rect"), QJsonArray{t.rect.x(), t.rect.y(), t.rect.width(), t.rect.height()}},
                                 {QStringLiteral("lines"), QJsonArray::fromStringList(t.lines)},
                                 {QStringLiteral("font"), fontJson(t.font)},
                                 {QStringLiteral("align"), int(t.align)},
                                 {QStringLiteral("memo"), t.memo}};
        for (const QLineF &l : p.lines)
            lines << QJsonArray{l.x1(), l.y1(), l.x2(), l.y2()};
        pagesJson << QJsonObject{{QStringLiteral("size"), QJsonArray{p.size.width(), p.size.height()}},
                                 {QStringLiteral("texts"), texts},
                                 {QStringLiteral("lines"), lines}};
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), QStringLiteral("tolva-prepared-report")},
                                     {QStringLiteral("title"), title},
                                     {QStringLiteral("pages"), pagesJson}})
        .toJson(QJsonDocument::Compact);
}

PreparedReport PreparedReport::fromJson(const QByteArray &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String("tolva-prepared-report"))
        throw ReportError(QStringLiteral("这不是本程序保存的报表文件。"));
    PreparedReport r;
    r.title = o.value(QStringLiteral("title")).toString();
    for (const QJsonValue &pv : o.value(QStringLiteral("pages")).toArray()) {
        const QJsonObject po = pv.toObject();
        PreparedPage p;
        const QJsonArray size = po.value(QStringLiteral("size")).toArray();
        p.size = QSizeF(size[0].toDouble(), size[1].toDouble());
        for (const QJsonValue &tv : po.value(QStringLiteral("texts")).toArray()) {
            const QJsonObject to = tv.toObject();
            PlacedText t;
            const QJsonArray rect = to.value(QStringLiteral("rect")).toArray();
            t.rect = QRectF(rect[0].toDouble(), rect[1].toDouble(), rect[2].toDouble(), rect[3].toDouble());
            for (const QJsonValue &line : to.value(QStringLiteral("lines")).toArray())
                t.lines << line.toString();
            const QJsonObject fo = to.value(QStringLiteral("font")).toObject();
            t.font.family = fo.value(QStringLiteral("family")).toString();
            t.font.size = fo.value(QStringLiteral("size")).toDouble(10);
            t.font.bold = fo.value(QStringLiteral("bold")).toBool();
            t.font.italic = fo.value(QStringLiteral("italic")).toBool();
            t.align = Qt::Alignment(to.value(QStringLiteral("align")).toInt());
            t.memo = to.value(QStringLiteral("memo")).toString();
            p.texts << t;
        }
        for (const QJsonValue &lv : po.value(QStringLiteral("lines")).toArray()) {
            const QJsonArray l = lv.toArray();
            p.lines << QLineF(l[0].toDouble(), l[1].toDouble(), l[2].toDouble(), l[3].toDouble());
        }
        r.pages << p;
    }
    return r;
}

bool PreparedReport::save(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(toJson()) >= 0;
}

PreparedReport PreparedReport::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("无法打开报表文件 %1。").arg(path));
    return fromJson(file.readAll());
}

} // namespace tolva::report
