#include "stock.h"

#include "base/searchpattern.h"
#include "settlement/values.h"
#include "store/dataset.h"
#include "store/parts.h"
#include "store/store.h"

namespace tolva {

namespace {

// One bar over the two parts of a count over the ledger: the check of the movements it reads,
// when the check reads them, then the count. No part but the first starts the bar at 0 again, so
// that the progress dialog keeps its clock.
class Parts {
public:
    explicit Parts(const Progress &progress) : progress_(progress) {}
    Progress check()
    {
        if (!progress_)
            return {};
        return [this](int done, int total, const QString &what) {
            checked_ = true;
            return progress_(scaled(done, total, 0, CheckShare), Steps, what);
        };
    }
    void count(int done, int total, const QString &what = QStringLiteral("正在统计……")) const
    {
        if (progress_)
            reportProgress(progress_, scaled(done, total, checked_ ? CheckShare : 0, Steps), Steps, what);
    }

private:
    static constexpr int Steps = 1000, CheckShare = 300;
    static int scaled(int done, int total, int from, int to)
    {
        return total <= 0 ? from : from + int(qint64(to - from) * qBound(0, done, total) / total);
    }
    Progress progress_;
    bool checked_ = false;
};

// The contracts of a count a part of `perPart` at a time: each part from its first contract number
// up to the next part's first, in the store's order, the first part open below and the last open
// above, so that each contract falls in one part; a movement's contract is found through its
// index on either engine.
QVector<QPair<QVariant, QVariant>> contractRanges(Store &store, const QString &contracts, const Params &params,
                                                  int perPart)
{
    const int PerPart = qMax(1, perPart);
    QStringList numbers;
    for (const auto &row : store.select(QStringLiteral("select distinct numa from (") + contracts +
                                            QStringLiteral(") k where numa is not null order by numa"),
                                        params)
                               .rows)
        numbers << row[0].toString();
    QVector<QPair<QVariant, QVariant>> ranges;
    for (int i = 0; i < numbers.size(); i += PerPart) {
        const int end = qMin(int(numbers.size()), i + PerPart) - 1;
        ranges.append({i == 0 ? QVariant() : QVariant(numbers[i]),
                       end == numbers.size() - 1 ? QVariant() : QVariant(numbers[end + 1])});
    }
    return ranges;
}

// The condition that a table's numa is one of `contracts` in a part of contractRanges(), its
// bounds named in `params`: the movements are found through their index by the part's contracts.
QString inPart(const QString &contracts, const QPair<QVariant, QVariant> &range, Params &params)
{
    QStringList parts;
    if (!range.first.isNull()) {
        parts << QStringLiteral("numa >= :numaFrom");
        params.insert(QStringLiteral("numaFrom"), range.first);
    }
    if (!range.second.isNull()) {
        parts << QStringLiteral("numa < :numaBefore");
        params.insert(QStringLiteral("numaBefore"), range.second);
    }
    return QStringLiteral("numa in (select numa from (") + contracts + QStringLiteral(") part") +
           (parts.isEmpty() ? QString() : QStringLiteral(" where ") + parts.join(QStringLiteral(" and "))) +
           QLatin1Char(')');
}

} // namespace

namespace stock {

namespace {

// The opening stock of a material is read as a number.
void checkOpeningStock(Store &store)
{
    Statement read(store, QStringLiteral("select namea,kc from sp1 where ") + store.notANumber(QStringLiteral("kc")) +
                              QStringLiteral(" order by rowid limit 1"));
    if (read.next())
        throw settlement::BadValue(QStringLiteral("材料%1：库存期初数“%2”不是有效的数值。")
                                       .arg(read.text(0).trimmed(), settlement::shown(read, 1)));
}

// Refills czbtem1 with the pieces times ratio sent (a1) and returned (a2) per `group` (columns of
// czbnow starting with numa, namea) over the movements of `contracts`, a part of them at a time;
// the number of parts.
int sumInParts(Store &store, const Parts &parts, const QString &contracts, const Params &params, int partSize,
               const QString &group)
{
    store.exec(QStringLiteral("delete from czbtem1"));
    const auto ranges = contractRanges(store, contracts, params, partSize);
    for (int i = 0; i < ranges.size(); ++i) {
        parts.count(i, int(ranges.size()));
        Params part = params;
        store.exec(QStringLiteral("insert into czbtem1(%1, a1, a2) select %1, sum(a1*bl), sum(b1*bl) from czbnow where ")
                           .arg(group) +
                       inPart(contracts, ranges[i], part) + QStringLiteral(" group by ") + group,
                   part);
    }
    return int(ranges.size());
}

} // namespace

void open(Store &store, Dataset &rows, const Progress &progress, const PartSizes &sizes)
{
    // Per unsettled contract and material the pieces times ratio, a part of the contracts at a
    // time into czbtem1, then summed per material. A contract whose sent quantity is empty for
    // the material does not count at all.
    const Params open{{QStringLiteral("open"), QStringLiteral("否")}};
    const QString unsettled = QStringLiteral("select numa from sp2 where jz=:open");
    Parts parts(progress);
    store.transaction([&] {
        checkOpeningStock(store);
        settlement::checkMovements(store, QStringLiteral("numa in (") + unsettled + QLatin1Char(')'), open, parts.check());
        const int n = sumInParts(store, parts, unsettled, open, sizes.contracts, QStringLiteral("numa, namea"));
        parts.count(n, n);
    });
    rows.close();
    rows.open(QStringLiteral(
        "select m.namea, coalesce(m.kc,0) as kc, coalesce(s.kc1,0) as kc1, coalesce(s.kc2,0) as kc2, "
        "coalesce(m.kc,0)-coalesce(s.kc1,0)+coalesce(s.kc2,0) as nowkc from sp1 m left join "
        "(select x.namea, sum(x.a1) as kc1, sum(coalesce(x.a2,0)) as kc2 from czbtem1 x "
        " where x.a1 is not null group by x.namea) s on s.namea=m.namea order by m.rowid"));
}

int countBalances(Store &store, const Contracts &contracts, const Progress &progress, const PartSizes &sizes)
{
    QString where;
    Params params;
    if (!contracts.search.trimmed().isEmpty()) {
        // The search's own statement lists settled contracts too.
        where = QStringLiteral("where ") + contractContains(QStringLiteral("p"), QStringLiteral("k"));
        params.insert(QStringLiteral("p"), containsPattern(contracts.search));
    } else if (contracts.unsettledOnly) {
        where = QStringLiteral("where k.jz=:open");
        params.insert(QStringLiteral("open"), QStringLiteral("否"));
    }
    const QString listed = QStringLiteral("select k.numa from sp2 k ") + where;
    Parts parts(progress);
    int rows = 0;
    store.transaction([&] {
        settlement::checkMovements(store, QStringLiteral("numa in (") + listed + QLatin1Char(')'), params, parts.check());
        store.exec(QStringLiteral("delete from czbtem"));
        // The sums per contract, material and customer name, a part of the contracts at a time
        // into czbtem1; then into czbtem in the order of the list.
        const int n = sumInParts(store, parts, listed, params, sizes.contracts, QStringLiteral("numa, namea, khm"));
        // Every customer name a contract's movements carry is a group of its own, so no pieces on
        // hire drop out of the list.
        store.exec(QStringLiteral(
                       "insert into czbtem(khm,namea,a1,a2,a3) "
                       "select c.khm, c.namea, c.a1, c.a2, coalesce(c.a1,0)-coalesce(c.a2,0) from czbtem1 c "
                       "join sp1 m on m.namea=c.namea join sp2 k on k.numa=c.numa ")
                       + where + QStringLiteral(" order by m.rowid, k.rowid, c.khm"),
                   params);
        store.exec(QStringLiteral("delete from czbtem1"));
        rows = store.scalar(QStringLiteral("select count(*) from czbtem where khm<>''")).toInt();
        parts.count(n, n);
    });
    return rows;
}

QString balanceStatement(int order)
{
    return QStringLiteral("select * from czbtem where khm<>'' order by ")
           + (order == 1 ? QStringLiteral("namea") : QStringLiteral("khm"));
}

} // namespace stock

namespace details {

Choice normalised(Choice choice)
{
    if (choice.customers == Customers::Selected && choice.grouping == Grouping::PerSize)
        choice.grouping = Grouping::PerCustomer;
    return choice;
}

// The balances in pieces and in the material's unit, computed with the sums.
const QString Balances = QStringLiteral(
    "coalesce(sum(a1),0)-coalesce(sum(b1),0), coalesce(sum(a1*bl),0)-coalesce(sum(b1*bl),0)");

int compute(Store &store, const Choice &typed, const Progress &progress, const PartSizes &sizes)
{
    const Choice choice = normalised(typed);
    Params params;
    QStringList where;
    if (choice.customers == Customers::Selected) {
        where << QStringLiteral("numa=:numa");
        params.insert(QStringLiteral("numa"), choice.numa);
    }
    if (choice.materials == Materials::One) {
        where << QStringLiteral("namea=:m");
        params.insert(QStringLiteral("m"), choice.material);
    }
    // Over all customers the movements are read a part at a time (ranges of their row identity),
    // so that the count shows how far it got; sums per customer or size are summed again over
    // the parts' sums at the end.
    const bool inParts = choice.customers == Customers::All;
    const QString inPart = QStringLiteral("rowid >= :rowidFrom and rowid <= :rowidTo");
    const QString filter = [&] {
        QStringList all = where;
        if (inParts)
            all << inPart;
        return all.isEmpty() ? QString() : QStringLiteral(" where ") + all.join(QStringLiteral(" and "));
    }();
    QString sql;
    switch (choice.grouping) {
    case Grouping::Detail:
        // Each movement is a row of its own with its own converted quantities: two equal slips of one
        // day are two rows, not one row with doubled quantities.
        sql = QStringLiteral("insert into czbnow1(namea,datea,gg,dw,dw1,bl,a1,b1,numa,khm,a2,b2,a3,a4) "
                             "select namea,datea,gg,dw,dw1,bl,a1,b1,numa,khm,a1*bl,b1*bl,"
                             "coalesce(a1,0)-coalesce(b1,0),coalesce(a1*bl,0)-coalesce(b1*bl,0) from czbnow") +
              filter + QStringLiteral(" order by rowid");
        break;
    case Grouping::PerCustomer:
        sql = inParts ? QStringLiteral("insert into czbnow1(gg,numa,khm,namea,dw,dw1,a1,b1,a2,b2) "
                                       "select gg,numa,khm,namea,dw,dw1,sum(a1),sum(b1),sum(a1*bl),sum(b1*bl) from czbnow")
                      : QStringLiteral("insert into czbnow1(gg,numa,khm,namea,dw,dw1,a1,b1,a2,b2,a3,a4) "
                                       "select gg,numa,khm,namea,dw,dw1,sum(a1),sum(b1),sum(a1*bl),sum(b1*bl),") +
                                Balances + QStringLiteral(" from czbnow");
        sql += filter + QStringLiteral(" group by gg,numa,khm,namea,dw,dw1");
        break;
    case Grouping::PerSize:
        sql = QStringLiteral("insert into czbnow1(gg,namea,dw,dw1,a1,b1,a2,b2) "
                             "select gg,namea,dw,dw1,sum(a1),sum(b1),sum(a1*bl),sum(b1*bl) from czbnow") +
              filter + QStringLiteral(" group by gg,namea,dw,dw1");
        break;
    }
    // The parts' sums summed again, as one grouped pass over the movements sums them.
    const auto regroup = [&](const QString &keys) {
        const QString last = store.scalar(QStringLiteral("select max(rowid) from czbnow1")).toString();
        if (last.isEmpty())
            return;
        const Params staged{{QStringLiteral("last"), last.toLongLong()}};
        store.exec(QStringLiteral("insert into czbnow1(%1,a1,b1,a2,b2,a3,a4) select %1,sum(a1),sum(b1),sum(a2),sum(b2),"
                                  "coalesce(sum(a1),0)-coalesce(sum(b1),0),coalesce(sum(a2),0)-coalesce(sum(b2),0) "
                                  "from czbnow1 where rowid <= :last group by %1")
                       .arg(keys),
                   staged);
        store.exec(QStringLiteral("delete from czbnow1 where rowid <= :last"), staged);
    };
    Parts parts(progress);
    int rows = 0;
    store.transaction([&] {
        settlement::checkMovements(store, where.join(QStringLiteral(" and ")), params, parts.check());
        store.exec(QStringLiteral("delete from czbnow1"));
        if (!inParts) {
            store.exec(sql, params);
        } else {
            const auto ranges = rowidRanges(store, QStringLiteral("czbnow"), sizes.movements);
            for (int i = 0; i < ranges.size(); ++i) {
                parts.count(i, int(ranges.size()));
                Params part = params;
                part.insert(QStringLiteral("rowidFrom"), ranges[i].first);
                part.insert(QStringLiteral("rowidTo"), ranges[i].second);
                store.exec(sql, part);
            }
            if (choice.grouping == Grouping::PerCustomer)
                regroup(QStringLiteral("gg,numa,khm,namea,dw,dw1"));
            else if (choice.grouping == Grouping::PerSize)
                regroup(QStringLiteral("gg,namea,dw,dw1"));
            parts.count(int(ranges.size()), int(ranges.size()));
        }
        rows = store.scalar(QStringLiteral("select count(*) from czbnow1")).toInt();
        // Rows without a material name are movements typed incompletely: nothing to list.
        if (store.scalar(QStringLiteral("select 1 from czbnow1 where coalesce(namea,'')<>'' limit 1")).isNull())
            rows = 0;
    });
    return rows;
}

} // namespace details

} // namespace tolva
