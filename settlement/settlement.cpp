#include "settlement.h"

#include "values.h"

#include "store/format.h"
#include "store/statement.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include <cmath>
#include <limits>

namespace tolva::settlement {

namespace {

// An empty number: arithmetic on it stays empty, as an empty column does in a statement.
constexpr double Empty = std::numeric_limits<double>::quiet_NaN();

// A rent: empty or negative gives 0, anything else is rounded to cents.
double rent(double v)
{
    if (std::isnan(v) || v < 0)
        return 0.0;
    return format::round(v, 2);
}

// The rent `product` of an interval of `days` chargeable days. No days, or fewer, charge nothing,
// whatever the sign of the balance: a negative balance over negative days is not a rent owed.
double rentOver(double days, double product)
{
    return days > 0 ? rent(product) : 0.0;
}

// A text column's value as stored (UTF-8), or null. Bound and compared without conversions.
struct Text {
    bool null = true;
    std::string text;
    Text() = default;
    Text(bool isNull, std::string t) : null(isNull), text(std::move(t)) {}
    explicit Text(const QString &s) : null(s.isNull()), text(s.toStdString()) {}
    bool operator<(const Text &o) const { return null != o.null ? null : text < o.text; }
    bool operator==(const Text &o) const { return null == o.null && text == o.text; }
};

Text column(const Statement &s, int c)
{
    return {s.isNull(c), s.bytes(c)};
}

// Binds without copying: the text must outlive the statement's next run.
void bindText(Statement &s, int i, const Text &t)
{
    if (t.null)
        s.bindNull(i);
    else
        s.bindStatic(i, t.text.data(), int(t.text.size()));
}

// A stored date "yyyy-mm-dd..." read without a text conversion; invalid when empty or malformed.
QDate columnDate(const Statement &s, int c)
{
    const std::string t = s.bytes(c);
    if (t.size() < 10 || t[4] != '-' || t[7] != '-')
        return QDate();
    auto part = [&](int from, int n) {
        int v = 0;
        for (int i = from; i < from + n; ++i)
            v = v * 10 + (t[size_t(i)] - '0');
        return v;
    };
    return QDate(part(0, 4), part(5, 2), part(8, 2));
}

void bindDate(Statement &s, int i, const QDate &d)
{
    if (!d.isValid()) {
        s.bindNull(i);
        return;
    }
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    const std::string text{char('0' + y / 1000 % 10), char('0' + y / 100 % 10), char('0' + y / 10 % 10),
                           char('0' + y % 10),        '-',                      char('0' + m / 10),
                           char('0' + m % 10),        '-',                      char('0' + day / 10),
                           char('0' + day % 10)};
    s.bind(i, text);
}

// One row of czb as the methods read it.
struct Movement {
    Text khm, namea, dw, dw1;
    QDate date;
    double a1 = 0; // movement in conversion units
    double a4 = Empty; // daily price, empty when the material has none
    double a6 = 0; // movement in pieces
    double a8 = 0; // suspended days
};

// One row of czbtem/czbtem1.
struct Line {
    Text khm, numa, namea, dw, dw1;
    QDate datea, dbegin, dend;
    double a[11] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // a[1]..a[10]
    int days = 0;        // days of the interval, before the zero rule blanks them
    bool closing = false;
};

const QStringList LineColumns = {QStringLiteral("khm"),  QStringLiteral("numa"), QStringLiteral("datea"),
                                 QStringLiteral("namea"), QStringLiteral("a1"),   QStringLiteral("a2"),
                                 QStringLiteral("a3"),   QStringLiteral("a4"),   QStringLiteral("a5"),
                                 QStringLiteral("a6"),   QStringLiteral("a7"),   QStringLiteral("a8"),
                                 QStringLiteral("a9"),   QStringLiteral("a10"),  QStringLiteral("dbegin"),
                                 QStringLiteral("dend"), QStringLiteral("dw"),   QStringLiteral("dw1")};

void write(Store &store, const QString &table, const QVector<Line> &lines)
{
    if (lines.isEmpty())
        return;
    Statement insert(store, QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(table, LineColumns.join(QLatin1Char(',')),
                                     QStringList(LineColumns.size(), QStringLiteral("?")).join(QLatin1Char(','))));
    auto number = [&](int i, double v) {
        if (std::isnan(v))
            insert.bindNull(i);
        else
            insert.bind(i, v);
    };
    for (const Line &l : lines) {
        bindText(insert, 0, l.khm);
        bindText(insert, 1, l.numa);
        bindDate(insert, 2, l.datea);
        bindText(insert, 3, l.namea);
        for (int i = 1; i <= 10; ++i)
            number(3 + i, l.a[i]);
        bindDate(insert, 14, l.dbegin);
        bindDate(insert, 15, l.dend);
        bindText(insert, 16, l.dw);
        bindText(insert, 17, l.dw1);
        insert.run();
    }
}

struct Options {
    Method method = Method::StartDayFree;
    QDate end;
    bool units = true;   // copy dw and dw1 into the lines
    Text closingKhm;     // customer name written on closing rows
    bool followsAnother = false; // the material is not the first one read
};

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
        out << l;
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
    out << c;
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

// The contract's czb rows in reading order; with `upTo`, only those dated up to that day.
QVector<Movement> readMovements(Store &store, const QString &numa, const QString &material, bool sendsFirst,
                                const QDate &upTo = QDate())
{
    QString sql = QStringLiteral("select khm,namea,dw,dw1,datea,a1,a4,a6,a8 from czb where numa=?");
    if (!material.isEmpty())
        sql += QStringLiteral(" and namea=?");
    if (upTo.isValid())
        sql += QStringLiteral(" and datea<=?");
    // Within a day and material, rows with suspended days come first, then sends before returns;
    // equal rows keep their stored order.
    sql += sendsFirst ? QStringLiteral(" order by namea,datea,a8 desc,a1 desc,rowid")
                      : QStringLiteral(" order by namea,datea,a8 desc,rowid");
    Statement read(store, sql);
    int parameter = 0;
    read.bind(parameter++, numa);
    if (!material.isEmpty())
        read.bind(parameter++, material);
    if (upTo.isValid())
        bindDate(read, parameter++, upTo);
    QVector<Movement> out;
    while (read.next()) {
        Movement m;
        m.khm = column(read, 0);
        m.namea = column(read, 1);
        m.dw = column(read, 2);
        m.dw1 = column(read, 3);
        m.date = columnDate(read, 4);
        m.a1 = read.number(5);
        m.a4 = read.isNull(6) ? Empty : read.number(6);
        m.a6 = read.number(7);
        m.a8 = read.number(8);
        out << m;
    }
    return out;
}

int materialCount(const QVector<Movement> &rows)
{
    int count = 0;
    for (int i = 0; i < rows.size(); ++i)
        count += i == 0 || !(rows[i].namea == rows[i - 1].namea);
    return count;
}

// Calls f(first, count, index) for each run of rows of one material. Progress counts the materials
// begun; the caller reports the end once the lines are written.
template <class F> void forEachMaterial(const QVector<Movement> &rows, const Progress &progress, F f)
{
    const int total = materialCount(rows);
    int index = 0;
    for (int i = 0; i < rows.size();) {
        int j = i + 1;
        while (j < rows.size() && rows[j].namea == rows[i].namea)
            ++j;
        reportProgress(progress, index, total, QString::fromStdString(rows[i].namea.text));
        f(rows.constData() + i, j - i, index);
        ++index;
        i = j;
    }
}

} // namespace

QString message(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return QString();
    case Refusal::PriceMissing:
        return QStringLiteral("材料单价不能为空,请重新输入！");
    case Refusal::PeriodNotAfterStart:
        return QStringLiteral("开始日期不应该大于等于截止日期，请重新输入！");
    case Refusal::NoContract:
        return QStringLiteral("没有数据，请重新选择！");
    case Refusal::NoMovements:
        return QStringLiteral("主数据库中没有数据，无法统计！");
    case Refusal::NoMovementsInPeriod:
        return QStringLiteral("指定日期范围在数据库中没有数据，无法统计！");
    }
    return QString();
}

