#include "rentsummary.h"

#include "store/format.h"

namespace tolva::summaries {

Outcome runRentSummary(Store &store, const QVector<Contract> &contracts, const QDate &cutoff, settlement::Method method,
                       const QString &material, const Progress &progress)
{
    const int n = int(contracts.size());
    QStringList numbers;
    numbers.reserve(n);
    for (const Contract &c : contracts)
        numbers << c.numa;

    store.transaction([&] {
        settlement::rebuildMovements(store, numbers, [&](int done, int, const QString &) {
            return !progress || progress(done, 2 * n, done < n ? progressText(QStringLiteral("整理"), done, n,
                                                                               contracts[done].khm)
                                                               : QString());
        });
        store.exec(QStringLiteral("delete from czbhz1"));
        const MoneyTotals money(store);
        QVector<QVector<QVariant>> rows;
        for (int i = 0; i < n; ++i) {
            const Contract &c = contracts[i];
            reportProgress(progress, n + i, 2 * n, progressText(QStringLiteral("汇总"), i, n, c.khm));
            const QVector<settlement::MaterialFigures> figures =
                settlement::computeForSummary(store, c.numa, c.khm, method, cutoff, {}, material, false);
            // Nothing (of the material) on or before the cut-off date: the contract takes no part.
            if (figures.isEmpty())
                continue;
            // The whole contract's rent, whatever customer names its working rows carry.
            double rent = 0;
            for (const settlement::MaterialFigures &f : figures)
                rent += f.rent;
            rent = format::round(rent, 2);
            const Money m = money.of(c.numa, c.khm);
            rows << QVector<QVariant>{c.khm,          c.numa,         rent,           m.repairFees,
                                      m.scrapFees,    m.depositsBank, m.depositsCash, m.receivedBank,
                                      m.receivedCash, rent + m.repairFees + m.scrapFees - m.deposits() - m.received(),
                                      c.jz};
        }
        // The working tables keep the last contract's rows and its rent per customer name.
        if (n > 0) {
            const Contract &last = contracts.last();
            settlement::computeForSummary(store, last.numa, last.khm, method, cutoff, {}, material);
            store.exec(QStringLiteral("delete from czbtem1"));
            store.exec(QStringLiteral("insert into czbtem1(khm,a5) select khm,sum(a5) from czbtem group by khm"));
        }
        reportProgress(progress, 2 * n, 2 * n, QString());
        store.insertRows(QStringLiteral("czbhz1"),
                         {QStringLiteral("khm"), QStringLiteral("numa"), QStringLiteral("a1"), QStringLiteral("a2"),
                          QStringLiteral("a3"), QStringLiteral("a4"), QStringLiteral("a5"), QStringLiteral("a6"),
                          QStringLiteral("a7"), QStringLiteral("a8"), QStringLiteral("a9")},
                         rows);
    });
    return Outcome::done();
}

} // namespace tolva::summaries
