#include "distribution.h"

#include "store/format.h"

#include <cmath>

namespace tolva::summaries {

namespace {

constexpr int MaterialColumns = 15;

const QStringList &czbhzColumns()
{
    static const QStringList columns = [] {
        QStringList c{QStringLiteral("khm"), QStringLiteral("numa"), QStringLiteral("a0"), QStringLiteral("tem1"),
                      QStringLiteral("tem2"), QStringLiteral("tem4")};
        for (int k = 1; k <= MaterialColumns; ++k)
            c << QStringLiteral("a%1").arg(k);
        for (int k = 1; k <= MaterialColumns; ++k)
            c << QStringLiteral("b%1").arg(k);
        c << QStringLiteral("a20") << QStringLiteral("a21") << QStringLiteral("a22") << QStringLiteral("a23");
        return c;
    }();
    return columns;
}

} // namespace

QStringList summaryMaterials(Store &store)
{
    QStringList names;
    for (const auto &row : store.select(QStringLiteral("select namea from sp1 order by rowid")).rows)
        names << row[0].toString();
    return names;
}

Outcome runDistribution(Store &store, const QVector<Contract> &contracts, const QDate &cutoff,
                        settlement::Method method, const Progress &progress)
{
    if (contracts.isEmpty())
        return Outcome::refused(QStringLiteral("没有单位名称,无法统计！"));

    // A material is matched to its column by name, letter case ignored, the first of that name.
    const QStringList materials = summaryMaterials(store);
    QHash<QString, int> position;
    for (int k = 0; k < materials.size(); ++k)
        if (!position.contains(materials[k].toLower()))
            position.insert(materials[k].toLower(), k);

    const int n = int(contracts.size());
    store.transaction([&] {
        QVector<QVector<QVariant>> rows;
        summariseContracts(store, contracts, cutoff, method, QString(), QStringLiteral("czbhz"), progress,
                           [&](const Contract &c, const QVector<settlement::MaterialFigures> &figures, const Money &m) {
            // The whole contract: a material's quantity and rent add up over every customer name
            // its working rows carry. The price is that of the material's first priced row.
            double quantity[MaterialColumns] = {};
            double price[MaterialColumns] = {};
            bool priced[MaterialColumns] = {};
            double rent = 0;
            for (const settlement::MaterialFigures &f : figures) {
                const int k = position.value(f.namea.toLower(), -1);
                if (k < 0)
                    continue; // not a material of sp1: neither a column nor rent
                if (k < MaterialColumns) {
                    quantity[k] += f.quantity;
                    if (!priced[k] && f.price != 0) {
                        priced[k] = true;
                        price[k] = f.price;
                    }
                }
                rent += f.rent;
            }
            rent = format::round(rent, 2);

            QVector<QVariant> row{c.khm, c.numa, m.deposits(), c.jz, m.repairFees, m.scrapFees};
            double daily = 0;
            for (int k = 0; k < MaterialColumns; ++k) {
                row << quantity[k] + 0.0;
                daily += quantity[k] * price[k];
            }
            for (int k = 0; k < MaterialColumns; ++k)
                row << price[k];
            row << daily << rent << m.received() << rent - m.received() - m.deposits() + m.repairFees + m.scrapFees;
            rows << row;
        });
        // The working tables keep the last contract's rows, per row and per material and name.
        const Contract &last = contracts.last();
        settlement::computeForSummary(store, last.numa, last.khm, method, cutoff);
        store.exec(QStringLiteral("delete from czbtem1"));
        store.exec(QStringLiteral("insert into czbtem1(namea,khm,a1,a5) "
                                  "select namea,khm,sum(a1),sum(a5) from czbtem group by namea,khm"));
        reportProgress(progress, 2 * n, 2 * n, QString());
        store.insertRows(QStringLiteral("czbhz"), czbhzColumns(), rows);
    });
    return Outcome::done();
}

} // namespace tolva::summaries