Totals totals(Store &store, const QString &numa, const QString &khm)
{
    const Params p{{QStringLiteral("numa"), numa}, {QStringLiteral("khm"), khm}};
    auto sum = [&](const char *table, const char *column) {
        // The sum and, in the same pass, a row whose amount is no number.
        const QString t = QLatin1String(table);
        const Rows r = store.select(QStringLiteral("select coalesce(sum(%1),0),max(case when %3 then rowid end) from %2 "
                                                   "where numa=:numa and khm=:khm")
                                        .arg(QLatin1String(column), t, moneyFault(store, t)),
                                    p);
        if (!r.rows.first()[1].isNull())
            badMoney(store, t, r.rows.first()[1].toLongLong());
        return r.rows.first()[0].toDouble();
    };
    Totals t;
    t.deposits = sum("sp3", "a1");
    t.rentReceived = sum("sp4", "a1");
    t.repairFees = sum("czb1", "a4");
    t.scrapFees = sum("czb2", "a4");
    return t;
}

Preparation prepare(Store &store, const Request &request, bool hasContract, const Progress &progress)
{
    Preparation p;
    if (const QString fault = priceFault(store); !fault.isEmpty())
        throw BadValue(fault);
    for (const auto &row : store.select(QStringLiteral("select dj from sp1")).rows) {
        if (row[0].isNull() || row[0].toDouble() == 0) {
            p.refusal = Refusal::PriceMissing;
            return p;
        }
    }
    if (!(request.end > request.start)) {
        p.refusal = Refusal::PeriodNotAfterStart;
        return p;
    }
    if (!hasContract) {
        p.refusal = Refusal::NoContract;
        return p;
    }
    QString sql = QStringLiteral("select min(datea),count(*) from czbnow where numa=:numa");
    Params params{{QStringLiteral("numa"), request.numa}};
    if (request.mode != DateMode::Range) {
        sql += QStringLiteral(" and (datea>=:d1 and datea<=:d2)");
        params.insert(QStringLiteral("d1"), request.start);
        params.insert(QStringLiteral("d2"), request.end);
    }
    const Rows first = store.select(sql, params);
    const QDate firstDate = QDate::fromString(first.rows.first()[0].toString().left(10), Qt::ISODate);
    if (first.rows.first()[1].toInt() == 0 || !(request.end > firstDate)) {
        // Movements whose date or quantities cannot be read are why there seem to be none.
        checkMovements(store, QStringLiteral("numa=:numa"), {{QStringLiteral("numa"), request.numa}});
        p.refusal = first.rows.first()[1].toInt() == 0 ? Refusal::NoMovements : Refusal::NoMovementsInPeriod;
        return p;
    }
    p.totals = totals(store, request.numa, request.khm);
    checkOtherCharges(store, QStringLiteral("numa=:numa"), {{QStringLiteral("numa"), request.numa}});
    // The rebuild refuses a movement it cannot read.
    rebuildMovements(store, request.numa, progress);
    const QChar q(QLatin1Char('"'));
    p.title = QStringLiteral("现在显示的是") + q + request.khm.trimmed() + q + QStringLiteral("合同号是") + q +
              request.numa.trimmed() + q + QStringLiteral("的数据");
    return p;
}

