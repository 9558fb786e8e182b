#include "methods.h"

#include "store/format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tolva::settlement {

double rent(double v)
{
    if (std::isnan(v) || v < 0)
        return 0.0;
    return format::round(v, 2);
}

double rentOver(double days, double product)
{
    return days > 0 ? rent(product) : 0.0;
}

namespace {

// Adds to a sum that stays empty until a number is added, as SQL's sum().
void add(double &sum, double v)
{
    if (std::isnan(v))
        return;
    sum = (std::isnan(sum) ? 0.0 : sum) + v;
}

// The key of a group (namea, datea, dw, dw1, numa, khm) with each text replaced by its place in
// the order of its field's values, null first: comparing keys compares numbers, not texts.
using Key = std::array<int, 6>;

struct Keys {
    QVector<Key> places; // null is -1
    // When they fit, each movement's places packed into one number, namea's highest, with room
    // below for the movement's index; otherwise empty.
    std::vector<quint64> packed;
    int indexBits = 0;
};

// The bits that hold the numbers 0 to n.
int bitsFor(quint64 n)
{
    int bits = 0;
    while (n >> bits)
        ++bits;
    return bits;
}

Keys keys(const QVector<Entry> &movements)
{
    static constexpr const Text Entry::*Fields[6] = {&Entry::namea, &Entry::datea, &Entry::dw,
                                                     &Entry::dw1,   &Entry::numa,  &Entry::khm};
    const int n = int(movements.size());
    Keys k;
    k.places.resize(n);
    int widths[6] = {};
    for (int f = 0; f < 6; ++f) {
        // Each value's number in the order first met; the movement before often has the same.
        std::unordered_map<std::string_view, int> known;
        std::vector<std::string_view> values;
        const Text *before = nullptr;
        int number = -1;
        for (int i = 0; i < n; ++i) {
            const Text &t = movements[i].*Fields[f];
            if (t.null)
                number = -1;
            else if (!before || before->null || before->text != t.text) {
                const auto [place, added] = known.try_emplace(t.text, int(values.size()));
                if (added)
                    values.push_back(t.text);
                number = place->second;
            }
            k.places[i][size_t(f)] = number;
            before = &t;
        }
        // Numbers in the order met become places in the order of the texts.
        std::vector<int> order(values.size());
        for (size_t v = 0; v < order.size(); ++v)
            order[v] = int(v);
        std::sort(order.begin(), order.end(), [&](int x, int y) { return values[size_t(x)] < values[size_t(y)]; });
        std::vector<int> place(values.size());
        for (size_t r = 0; r < order.size(); ++r)
            place[size_t(order[r])] = int(r);
        for (Key &key : k.places)
            if (key[size_t(f)] >= 0)
                key[size_t(f)] = place[size_t(key[size_t(f)])];
        widths[f] = bitsFor(values.size()); // places 0..size with null as 0
    }
    k.indexBits = bitsFor(quint64(n));
    int total = k.indexBits;
    for (int w : widths)
        total += w;
    if (total <= 64) {
        k.packed.resize(size_t(n));
        for (int i = 0; i < n; ++i) {
            quint64 p = 0;
            for (int f = 0; f < 6; ++f)
                p = (p << widths[f]) | quint64(k.places[i][size_t(f)] + 1);
            k.packed[size_t(i)] = p << k.indexBits;
        }
    }
    return k;
}

// The groups of the chosen movements in key order, each movement's numbers added as `take` gives
// them; movements of the same key are taken in the order given.
template <class Take>
QVector<Entry> grouped(const QVector<Entry> &movements, const Keys &keys, QVector<int> chosen, Take take)
{
    const QVector<Key> &key = keys.places;
    if (!keys.packed.empty()) {
        std::vector<quint64> order;
        order.reserve(size_t(chosen.size()));
        for (int i : chosen)
            order.push_back(keys.packed[size_t(i)] | quint64(i));
        std::sort(order.begin(), order.end());
        const quint64 index = (quint64(1) << keys.indexBits) - 1;
        for (int j = 0; j < chosen.size(); ++j)
            chosen[j] = int(order[size_t(j)] & index);
    } else {
        std::sort(chosen.begin(), chosen.end(),
                  [&](int x, int y) { return key[x] != key[y] ? key[x] < key[y] : x < y; });
    }
    QVector<Entry> out;
    out.reserve(chosen.size());
    int last = -1;
    for (int i : chosen) {
        const Entry &m = movements[i];
        if (last < 0 || key[last] != key[i]) {
            Entry &g = out.emplaceBack();
            g.namea = m.namea;
            g.datea = m.datea;
            g.dw = m.dw;
            g.dw1 = m.dw1;
            g.numa = m.numa;
            g.khm = m.khm;
        }
        take(out.last(), m);
        last = i;
    }
    return out;
}


double orZero(double v)
{
    return std::isnan(v) ? 0.0 : v;
}

} // namespace

