#include "textmetrics.h"

#include "expression.h"
#include "store/dataset.h"
#include "store/format.h"

#include <QRegularExpression>

#include <map>
#include <memory>
#include <unordered_map>

// Laying a template out over its result sets into prepared pages.
namespace tolva::report {

namespace {

// Lines of a text in a width: at line breaks, and with word wrap wherever the width ends
// (between words where there are spaces, between any two characters otherwise).
QStringList wrap(const QString &text, const Font &font, double width, bool wordWrap)
{
    // Most texts are one line: no split for them.
    const QStringList paragraphs =
        text.contains(QLatin1Char('\n')) ? text.split(QLatin1Char('\n')) : QStringList{text};
    if (!wordWrap)
        return paragraphs;
    const Metrics &m = metrics(font);
    QStringList lines;
    for (const QString &paragraph : paragraphs) {
        if (m.width(paragraph) <= width) { // the usual case: the text fits
            lines << paragraph;
            continue;
        }
        QString line;
        for (int i = 0; i < paragraph.size(); ++i) {
            const QString candidate = line + paragraph[i];
            if (!line.isEmpty() && m.width(candidate) > width) {
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

// Rows [from, to) of the master result set that a sum adds up.
struct RowRange {
    int from = 0;
    int to = 0;
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
            c.parts = partsOf(m.text);
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
        groupStart_.assign(size_t(groupHeaders_.size()), 0);
    }

    // Numbers the pages from after `before` earlier ones, out of `total` when that is known.
    void numberAfter(int before, int total)
    {
        numbered_ = true;
        firstPage_ = before;
        knownTotal_ = total;
    }

    PreparedReport build()
    {
        PreparedReport result;
        result.title = t_.title;
        // A design among several is counted by the passes over all of them.
        passes_ = t_.page.doublePass && !numbered_ ? 2 : 1;
        for (pass_ = 0; pass_ < passes_; ++pass_) {
            pages_.clear();
            run();
            totalPages_ = int(pages_.size());
        }
        result.pages = pages_;
        // Screens print the title the company chose (e.g. of deposits or of rent received from one
        // template): that text names the report.
        if (!t_.titleMemo.isEmpty() && !pages_.isEmpty())
            for (const PlacedText &text : pages_.first().texts)
                if (text.memo.compare(t_.titleMemo, Qt::CaseInsensitive) == 0) {
                    const QString printed = text.lines.join(QLatin1Char(' ')).simplified();
                    if (!printed.isEmpty())
                        result.title = printed;
                    break;
                }
        return result;
    }

    // Scope
    QVariant column(const Node &node) override
    {
        auto found = columns_.find(&node);
        if (found == columns_.end())
            found = columns_.emplace(&node, Resolved{node.reference()}).first;
        Resolved &c = found->second;
        if (auto v = ask(c.reference))
            return *v;
        if (!c.dataset) // looked up once it is read: the hook may answer a name no result set has
            resolve(node, c);
        return c.dataset->valueAt(c.dataset->currentRow(), c.field);
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

    // A sum adds its expression over the rows of the band being placed (the group's rows in a group
    // footer, all rows in a master footer or the summary, the rows so far elsewhere), wherever the
    // expression stands: in a memo, in a variable, in a text the value hook gave a memo.
    QVariant sum(const Node &node) override
    {
        if (summing_)
            return evaluate(*node.args[0], *this); // a sum inside a sum adds the row's own value
        const int from = qBound(0, range_.from, rows_);
        const int to = qBound(from, range_.to, rows_);
        // Sums are asked again and again for the same rows (a row's height, then its texts) and over
        // growing ranges (running totals): carry on from the last answer.
        RowRange &done = sumCache_[{&node, from}].first;
        double &total = sumCache_[{&node, from}].second;
        if (done.from != from || done.to > to) {
            done = {from, from};
            total = 0;
        }
        if (done.to < to) {
            const int savedRow = row_;
            summing_ = true;
            try {
                for (int r = done.to; r < to; ++r) {
                    moveRow(r);
                    total += toNumber(evaluate(*node.args[0], *this));
                }
            } catch (...) {
                summing_ = false;
                moveRow(savedRow);
                done = {from, from};
                total = 0;
                throw;
            }
            summing_ = false;
            moveRow(savedRow);
            done.to = to;
        }
        return total;
    }

private:
    // A column reference as found once: the name the hook is asked, the result set and the field.
    struct Resolved {
        QString reference;
        Dataset *dataset = nullptr;
        int field = -1;
    };

    void resolve(const Node &node, Resolved &r) const
    {
        const QString key = node.window.isEmpty() ? node.dataset : node.window + QLatin1Char('.') + node.dataset;
        for (auto it = sources_.datasets.constBegin(); it != sources_.datasets.constEnd(); ++it)
            if (it.key().compare(key, Qt::CaseInsensitive) == 0)
                r.dataset = it.value();
        if (!r.dataset)
            throw ReportError(QStringLiteral("报表数据集 %1 不存在。").arg(key));
        r.field = r.dataset->fieldIndex(node.column);
        if (r.field < 0) {
            r.dataset = nullptr;
            throw ReportError(QStringLiteral("报表数据集 %1 中没有字段 %2。").arg(key, node.column));
        }
    }

    // Parsed once per text, so every expression node lives as long as the builder.
    const std::vector<TextPart> &partsOf(const QString &text)
    {
        auto it = parsed_.find(text);
        if (it == parsed_.end())
            it = parsed_.emplace(text, splitText(text)).first;
        return it->second;
    }

    void moveRow(int row)
    {
        row_ = row;
        if (data_ && row >= 0 && row < data_->rowCount())
            data_->moveTo(row);
    }

    // The rows a sum covers while one band is placed; page headers and footers placed in between see
    // the rows placed so far.
    class Scoped {
    public:
        Scoped(RowRange &range, RowRange value) : range_(range), saved_(range) { range_ = value; }
        ~Scoped() { range_ = saved_; }

    private:
        RowRange &range_;
        RowRange saved_;
    };

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
                    const auto &parts = partsOf(QLatin1Char('[') + m.captured(2).trimmed() + QLatin1Char(']'));
                    MemoState none;
                    current_ = &none;
                    b.height = parts.empty() || !parts.front().expression
                                   ? 0.0
                                   : qMax(0.0, toNumber(evaluate(*parts.front().expression, *this)));
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
            out = evaluateParts(partsOf(state.text));
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
            const Metrics &m = metrics(c.memo.font);
            if (c.memo.autoSize && !c.memo.wordWrap) {
                double widest = 0;
                if (!s.contains(QLatin1Char('\n')))
                    widest = m.width(s);
                else
                    for (const QString &line : s.split(QLatin1Char('\n')))
                        widest = qMax(widest, m.width(line));
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

    // Lays a band out and places it; returns its height.
    double put(int index, double x, double y)
    {
        std::vector<Placed> placed;
        const double height = layoutBand(index, placed);
        place(placed, x, y);
        return height;
    }

    void place(const std::vector<Placed> &placed, double x, double y)
    {
        for (const Placed &p : placed) {
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

    int indexOf(const Band *b) const { return b ? int(b - bands_.data()) : -1; }

    void startPage()
    {
        Scoped placed(range_, {0, done_});
        page_ = PreparedPage();
        page_.size = QSizeF(t_.page.width(), t_.page.height());
        y_ = t_.page.marginTop;
        if (const Band *h = bandOf(BandType::PageHeader))
            y_ += put(indexOf(h), 0, y_);
        columnTop_ = y_;
        column_ = 0;
        startColumn();
        lowest_ = y_;
        const Band *footer = bandOf(BandType::PageFooter);
        bottom_ = t_.page.height() - t_.page.marginBottom - (footer ? footer->height : 0);
    }

    void startColumn()
    {
        y_ = columnTop_;
        hasData_ = false;
        if (const Band *h = bandOf(BandType::ColumnHeader))
            y_ += put(indexOf(h), columnOffset(), y_);
    }

    double columnOffset() const { return column_ * (columnWidth() + t_.page.columnGap); }

    void finishPage()
    {
        Scoped placed(range_, {0, done_});
        if (const Band *f = bandOf(BandType::PageFooter))
            put(indexOf(f), 0, t_.page.height() - t_.page.marginBottom - f->height);
        pages_ << page_;
    }

    // Places a band in the flow, moving to the next column or page when it does not fit; a band
    // taller than an empty page is placed once anyway.
    void flow(int index, bool inColumns = true)
    {
        std::vector<Placed> placed;
        double height = layoutBand(index, placed);
        if (!inColumns)
            y_ = qMax(y_, lowest_); // below every column of the page
        if (y_ + height > bottom_ && hasData_) {
            if (inColumns && column_ + 1 < t_.page.columns) {
                ++column_;
                startColumn();
            } else {
                finishPage();
                startPage();
            }
            // Laid out again where it lands: a page number or the rows so far may have changed.
            placed.clear();
            height = layoutBand(index, placed);
        }
        place(placed, inColumns ? columnOffset() : 0, y_);
        y_ += height;
        lowest_ = qMax(lowest_, y_);
        hasData_ = true;
    }

    QVariant groupKey(int header)
    {
        const QString expression = bands_[size_t(header)].group;
        if (expression.trimmed().isEmpty())
            return QVariant();
        MemoState none;
        current_ = &none;
        const auto &parts = partsOf(expression);
        QString key;
        for (const TextPart &p : parts)
            key += p.expression ? render(evaluate(*p.expression, *this), QString()) : p.literal;
        current_ = nullptr;
        return key;
    }

    void run()
    {
        sumCache_.clear();
        done_ = 0;
        range_ = {};
        data_ = master();
        rows_ = (data_ && t_.bandOf(BandType::MasterData)) ? data_->rowCount() : 0;
        const int saved = data_ ? data_->currentRow() : -1;
        struct Restore {
            Dataset *data;
            int row;
            ~Restore()
            {
                if (data && row >= 0)
                    data->moveTo(row);
            }
        } restore{data_, saved};
        applyScript();
        const Band *masterBand = bandOf(BandType::MasterData);
        startPage();
        for (int r = 0; r < rows_; ++r) {
            if (sources_.progress && !sources_.progress(pass_ * rows_ + r, passes_ * rows_, t_.title))
                throw Stopped{};
            moveRow(r);
            for (int level = 0; level < int(groupHeaders_.size()); ++level) {
                const QVariant key = groupKey(groupHeaders_[level]);
                bool starts = r == 0;
                if (!starts) {
                    moveRow(r - 1);
                    starts = groupKey(groupHeaders_[level]) != key;
                    moveRow(r);
                }
                if (starts) {
                    groupStart_[size_t(level)] = r;
                    Scoped rows(range_, {0, done_});
                    flow(groupHeaders_[level]);
                }
            }
            {
                Scoped rows(range_, {0, r + 1});
                flow(indexOf(masterBand));
            }
            done_ = r + 1;
            // A group ends at the last row or where the next row's key differs.
            for (int level = int(groupFooters_.size()) - 1; level >= 0; --level) {
                if (level >= int(groupHeaders_.size()))
                    continue;
                const QVariant key = groupKey(groupHeaders_[level]);
                bool ends = r == rows_ - 1;
                if (!ends) {
                    moveRow(r + 1);
                    ends = groupKey(groupHeaders_[level]) != key;
                    moveRow(r);
                }
                if (ends) {
                    Scoped rows(range_, {groupStart_[size_t(level)], r + 1});
                    flow(groupFooters_[level]);
                }
            }
        }
        {
            Scoped rows(range_, {0, rows_});
            if (const Band *f = bandOf(BandType::MasterFooter))
                flow(indexOf(f));
            if (const Band *s = bandOf(BandType::ReportSummary))
                flow(indexOf(s), false);
        }
        if (data_ && saved >= 0)
            moveRow(saved);
        finishPage();
        if (sources_.progress && !sources_.progress((pass_ + 1) * rows_, passes_ * rows_, t_.title))
            throw Stopped{};
    }

    const Template &t_;
    const Sources &sources_;
    std::vector<CompiledMemo> memos_;
    std::map<QString, std::shared_ptr<Node>> variables_;
    QList<int> groupHeaders_, groupFooters_;
    std::map<QString, std::vector<TextPart>> parsed_;
    std::unordered_map<const Node *, Resolved> columns_;
    std::map<std::pair<const Node *, int>, std::pair<RowRange, double>> sumCache_;
    std::vector<int> groupStart_;
    RowRange range_;
    Dataset *data_ = nullptr;
    int rows_ = 0;
    int done_ = 0;
    bool summing_ = false;
    std::vector<Band> bands_;
    QList<PreparedPage> pages_;
    PreparedPage page_;
    MemoState *current_ = nullptr;
    int totalPages_ = 0;
    int pass_ = 0, passes_ = 1;
    bool numbered_ = false;
    int firstPage_ = 0;
    int knownTotal_ = -1;
    int row_ = -1;
    int column_ = 0;
    double y_ = 0, bottom_ = 0, columnTop_ = 0;
    double lowest_ = 0; // the bottom of the longest column on the page
    bool hasData_ = false;
};

} // namespace

PreparedReport prepare(const Template &layout, const Sources &sources)
{
    if (layout.designs.empty())
        return Builder(layout, sources).build();
    // The designs one after the other; a first pass counts the pages, so that every page knows
    // the total. The progress runs once from start to end over both passes of every design.
    PreparedReport result;
    const int steps = 2 * int(layout.designs.size());
    int step = 0;
    Sources each = sources;
    if (sources.progress)
        each.progress = [&sources, &step, steps](int done, int total, const QString &what) {
            constexpr int unit = 1000;
            const int part = total > 0 ? int(qint64(qBound(0, done, total)) * unit / total) : unit;
            return sources.progress(step * unit + part, steps * unit, what);
        };
    int total = -1;
    for (int pass = 0; pass < 2; ++pass) {
        result.pages.clear();
        for (const Template &design : layout.designs) {
            Builder builder(design, each);
            builder.numberAfter(int(result.pages.size()), total);
            PreparedReport part = builder.build();
            if (result.pages.isEmpty())
                result.title = part.title.isEmpty() ? layout.title : part.title;
            result.pages += part.pages;
            ++step;
        }
        total = int(result.pages.size());
    }
    if (result.title.isEmpty())
        result.title = layout.title;
    return result;
}

} // namespace tolva::report