namespace {

// The grouping of the movements per material and day: namea, datea, dw, dw1, numa, khm.
using GroupKey = std::array<Text, 6>;

// A sum that stays null until a value that is not null is added, as SQL's sum().
struct Sum {
    bool null = true;
    double value = 0;
    // A number as stored adds; an empty value (null, or blanks) does not.
    void add(const Statement &s, int column, Statement::Stored stored)
    {
        if (stored != Statement::Stored::Number)
            return;
        null = false;
        value += s.number(column);
    }
    void add(double v)
    {
        null = false;
        value += v;
    }
};

struct Group {
    Sum a1, b1, a2, a8;
};

struct ContractGroups {
    std::map<GroupKey, Group> sends, returns;
};

} // namespace

void rebuildMovements(Store &store, const QStringList &contracts, const Progress &progress)
{
    store.transaction([&] {
        store.exec(QStringLiteral("delete from czbnow1"));
        store.exec(QStringLiteral("delete from czb"));
        if (contracts.isEmpty())
            return;

        // The price of a material: the first sp1 row of that name, letter case ignored.
        QHash<QString, double> prices;
        {
            Statement read(store, QStringLiteral("select namea,dj from sp1 order by rowid"));
            while (read.next()) {
                if (!isNumber(read, 1))
                    throw BadValue(priceMessage(read.text(0), read, 1));
                const QString key = read.text(0).toLower();
                if (!prices.contains(key))
                    prices.insert(key, read.isNull(1) ? Empty : read.number(1));
            }
        }

        Statement czb(store, QStringLiteral("insert into czb(khm,datea,numa,namea,dw,dw1,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10) "
                                            "values(?,?,?,?,?,?,?,0,0,?,0,?,0,?,0,0)"));
        auto bindSum = [](Statement &s, int i, const Sum &v, double sign = 1) {
            if (v.null)
                s.bindNull(i);
            else
                s.bind(i, sign * v.value + 0.0);
        };
        auto append = [&](const std::map<GroupKey, Group> &list, bool returns) {
            for (const auto &[key, g] : list) {
                bindText(czb, 0, key[5]);
                if (key[1].null)
                    czb.bindNull(1);
                else
                    czb.bindStatic(1, key[1].text.data(), int(qMin<size_t>(key[1].text.size(), 10)));
                bindText(czb, 2, key[4]);
                bindText(czb, 3, key[0]);
                bindText(czb, 4, key[2]);
                bindText(czb, 5, key[3]);
                bindSum(czb, 6, g.a2);
                const double price = key[0].null ? Empty
                                                 : prices.value(QString::fromStdString(key[0].text).toLower(), Empty);
                if (std::isnan(price))
                    czb.bindNull(7);
                else
                    czb.bind(7, price);
                if (returns)
                    bindSum(czb, 8, g.b1, -1);
                else
                    bindSum(czb, 8, g.a1);
                bindSum(czb, 9, g.a8);
                czb.run();
            }
        };

        // Contract by contract, so that memory holds one contract's movements, not the ledger's.
        // Each contract's rows are grouped into sends (pieces sent) and returns (pieces returned). A
        // row with both takes part in both; its net movement in conversion units counts once, with
        // the sends.
        Statement read(store, QStringLiteral("select namea,datea,dw,dw1,numa,khm,a1,b1,a2,a8,bl,rowid from czbnow "
                                             "where numa=? order by rowid"));
        // czbnow1 is left as the last contract's rebuild leaves it.
        ContractGroups g, last;
        bool lastSends = false;
        // The date last found right: the rows of one day are not parsed again.
        std::string rightDate;
        for (int i = 0; i < contracts.size(); ++i) {
            reportProgress(progress, i, int(contracts.size()), contracts[i]);
            g.sends.clear();
            g.returns.clear();
            read.reset();
            read.bind(0, contracts[i]);
            while (read.next()) {
                // A value another program wrote that is no number or no date stops the rebuild. The
                // kinds of the numbers, asked once, serve the sums too.
                using Stored = Statement::Stored;
                Stored kind[11];
                for (int c = 6; c <= 10; ++c) {
                    kind[c] = read.stored(c);
                    if (kind[c] > Stored::Number && !isNumber(read, c))
                        badMovement(store, qint64(read.number(11)));
                }
                const bool sent = kind[6] == Stored::Number && read.number(6) > 0;
                const bool returned = kind[7] == Stored::Number && read.number(7) > 0;
                if (!sent && !returned) {
                    if (!isDate(read, 1))
                        badMovement(store, qint64(read.number(11)));
                    continue;
                }
                GroupKey key;
                for (int c = 0; c < 6; ++c)
                    key[c] = column(read, c);
                if (key[1].null || key[1].text != rightDate) {
                    if (!isDate(read, 1))
                        badMovement(store, qint64(read.number(11)));
                    rightDate = key[1].text;
                }
                if (sent) {
                    Group &s = g.sends[key];
                    s.a1.add(read, 6, kind[6]);
                    s.b1.add(read, 7, kind[7]);
                    s.a2.add(read, 8, kind[8]);
                    s.a8.add(read, 9, kind[9]);
                }
                if (returned) {
                    Group &r = g.returns[key];
                    r.a1.add(read, 6, kind[6]);
                    r.b1.add(read, 7, kind[7]);
                    if (sent)
                        r.a2.add(0.0);
                    else
                        r.a2.add(read, 8, kind[8]);
                    r.a8.add(read, 9, kind[9]);
                }
            }
            if (g.sends.empty()) {
                last = ContractGroups();
                lastSends = false;
                continue;
            }
            // No customer name on the first group: the contract's rebuild ends there.
            const Text &khm = g.sends.begin()->first[5];
            if (khm.null || khm.text.empty()) {
                std::swap(last, g);
                lastSends = true;
                continue;
            }
            append(g.sends, false);
            append(g.returns, true);
            std::swap(last, g);
            lastSends = false;
        }
        const std::map<GroupKey, Group> &kept = lastSends ? last.sends : last.returns;
        if (!kept.empty()) {
            Statement keep(store, QStringLiteral("insert into czbnow1(namea,datea,dw,dw1,numa,khm,a1,b1,a2,a8) "
                                                 "values(?,?,?,?,?,?,?,?,?,?)"));
            for (const auto &[key, group] : kept) {
                for (int c = 0; c < 6; ++c)
                    bindText(keep, c, key[c]);
                bindSum(keep, 6, group.a1);
                bindSum(keep, 7, group.b1);
                bindSum(keep, 8, group.a2);
                bindSum(keep, 9, group.a8);
                keep.run();
            }
        }
        reportProgress(progress, int(contracts.size()), int(contracts.size()));
    });
}

