#include "contractlist.h"

#include "base/searchpattern.h"
#include "settlement/methods.h"
#include "settlement/values.h"
#include "store/dataset.h"

namespace tolva::summaries {

namespace {

QString statement(const QString &typed, Params &params)
{
    params.insert(QStringLiteral("jz"), unsettled());
    QString sql = QStringLiteral("select * from sp2 where jz=:jz");
    if (!typed.isEmpty()) {
        sql += QStringLiteral(" and ") + contractContains(QStringLiteral("g1"));
        params.insert(QStringLiteral("g1"), containsPattern(typed));
    }
    return sql;
}

} // namespace

void openUnsettled(Dataset &list, const QString &search)
{
    Params params;
    const QString sql = statement(search.trimmed(), params);
    list.close();
    list.open(sql, params);
}

QVector<Contract> unsettledContracts(Store &store, const QString &search)
{
    Params params;
    QString sql = statement(search.trimmed(), params);
    sql.replace(QLatin1String("select *"), QLatin1String("select numa,khm,jz"));
    QVector<Contract> out;
    for (const auto &row : store.select(sql, params).rows)
        out.push_back({row[0].toString(), row[1].toString(), row[2].toString()});
    return out;
}

QVector<Contract> contractsOf(const Dataset &list)
{
    QVector<Contract> out;
    const int numa = list.fieldIndex(QStringLiteral("numa"));
    const int khm = list.fieldIndex(QStringLiteral("khm"));
    const int jz = list.fieldIndex(QStringLiteral("jz"));
    out.reserve(list.rowCount());
    for (int r = 0; r < list.rowCount(); ++r)
        out.push_back({list.valueAt(r, numa).toString(), list.valueAt(r, khm).toString(), list.valueAt(r, jz).toString()});
    return out;
}

settlement::Method chosenMethod(Store &store)
{
    const int b1 = store.scalar(QStringLiteral("select b1 from srf")).toInt();
    return b1 == 1 ? settlement::Method::EndDayFree
                   : b1 == 2 ? settlement::Method::BothDays : settlement::Method::StartDayFree;
}

MoneyTotals::MoneyTotals(Store &store) : store_(store)
{
    const QString bank = QStringLiteral("银行");
    // Fees have no payment type: their rows group under an empty one. The same pass finds a row
    // whose amount is no number; it stops the run only of a contract that takes part.
    auto read = [&](const char *table, const char *column, auto add) {
        const bool typed = table[0] == 's';
        const QString t = QLatin1String(table);
        const Rows rows = store.select(
            (typed ? QStringLiteral("select numa,khm,lx,coalesce(sum(%1),0),max(case when %3 then rowid end) from %2 "
                                    "group by numa,khm,lx")
                   : QStringLiteral("select numa,khm,'',coalesce(sum(%1),0),max(case when %3 then rowid end) from %2 "
                                    "group by numa,khm"))
                .arg(QLatin1String(column), t, settlement::moneyFault(store, t)));
        for (const auto &row : rows.rows) {
            const QPair<QString, QString> contract{row[0].toString(), row[1].toString()};
            add(money_[contract], row[2].toString().trimmed() == bank, row[3].toDouble());
            if (!row[4].isNull() && !faults_.contains(contract))
                faults_.insert(contract, {t, row[4].toLongLong()});
        }
    };
    read("sp3", "a1", [](Money &m, bool isBank, double v) { (isBank ? m.depositsBank : m.depositsCash) += v; });
    read("sp4", "a1", [](Money &m, bool isBank, double v) { (isBank ? m.receivedBank : m.receivedCash) += v; });
    read("czb1", "a4", [](Money &m, bool, double v) { m.repairFees += v; });
    read("czb2", "a4", [](Money &m, bool, double v) { m.scrapFees += v; });
}

Money MoneyTotals::of(const QString &numa, const QString &khm) const
{
    const auto fault = faults_.constFind({numa, khm});
    if (fault != faults_.cend())
        settlement::badMoney(store_, fault->first, fault->second);
    return money_.value({numa, khm});
}

QString progressText(const QString &stage, int index, int count, const QString &khm)
{
    return QStringLiteral("%1 第%2/%3个合同：%4").arg(stage).arg(index + 1).arg(count).arg(khm);
}

void summariseContracts(Store &store, const QVector<Contract> &contracts, const QDate &cutoff,
                        settlement::Method method, const QString &material, const QString &table,
                        const Progress &progress, const ContractFigures &each)
{
    const int n = int(contracts.size());
    QStringList numbers;
    QHash<QString, QString> customer;
    numbers.reserve(n);
    for (const Contract &c : contracts) {
        numbers << c.numa;
        if (!customer.contains(c.numa))
            customer.insert(c.numa, c.khm);
    }
    store.exec(QStringLiteral("delete from ") + table);
    const settlement::Text chosen = material.isEmpty() ? settlement::Text() : settlement::Text(material);
    // The list's last contract's czb rows, for the working rows it leaves.
    QVector<settlement::Movement> lastRows;
    settlement::rebuildMovementsInside(
        store, numbers,
        [&](int done, int, const QString &numa) {
            // The contracts in the order they are read, and one step more for the caller's writing.
            return !progress ||
                   progress(done, n + 1,
                            done < n ? progressText(QStringLiteral("汇总"), done, n, customer.value(numa)) : QString());
        },
        [&](const QString &numa, const QVector<settlement::Movement> &rows) {
            if (numa == contracts.last().numa)
                lastRows = rows;
            // The contract's working rows as of the cut-off, in the summary's reading order.
            const QVector<settlement::MaterialFigures> figures = settlement::summaryFigures(
                settlement::readingOrder(rows, false, cutoff, chosen), method, cutoff,
                settlement::Text(customer.value(numa)));
            if (!figures.isEmpty())
                each(numa, figures);
        });
    if (n > 0) {
        // The working rows the list's last contract leaves, with its own customer name.
        const Contract &last = contracts.last();
        settlement::computeForSummary(store, last.numa, last.khm, method, cutoff, {}, material, true, &lastRows);
    }
}

} // namespace tolva::summaries