QDate storedDate(std::string_view s)
{
    if (s.size() < 10 || s[4] != '-' || s[7] != '-')
        return QDate();
    auto part = [&](int from, int n) {
        int v = 0;
        for (int i = from; i < from + n; ++i)
            v = v * 10 + (s[size_t(i)] - '0');
        return v;
    };
    return QDate(part(0, 4), part(5, 2), part(8, 2));
}

std::string storedText(const QDate &d)
{
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    return {char('0' + y / 1000 % 10), char('0' + y / 100 % 10), char('0' + y / 10 % 10), char('0' + y % 10), '-',
            char('0' + m / 10),        char('0' + m % 10),        '-',                     char('0' + day / 10),
            char('0' + day % 10)};
}

Groups groupMovements(const QVector<Entry> &movements)
{
    QVector<int> sent, returned;
    for (int i = 0; i < movements.size(); ++i) {
        const Entry &m = movements[i];
        // An empty number is no number above 0.
        if (m.a1 > 0)
            sent << i;
        if (m.b1 > 0)
            returned << i;
    }
    const Keys key = keys(movements);
    Groups g;
    g.sends = grouped(movements, key, sent, [](Entry &s, const Entry &m) {
        add(s.a1, m.a1);
        add(s.b1, m.b1);
        add(s.a2, m.a2);
        add(s.a8, m.a8);
    });
    g.returns = grouped(movements, key, returned, [](Entry &r, const Entry &m) {
        add(r.a1, m.a1);
        add(r.b1, m.b1);
        // A movement that also sent counts its converted quantity with the sends.
        add(r.a2, m.a1 > 0 ? 0.0 : m.a2);
        add(r.a8, m.a8);
    });
    return g;
}

const QVector<Entry> &lastGrouping(const Groups &groups)
{
    static const QVector<Entry> none;
    if (groups.sends.isEmpty())
        return none;
    return groups.sends.first().khm.empty() ? groups.sends : groups.returns;
}

void Prices::add(const QString &material, double price)
{
    const QString key = material.toLower();
    if (!byName_.contains(key))
        byName_.insert(key, price);
    seen_.clear();
}

double Prices::of(const Text &material) const
{
    if (material.null)
        return Empty;
    const auto known = seen_.find(material.text);
    if (known != seen_.end())
        return known->second;
    const double price = byName_.value(QString::fromStdString(material.text).toLower(), Empty);
    seen_.emplace(material.text, price);
    return price;
}

QVector<Movement> movementsPerMaterial(const Groups &groups, const Prices &prices)
{
    QVector<Movement> out;
    // No customer name on the first send group: the contract's rebuild ends there.
    if (groups.sends.isEmpty() || groups.sends.first().khm.empty())
        return out;
    out.reserve(groups.sends.size() + groups.returns.size());
    auto append = [&](const QVector<Entry> &list, bool returns) {
        for (const Entry &g : list) {
            Movement &m = out.emplaceBack();
            m.khm = g.khm;
            m.numa = g.numa;
            m.namea = g.namea;
            m.dw = g.dw;
            m.dw1 = g.dw1;
            m.date = g.datea.null ? QDate() : storedDate(g.datea.text);
            m.a1 = g.a2 + 0.0;
            m.a4 = prices.of(g.namea);
            m.a6 = returns ? -g.b1 + 0.0 : g.a1 + 0.0;
            m.a8 = g.a8 + 0.0;
        }
    };
    append(groups.sends, false);
    append(groups.returns, true);
    return out;
}