Result compute(Store &store, const Request &request, const Run &run, const Progress &progress,
               QVector<Carry> *carries)
{
    const bool period = request.mode == DateMode::Range;
    if (carries)
        carries->clear();
    store.transaction([&] {
        // A period statement knows nothing after its end.
        const QVector<Movement> rows =
            readMovements(store, request.numa, run.singleMaterial, true, period ? request.end : QDate());
        store.exec(QStringLiteral("delete from czbtem"));
        if (period)
            store.exec(QStringLiteral("delete from czbtem1"));
        if (rows.isEmpty())
            return;
        Options o;
        o.method = Method(run.method);
        o.end = request.end;
        o.closingKhm = rows.first().khm;
        QVector<Line> lines, restricted;
        lines.reserve(rows.size() + 16);
        forEachMaterial(rows, progress, [&](const Movement *first, int n, int index) {
            o.followsAnother = index > 0;
            const QVector<Line> full = runMaterial(first, n, o);
            if (period) {
                restricted += periodRows(first, n, full, o, request.start, o.closingKhm, carries);
                lines += full.mid(trimmedFrom(full, request.start));
            } else {
                lines += full;
            }
        });
        write(store, QStringLiteral("czbtem"), lines);
        if (period)
            write(store, QStringLiteral("czbtem1"), restricted);
        reportProgress(progress, materialCount(rows), materialCount(rows));
    });
    return period ? Result::Czbtem1 : Result::Czbtem;
}

