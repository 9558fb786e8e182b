#pragma once

#include "store/store.h"

#include <QDate>
#include <QStringList>

namespace tolva {

// Writes a small ledger straight into the tables: materials with their daily price, contracts and
// movements of one unit per piece ("yyyy-mm-dd material sent returned [customer]").
struct Ledger {
    Store &store;

    void materials(const QStringList &names, double price = 1.0)
    {
        for (const QString &n : names)
            store.exec("insert into sp1(namea,dj,numsb) values(:n,:dj,2)", {{"n", n}, {"dj", price}});
    }
    void contract(const QString &numa, const QString &khm, const QString &jz = QStringLiteral("否"))
    {
        store.exec("insert into sp2(khm,numa,jz) values(:khm,:numa,:jz)", {{"khm", khm}, {"numa", numa}, {"jz", jz}});
    }
    void moves(const QString &numa, const QString &khm, const QStringList &lines)
    {
        for (const QString &line : lines) {
            const QStringList f = line.split(' ', Qt::SkipEmptyParts);
            const double sent = f[2].toDouble(), back = f[3].toDouble();
            store.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
                       "values(:khm,:numa,:d,:n,'G1','根','米',1,:a1,:b1,:a2,0)",
                       {{"khm", f.size() > 4 ? f[4] : khm}, {"numa", numa}, {"d", QDate::fromString(f[0], Qt::ISODate)},
                        {"n", f[1]}, {"a1", sent}, {"b1", back}, {"a2", sent - back}});
        }
    }
    // A payment row: table sp3 (deposits) or sp4 (rent received), with its type.
    void paid(const char *table, const QString &numa, const QString &khm, const QString &lx, double amount)
    {
        store.exec(QStringLiteral("insert into %1(khm,numa,datea,lx,a1) values(:khm,:numa,'2004-03-01',:lx,:a1)")
                       .arg(QLatin1String(table)),
                   {{"khm", khm}, {"numa", numa}, {"lx", lx}, {"a1", amount}});
    }
    // A repair fee (czb1) or scrap compensation (czb2).
    void fee(const char *table, const QString &numa, const QString &khm, double amount)
    {
        store.exec(QStringLiteral("insert into %1(khm,numa,a4) values(:khm,:numa,:a4)").arg(QLatin1String(table)),
                   {{"khm", khm}, {"numa", numa}, {"a4", amount}});
    }
    void method(int b1) { store.exec("update srf set b1=:b1", {{"b1", b1}}); }
};

} // namespace tolva