QVector<Movement> readingOrder(const QVector<Movement> &rows, bool sendsFirst, const QDate &upTo, const Text &material)
{
    QVector<int> kept;
    kept.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const Movement &m = rows[i];
        if (upTo.isValid() && !(m.date <= upTo))
            continue;
        if (!material.null && m.namea != material)
            continue;
        kept << i;
    }
    // Descending with empty numbers last, as the embedded engine sorts them.
    auto before = [](double x, double y) { return !std::isnan(x) && (std::isnan(y) || x > y); };
    auto less = [&](int i, int j) {
        const Movement &x = rows[i], &y = rows[j];
        if (x.namea != y.namea)
            return x.namea < y.namea;
        if (x.date != y.date)
            return x.date < y.date;
        if (before(x.a8, y.a8) || before(y.a8, x.a8))
            return before(x.a8, y.a8);
        return sendsFirst && before(x.a1, y.a1);
    };
    // The rebuild's rows come as two runs mostly in this order already, the sends and the returns:
    // merging two ordered runs keeps equal rows as stored, as the stable sort does.
    const auto second = std::is_sorted_until(kept.begin(), kept.end(), less);
    if (std::is_sorted(second, kept.end(), less))
        std::inplace_merge(kept.begin(), second, kept.end(), less);
    else
        std::stable_sort(kept.begin(), kept.end(), less);
    QVector<Movement> out;
    out.reserve(kept.size());
    for (int i : kept) {
        Movement &m = out.emplaceBack(rows[i]);
        m.a1 = orZero(m.a1);
        m.a6 = orZero(m.a6);
        m.a8 = orZero(m.a8);
    }
    return out;
}

namespace {

// A statement line of a movement: its names, units (when copied) and date.
Line lineOf(const Movement &r, const Options &o)
{
    Line l;
    l.khm = r.khm;
    l.numa = l.namea = r.namea;
    if (o.units) {
        l.dw = r.dw;
        l.dw1 = r.dw1;
    }
    l.datea = r.date;
    return l;
}

// Methods 0 and 1 over the movements of one material: a row per movement charging the balance
// before it for the days since the previous movement, then a closing row to the end.
QVector<Line> runWithClosing(const Movement *rows, int n, const Options &o)
{
    QVector<Line> out;
    out.reserve(n + 1);
    double balance = 0, pieces = 0, running = 0;
    QDate start = rows[0].date;
    for (int i = 0; i < n; ++i) {
        const Movement &r = rows[i];
        balance += r.a1;
        pieces += r.a6;
        Line l = lineOf(r, o);
        l.dbegin = start;
        l.dend = r.date;
        l.a[1] = r.a1;
        l.a[2] = balance;
        l.a[4] = r.a4;
        l.a[6] = r.a6;
        l.a[8] = r.a8;
        l.a[7] = pieces;
        l.days = int(start.daysTo(r.date));
        l.a[3] = l.days;
        l.a[5] = rentOver(l.a[3] - l.a[8], (l.a[2] - l.a[1]) * (l.a[3] - l.a[8]) * l.a[4]);
        l.a[9] = l.a[2] * l.a[4];
        if (l.a[5] <= 0 && l.a[8] == 0) {
            l.a[5] = 0;
            l.a[3] = 0;
            l.a[4] = 0;
        }
        start = r.date;
        l.a[10] = running + l.a[5];
        running = l.a[10];
        out << std::move(l);
    }
    const Movement &last = rows[n - 1];
    Line c = lineOf(last, o);
    c.closing = true;
    c.khm = o.closingKhm;
    c.datea = o.end;
    c.dbegin = start;
    c.dend = o.end;
    c.a[4] = last.a4;
    c.a[2] = balance;
    c.a[7] = pieces;
    c.days = int(start.daysTo(o.end)) + (o.method == Method::EndDayFree ? 1 : 0);
    c.a[3] = c.days;
    c.a[5] = rentOver(c.a[3], c.a[2] * c.a[3] * c.a[4]);
    c.a[10] = running + c.a[5];
    c.a[1] = c.a[6] = c.a[8] = c.a[9] = Empty;
    out << std::move(c);
    return out;
}

// Method 2 over the movements of one material: each row charges the balance after its movement
// over an interval counting both ends; a return day goes at the old balance, a send day at the new.
QVector<Line> runBothDays(const Movement *rows, int n, const Options &o)
{
    QVector<Line> out(n);
    for (int i = 0; i < n; ++i) {
        const Movement &r = rows[i];
        Line &l = out[i];
        l = lineOf(r, o);
        l.a[1] = r.a1;
        l.a[4] = r.a4;
        l.a[2] = r.a1;
        l.a[6] = r.a6;
        l.dbegin = r.date;
        l.dend = i + 1 < n ? rows[i + 1].date : o.end;
    }
    for (int i = 0; i < n; ++i) {
        if (i == 0 && !o.followsAnother)
            continue;
        if (out[i].a[1] < 0)
            out[i].dbegin = out[i].dbegin.addDays(1);
        if (i > 0 && out[i].a[1] > 0)
            out[i - 1].dend = out[i - 1].dend.addDays(-1);
    }
    double balance = 0, pieces = 0, running = 0;
    for (Line &l : out) {
        l.days = int(l.dbegin.daysTo(l.dend)) + 1;
        l.a[3] = l.days;
        balance += l.a[2];
        l.a[2] = balance;
        l.a[5] = rentOver(l.a[3], l.a[3] * l.a[4] * l.a[2]);
        l.a[9] = l.a[2] * l.a[4];
        l.a[10] = running + l.a[5];
        running = l.a[10];
        l.a[7] = pieces + l.a[6];
        pieces = l.a[7];
    }
    return out;
}

} // namespace

