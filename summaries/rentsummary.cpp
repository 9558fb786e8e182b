#include "rentsummary.h"

#include "store/format.h"

namespace tolva::summaries {

Outcome runRentSummary(Store &store, const QVector<Contract> &contracts, const QDate &cutoff, settlement::Method method,
                       const QString &material, const Progress &progress)
{
    const int n = int(contracts.size());
    store.transaction([&] {
        // The whole contract's rent, whatever customer names its working rows carry.
        QHash<QString, double> rents;
        summariseContracts(store, contracts, cutoff, method, material, QStringLiteral("czbhz1"), progress,
                           [&](const QString &numa, const QVector<settlement::MaterialFigures> &figures) {
            double rent = 0;
            for (const settlement::MaterialFigures &f : figures)
                rent += f.rent;
            rents.insert(numa, format::round(rent, 2));
        });
        // The working tables keep the last contract's rows and its rent per customer name.
        if (n > 0) {
            store.exec(QStringLiteral("delete from czbtem1"));
            store.exec(QStringLiteral("insert into czbtem1(khm,a5) select khm,sum(a5) from czbtem group by khm"));
        }
        const MoneyTotals money(store);
        BulkInsert rows = store.bulkInsert(
            QStringLiteral("czbhz1"), {QStringLiteral("khm"), QStringLiteral("numa"), QStringLiteral("a1"),
                                       QStringLiteral("a2"), QStringLiteral("a3"), QStringLiteral("a4"),
                                       QStringLiteral("a5"), QStringLiteral("a6"), QStringLiteral("a7"),
                                       QStringLiteral("a8"), QStringLiteral("a9")});
        // One row a contract that took part, in the order of the list.
        for (const Contract &c : contracts) {
            const auto found = rents.constFind(c.numa);
            if (found == rents.cend())
                continue;
            const double rent = *found;
            const Money m = money.of(c.numa, c.khm);
            rows.add(c.khm);
            rows.add(c.numa);
            for (double v : {rent, m.repairFees, m.scrapFees, m.depositsBank, m.depositsCash, m.receivedBank,
                             m.receivedCash, rent + m.repairFees + m.scrapFees - m.deposits() - m.received()})
                rows.add(v);
            rows.add(c.jz);
            rows.endRow();
        }
        rows.finish();
        reportProgress(progress, n + 1, n + 1, QString());
    });
    return Outcome::done();
}

} // namespace tolva::summaries
