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

    // What the run keeps of each contract that takes part: per material column its quantity on
    // hire and price, and the rent of the whole contract.
    struct Figures {
        double quantity[MaterialColumns] = {};
        double price[MaterialColumns] = {};
        double rent = 0;
    };
    const int n = int(contracts.size());
    store.transaction([&] {
        QHash<QString, Figures> found;
        summariseContracts(store, contracts, cutoff, method, QString(), QStringLiteral("czbhz"), progress,
                           [&](const QString &numa, const QVector<settlement::MaterialFigures> &figures) {
            // The whole contract: a material's quantity and rent add up over every customer name
            // its working rows carry. The price is that of the material's first priced row.
            Figures &f = found[numa];
            bool priced[MaterialColumns] = {};
            double rent = 0;
            for (const settlement::MaterialFigures &m : figures) {
                const int k = position.value(m.namea.toLower(), -1);
                if (k < 0)
                    continue; // not a material of sp1: neither a column nor rent
                if (k < MaterialColumns) {
                    f.quantity[k] += m.quantity;
                    if (!priced[k] && m.price != 0) {
                        priced[k] = true;
                        f.price[k] = m.price;
                    }
                }
                rent += m.rent;
            }
            f.rent = format::round(rent, 2);
        });
        // The working tables keep the last contract's rows per material and name.
        store.exec(QStringLiteral("delete from czbtem1"));
        store.exec(QStringLiteral("insert into czbtem1(namea,khm,a1,a5) "
                                  "select namea,khm,sum(a1),sum(a5) from czbtem group by namea,khm"));
        const MoneyTotals money(store);
        BulkInsert rows = store.bulkInsert(QStringLiteral("czbhz"), czbhzColumns());
        // One row a contract that took part, in the order of the list.
        for (const Contract &c : contracts) {
            const auto f = found.constFind(c.numa);
            if (f == found.cend())
                continue;
            const Money m = money.of(c.numa, c.khm);
            rows.add(c.khm);
            rows.add(c.numa);
            rows.add(m.deposits());
            rows.add(c.jz);
            rows.add(m.repairFees);
            rows.add(m.scrapFees);
            double daily = 0;
            for (int k = 0; k < MaterialColumns; ++k) {
                rows.add(f->quantity[k] + 0.0);
                daily += f->quantity[k] * f->price[k];
            }
            for (int k = 0; k < MaterialColumns; ++k)
                rows.add(f->price[k]);
            rows.add(daily);
            rows.add(f->rent);
            rows.add(m.received());
            rows.add(f->rent - m.received() - m.deposits() + m.repairFees + m.scrapFees);
            rows.endRow();
        }
        rows.finish();
        reportProgress(progress, n + 1, n + 1, QString());
    });
    return Outcome::done();
}

} // namespace tolva::summaries