QVector<Line> runMaterial(const Movement *rows, int n, const Options &o)
{
    return o.method == Method::BothDays ? runBothDays(rows, n, o) : runWithClosing(rows, n, o);
}

// The rows of one material in a period statement: a brought-forward row, a row carrying the
// balance from the period start to the first movement of the period when the material was on
// hire before, and a row per movement of the period running to the next movement or the end.
// Each material's rents add up to its rent up to the end less its rent up to the day before the
// start, both computed by the method.
QVector<Line> periodRows(const Movement *rows, int n, const QVector<Line> &full, const Options &o,
                         const QDate &start, const Text &customer, QVector<Carry> *carries)
{
    int before = 0; // movements before the period start
    while (before < n && rows[before].date < start)
        ++before;
    const bool closing = o.method != Method::BothDays;
    const Line &material = full.last();
    const double price = material.a[4];

    QVector<Line> out;
    Line bf;
    bf.khm = customer;
    bf.namea = Text(false, "上期结存");
    bf.numa = material.namea;
    bf.datea = bf.dbegin = bf.dend = QDate();
    bf.a[2] = before > 0 ? full[before - 1].a[2] : 0.0;
    bf.a[7] = before > 0 ? full[before - 1].a[7] : 0.0;
    out << bf;

    auto periodLine = [&](const Line &from, const QDate &date) {
        Line l;
        l.khm = from.khm;
        l.numa = l.namea = material.namea;
        l.dw = material.dw;
        l.dw1 = material.dw1;
        l.datea = date;
        l.dbegin = date;
        l.a[4] = price;
        return l;
    };

    if (before > 0) {
        Options upToStart = o;
        upToStart.end = start.addDays(-1);
        const QVector<Line> earlier = runMaterial(rows, before, upToStart);
        // The interval that holds the period start, as charged up to the end and up to the day before.
        const Line &straddling = closing ? full[before] : full[before - 1];
        const Line &charged = earlier.last();
        Line carry = periodLine(straddling, start);
        carry.khm = customer;
        carry.dend = straddling.dend;
        carry.a[1] = 0;
        carry.a[6] = 0;
        carry.a[2] = bf.a[2];
        carry.a[7] = bf.a[7];
        carry.days = closing ? straddling.days - charged.days : qMax(0, int(start.daysTo(straddling.dend)) + 1);
        carry.a[3] = carry.days;
        carry.a[5] = format::round(straddling.a[5] - charged.a[5], 2);
        carry.a[8] = closing ? (straddling.closing ? 0.0 : straddling.a[8]) : Empty;
        carry.a[9] = carry.a[2] * price;
        if (carry.days != 0 || carry.a[5] != 0 || before == n) {
            out << carry;
            if (carries)
                *carries << Carry{QString::fromStdString(material.namea.text), start,
                                  closing && !straddling.closing ? straddling.a[2] - straddling.a[1]
                                                                 : straddling.a[2],
                                  double(straddling.days), straddling.closing ? 0.0 : straddling.a[8],
                                  double(charged.days)};
        }
    }

    for (int i = before; i < n; ++i) {
        const Line &m = full[i];
        // Under methods 0 and 1 the days after a movement are charged on the next row (or the closing
        // row); under method 2 on the movement's own row.
        const Line &charge = closing ? full[i + 1] : m;
        Line l = periodLine(m, m.datea);
        if (!closing)
            l.khm = customer; // one customer per statement, whatever name a movement was entered under
        l.a[1] = m.a[1];
        l.a[6] = m.a[6];
        l.a[2] = m.a[2];
        l.a[7] = m.a[7];
        l.dbegin = closing ? m.datea : m.dbegin;
        l.dend = charge.dend;
        l.days = charge.days;
        l.a[3] = charge.days;
        l.a[5] = charge.a[5];
        // Method 2 has no suspended days: its rows leave them empty rather than print a zero.
        l.a[8] = closing ? (charge.closing ? 0.0 : charge.a[8]) : Empty;
        l.a[9] = l.a[2] * price;
        out << l;
    }

    double running = 0;
    for (Line &l : out) {
        running += l.a[5];
        l.a[10] = format::round(running, 2);
    }
    return out;
}