QVector<MaterialFigures> computeForSummary(Store &store, const QString &numa, const QString &khm, Method method,
                                           const QDate &cutoff, const Progress &progress, const QString &material,
                                           bool writeRows)
{
    // A summary as of the cut-off date knows nothing after it.
    const QVector<Movement> rows = readMovements(store, numa, material, false, cutoff);
    Options o;
    o.method = method;
    o.end = cutoff;
    o.units = false;
    o.closingKhm = Text(khm);
    QVector<Line> lines;
    QVector<MaterialFigures> figures;
    forEachMaterial(rows, progress, [&](const Movement *first, int n, int index) {
        o.followsAnother = index > 0;
        const QVector<Line> material = runMaterial(first, n, o);
        // As sums over the statement rows would give them: empty values add nothing.
        MaterialFigures f;
        f.namea = QString::fromStdString(first->namea.text);
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
        if (writeRows)
            lines += material;
    });
    if (!writeRows) {
        reportProgress(progress, materialCount(rows), materialCount(rows));
        return figures;
    }
    // A cancel at the very end still leaves czbtem as it was.
    store.transaction([&] {
        store.exec(QStringLiteral("delete from czbtem"));
        write(store, QStringLiteral("czbtem"), lines);
        reportProgress(progress, materialCount(rows), materialCount(rows));
    });
    return figures;
}

double totalRent(Store &store, Result result)
{
    // Every row counts, whatever customer name it carries.
    return format::round(store.scalar(QStringLiteral("select total(a5) from ") + tableName(result)).toDouble(), 2);
}

double amountDue(double totalRent, const Totals &totals, double otherCharge)
{
    if (std::isnan(otherCharge))
        otherCharge = 0;
    return totalRent - totals.deposits - totals.rentReceived + totals.repairFees + totals.scrapFees + otherCharge;
}

} // namespace tolva::settlement
