#include "rentsummary.h"

#include "store/format.h"

namespace tolva::summaries {

Outcome runRentSummary(Store &store, const QVector<Contract> &contracts, const QDate &cutoff, settlement::Method method,
                       const QString &material, const Progress &progress)
{
    const int n = int(contracts.size());
    store.transaction([&] {
        QVector<QVector<QVariant>> rows;
        summariseContracts(store, contracts, cutoff, method, material, QStringLiteral("czbhz1"), progress,
                           [&](const Contract &c, const QVector<settlement::MaterialFigures> &figures, const Money &m) {
            // The whole contract's rent, whatever customer names its working rows carry.
            double rent = 0;
            for (const settlement::MaterialFigures &f : figures)
                rent += f.rent;
            rent = format::round(rent, 2);
            rows << QVector<QVariant>{c.khm,          c.numa,         rent,           m.repairFees,
                                      m.scrapFees,    m.depositsBank, m.depositsCash, m.receivedBank,
                                      m.receivedCash, rent + m.repairFees + m.scrapFees - m.deposits() - m.received(),
                                      c.jz};
        });
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