// Where a material's lines start to matter for a period beginning at `start`: the lines dated
// on the start, or else the last one before it, and all later ones are kept in czbtem.
int trimmedFrom(const QVector<Line> &lines, const QDate &start)
{
    int onStart = -1, before = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].datea == start && onStart < 0)
            onStart = i;
        if (lines[i].datea < start)
            before = i;
    }
    if (onStart >= 0)
        return onStart;
    return before >= 0 ? before : 0;
}

int materialCount(const QVector<Movement> &rows)
{
    int count = 0;
    for (int i = 0; i < rows.size(); ++i)
        count += i == 0 || !(rows[i].namea == rows[i - 1].namea);
    return count;
}

namespace {

// Calls f(first, count, index) for each run of rows of one material. Progress counts the materials
// begun; the caller reports the end once the lines are written.
template <class F> void forEachMaterial(const QVector<Movement> &rows, const Progress &progress, F f)
{
    const int total = progress ? materialCount(rows) : 0;
    int index = 0;
    for (int i = 0; i < rows.size();) {
        int j = i + 1;
        while (j < rows.size() && rows[j].namea == rows[i].namea)
            ++j;
        if (progress)
            reportProgress(progress, index, total, rows[i].namea.toString());
        f(rows.constData() + i, j - i, index);
        ++index;
        i = j;
    }
}

} // namespace

StatementLines statementLines(const QVector<Movement> &rows, Method method, const QDate &start, const QDate &end,
                              bool period, const Progress &progress, QVector<Carry> *carries)
{
    StatementLines out;
    if (rows.isEmpty())
        return out;
    Options o;
    o.method = method;
    o.end = end;
    o.closingKhm = rows.first().khm;
    out.lines.reserve(rows.size() + 16);
    forEachMaterial(rows, progress, [&](const Movement *first, int n, int index) {
        o.followsAnother = index > 0;
        QVector<Line> full = runMaterial(first, n, o);
        if (period) {
            out.restricted += periodRows(first, n, full, o, start, o.closingKhm, carries);
            out.lines += full.mid(trimmedFrom(full, start));
        } else {
            out.lines += std::move(full);
        }
    });
    return out;
}

QVector<MaterialFigures> summaryFigures(const QVector<Movement> &rows, Method method, const QDate &cutoff,
                                        const Text &khm, QVector<Line> *lines, const Progress &progress)
{
    Options o;
    o.method = method;
    o.end = cutoff;
    o.units = false;
    o.closingKhm = khm;
    QVector<MaterialFigures> figures;
    forEachMaterial(rows, progress, [&](const Movement *first, int n, int index) {
        o.followsAnother = index > 0;
        const QVector<Line> material = runMaterial(first, n, o);
        // As sums over the statement rows would give them: empty values add nothing.
        MaterialFigures f;
        f.namea = first->namea.toString();
        bool priced = false;
        for (const Line &l : material) {
            if (!std::isnan(l.a[1]))
                f.quantity += l.a[1];
            if (!std::isnan(l.a[5]))
                f.rent += l.a[5];
            if (!priced && !std::isnan(l.a[4]) && l.a[4] != 0) {
                priced = true;
                f.price = l.a[4];
            }
        }
        figures << f;
        if (lines)
            *lines += material;
    });
    return figures;
}

} // namespace tolva::settlement
