#include "settlement.h"

#include "methods.h"
#include "values.h"

#include "store/format.h"
#include "store/statement.h"

#include <string_view>
#include <unordered_set>

#include <cmath>

namespace tolva::settlement {

namespace {

// A text as stored (UTF-8), or null.
Text textOf(const Statement::View &v)
{
    return v.data ? Text(false, std::string(v.data, size_t(v.size))) : Text();
}

// A text column's value as stored, or null.
Text column(const Statement &s, int c)
{
    return textOf(s.view(c));
}

// A number column's value, Empty when null.
double number(const Statement &s, int c)
{
    return s.isNull(c) ? Empty : s.number(c);
}

// A date as stored: yyyy-mm-dd, null when invalid. Rows come in date order, so the text of the
// date before is kept for the next.
void addDate(BulkInsert &insert, const QDate &d)
{
    if (!d.isValid()) {
        insert.addNull();
        return;
    }
    thread_local qint64 day = 0;
    thread_local std::string text;
    if (d.toJulianDay() != day || text.empty()) {
        text = storedText(d);
        day = d.toJulianDay();
    }
    insert.add(text);
}

void addText(BulkInsert &insert, const Text &t)
{
    if (t.null)
        insert.addNull();
    else
        insert.add(t.text);
}

void addNumber(BulkInsert &insert, double v)
{
    if (std::isnan(v))
        insert.addNull();
    else
        insert.add(v);
}

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
    BulkInsert insert = store.bulkInsert(table, LineColumns);
    for (const Line &l : lines) {
        addText(insert, l.khm);
        addText(insert, l.numa);
        addDate(insert, l.datea);
        addText(insert, l.namea);
        for (int i = 1; i <= 10; ++i)
            addNumber(insert, l.a[i]);
        addDate(insert, l.dbegin);
        addDate(insert, l.dend);
        addText(insert, l.dw);
        addText(insert, l.dw1);
        insert.endRow();
    }
    insert.finish();
}

// The contract's czb rows in stored order.
QVector<Movement> readMovements(Store &store, const QString &numa)
{
    Statement read(store, QStringLiteral("select khm,numa,namea,dw,dw1,datea,a1,a4,a6,a8 from czb where numa=? "
                                         "order by rowid"));
    read.bind(0, numa);
    QVector<Movement> out;
    while (read.next()) {
        Movement m;
        m.khm = column(read, 0);
        m.numa = column(read, 1);
        m.namea = column(read, 2);
        m.dw = column(read, 3);
        m.dw1 = column(read, 4);
        const Statement::View d = read.view(5);
        m.date = storedDate(std::string_view(d.data ? d.data : "", size_t(d.size)));
        m.a1 = number(read, 6);
        m.a4 = number(read, 7);
        m.a6 = number(read, 8);
        m.a8 = number(read, 9);
        out << m;
    }
    return out;
}

Text materialChoice(const QString &material)
{
    return material.isEmpty() ? Text() : Text(material);
}

// The prices of the materials; a price that is no number throws BadValue.
Prices readPrices(Store &store)
{
    Prices prices;
    Statement read(store, QStringLiteral("select namea,dj from sp1 order by rowid"));
    while (read.next()) {
        if (!isNumber(read, 1))
            throw BadValue(priceMessage(read.text(0), read, 1));
        prices.add(read.text(0), read.isNull(1) ? Empty : read.number(1));
    }
    return prices;
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

bool preparationClearsMuch(Store &store, int many)
{
    // Counts no further than it needs to.
    return store.scalar(QStringLiteral("select count(*) from (select 1 from czb limit %1) t").arg(many + 1)).toInt() >
           many;
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
    // The rebuild counts the movements of the period as it reads them, refuses a movement it
    // cannot read, and is undone when the preparation is refused or fails after it.
    Dated dated;
    if (request.mode != DateMode::Range) {
        dated.from = request.start;
        dated.to = request.end;
    }
    struct Refused {};
    auto movements = std::make_shared<QVector<Movement>>();
    try {
        store.transaction([&] {
            rebuildMovementsInside(store, QStringList{request.numa}, progress,
                                   [&](const QString &, const QVector<Movement> &rows) { *movements = rows; },
                                   &dated);
            const QDate firstDate = QDate::fromString(QString::fromStdString(dated.first), Qt::ISODate);
            if (dated.count == 0 || !(request.end > firstDate)) {
                p.refusal = dated.count == 0 ? Refusal::NoMovements : Refusal::NoMovementsInPeriod;
                throw Refused();
            }
            p.totals = totals(store, request.numa, request.khm);
            checkOtherCharges(store, QStringLiteral("numa=:numa"), {{QStringLiteral("numa"), request.numa}});
        });
    } catch (const Refused &) {
        return p;
    }
    p.movements = std::move(movements);
    const QChar q(QLatin1Char('"'));
    p.title = QStringLiteral("现在显示的是") + q + request.khm.trimmed() + q + QStringLiteral("合同号是") + q +
              request.numa.trimmed() + q + QStringLiteral("的数据");
    return p;
}


namespace {

// Up to this many contracts the rebuild names them in its statement; a longer list reads every
// movement in contract order and passes over those of other contracts.
constexpr int NamedContracts = 500;

const QStringList CzbColumns = {QStringLiteral("khm"), QStringLiteral("datea"), QStringLiteral("numa"),
                                QStringLiteral("namea"), QStringLiteral("dw"), QStringLiteral("dw1"),
                                QStringLiteral("a1"), QStringLiteral("a4"), QStringLiteral("a6"),
                                QStringLiteral("a8")};
// The columns of czb the rebuild leaves at 0.
const QStringList CzbZeros = {QStringLiteral("a2"), QStringLiteral("a3"), QStringLiteral("a5"),
                              QStringLiteral("a7"), QStringLiteral("a9"), QStringLiteral("a10")};

void addMovement(BulkInsert &czb, const Movement &m)
{
    addText(czb, m.khm);
    addDate(czb, m.date);
    addText(czb, m.numa);
    addText(czb, m.namea);
    addText(czb, m.dw);
    addText(czb, m.dw1);
    addNumber(czb, m.a1);
    addNumber(czb, m.a4);
    addNumber(czb, m.a6);
    addNumber(czb, m.a8);
    czb.endRow();
}

void writeGroups(Store &store, const QVector<Entry> &groups)
{
    if (groups.isEmpty())
        return;
    BulkInsert keep = store.bulkInsert(QStringLiteral("czbnow1"),
                                       {QStringLiteral("namea"), QStringLiteral("datea"), QStringLiteral("dw"),
                                        QStringLiteral("dw1"), QStringLiteral("numa"), QStringLiteral("khm"),
                                        QStringLiteral("a1"), QStringLiteral("b1"), QStringLiteral("a2"),
                                        QStringLiteral("a8")});
    for (const Entry &g : groups) {
        addText(keep, g.namea);
        addText(keep, g.datea);
        addText(keep, g.dw);
        addText(keep, g.dw1);
        addText(keep, g.numa);
        addText(keep, g.khm);
        addNumber(keep, g.a1 + 0.0);
        addNumber(keep, g.b1 + 0.0);
        addNumber(keep, g.a2 + 0.0);
        addNumber(keep, g.a8 + 0.0);
        keep.endRow();
    }
    keep.finish();
}

} // namespace

void rebuildMovementsInside(Store &store, const QStringList &contracts, const Progress &progress,
                            const ContractRows &each, Dated *dated)
{
    const int n = int(contracts.size());
    // Emptying what an earlier run left can take a while: the progress starts before it.
    reportProgress(progress, 0, n);
    store.exec(QStringLiteral("delete from czbnow1"));
    store.exec(QStringLiteral("delete from czb"));
    if (contracts.isEmpty())
        return;
    const Prices prices = readPrices(store);

    QStringList numbers;
    std::unordered_set<std::string> listed;
    for (const QString &numa : contracts)
        if (listed.insert(numa.toStdString()).second)
            numbers << numa;
    const bool named = numbers.size() <= NamedContracts;

    // One statement reads the movements of every contract, contract by contract, each in stored
    // order; memory holds one contract's movements at a time, not the ledger's.
    QString sql = QStringLiteral("select namea,datea,dw,dw1,numa,khm,a1,b1,a2,a8,bl,rowid from czbnow ");
    if (named)
        sql += QStringLiteral("where numa in (") + QStringList(numbers.size(), QStringLiteral("?")).join(QLatin1Char(','))
               + QStringLiteral(") ");
    sql += QStringLiteral("order by numa,rowid");
    Statement read(store, sql);
    if (named)
        for (int i = 0; i < numbers.size(); ++i)
            read.bind(i, numbers[i]);

    BulkInsert czb = store.bulkInsert(QStringLiteral("czb"), CzbColumns, CzbZeros);
    // czbnow1 is left as the rebuild of the list's last contract leaves it.
    const std::string last = contracts.last().toStdString();
    QVector<Entry> kept;
    QVector<Entry> movements;
    if (numbers.size() == 1)
        // Room for the contract's movements at once (counted in its index), where a growing list
        // would move them again and again.
        movements.reserve(
            store.scalar(QStringLiteral("select count(*) from czbnow where numa=:numa"), {{QStringLiteral("numa"), numbers.first()}})
                .toInt());
    std::string current;
    bool reading = false;
    int begun = 0;
    auto finish = [&] {
        const Groups groups = groupMovements(movements);
        const QVector<Movement> rows = movementsPerMaterial(groups, prices);
        for (const Movement &m : rows)
            addMovement(czb, m);
        if (current == last)
            kept = lastGrouping(groups);
        if (each)
            each(QString::fromStdString(current), rows);
    };
    const bool bounded = dated && !dated->from.isNull();
    const std::string from = bounded ? storedText(dated->from) : std::string();
    const std::string to = bounded ? storedText(dated->to) : std::string();
    // The date last found right: the rows of one day are not checked again.
    std::string rightDate;
    while (read.next()) {
        const Statement::View numa = read.view(4);
        if (!numa.data)
            continue;
        const std::string_view number(numa.data, size_t(numa.size));
        if (!reading || number != current) {
            if (!named && listed.find(std::string(number)) == listed.end())
                continue;
            if (reading)
                finish();
            reading = true;
            current.assign(number);
            movements.clear();
            reportProgress(progress, begun++, n, QString::fromStdString(current));
        }
        // The columns up to bl at once.
        Statement::Value v[11];
        read.row(v, 11);
        // A value another program wrote that is no number or no date stops the rebuild.
        using Stored = Statement::Stored;
        for (int c = 6; c <= 10; ++c)
            if (v[c].stored > Stored::Number && !isNumber(read, c))
                badMovement(store, qint64(read.number(11)));
        auto value = [&](int c) { return v[c].stored == Stored::Number ? v[c].number : Empty; };
        const double a1 = value(6), b1 = value(7);
        const Statement::View date = v[1].text;
        if (!date.data || std::string_view(date.data, size_t(date.size)) != rightDate) {
            if (!isDate(read, 1))
                badMovement(store, qint64(read.number(11)));
            rightDate.assign(date.data ? date.data : "", size_t(date.size));
        }
        if (dated) {
            // Dates yyyy-mm-dd compare as their texts.
            const std::string_view d(date.data, size_t(date.size));
            if (!bounded || (d >= from && d <= to)) {
                if (dated->count++ == 0 || d < std::string_view(dated->first))
                    dated->first.assign(d);
            }
        }
        if (!(a1 > 0 || b1 > 0))
            continue; // takes part in no group
        // Made in place: an entry holds six texts.
        Entry &e = movements.emplaceBack();
        e.a1 = a1;
        e.b1 = b1;
        e.datea = textOf(date);
        e.a2 = value(8);
        e.a8 = value(9);
        e.namea = textOf(v[0].text);
        e.dw = textOf(v[2].text);
        e.dw1 = textOf(v[3].text);
        e.numa = Text(false, current);
        e.khm = textOf(v[5].text);
    }
    if (reading)
        finish();
    czb.finish();
    writeGroups(store, kept);
    reportProgress(progress, n, n);
}

void rebuildMovements(Store &store, const QStringList &contracts, const Progress &progress, const ContractRows &each)
{
    store.transaction([&] { rebuildMovementsInside(store, contracts, progress, each); });
}

Result compute(Store &store, const Request &request, const Run &run, const Progress &progress,
               QVector<Carry> *carries, const QVector<Movement> *movements)
{
    const bool period = request.mode == DateMode::Range;
    if (carries)
        carries->clear();
    store.transaction([&] {
        // A period statement knows nothing after its end.
        const QVector<Movement> rows = readingOrder(movements ? *movements : readMovements(store, request.numa), true,
                                                    period ? request.end : QDate(), materialChoice(run.singleMaterial));
        store.exec(QStringLiteral("delete from czbtem"));
        if (period)
            store.exec(QStringLiteral("delete from czbtem1"));
        if (rows.isEmpty())
            return;
        const StatementLines s = statementLines(rows, run.method, request.start, request.end, period, progress, carries);
        write(store, QStringLiteral("czbtem"), s.lines);
        if (period)
            write(store, QStringLiteral("czbtem1"), s.restricted);
        reportProgress(progress, materialCount(rows), materialCount(rows));
    });
    return period ? Result::Czbtem1 : Result::Czbtem;
}

QVector<MaterialFigures> computeForSummary(Store &store, const QString &numa, const QString &khm, Method method,
                                           const QDate &cutoff, const Progress &progress, const QString &material,
                                           bool writeRows, const QVector<Movement> *movements)
{
    // A summary as of the cut-off date knows nothing after it.
    const QVector<Movement> rows = readingOrder(movements ? *movements : readMovements(store, numa), false, cutoff,
                                                materialChoice(material));
    QVector<Line> lines;
    const QVector<MaterialFigures> figures =
        summaryFigures(rows, method, cutoff, Text(khm), writeRows ? &lines : nullptr, progress);
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
