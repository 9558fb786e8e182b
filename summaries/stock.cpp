#include "stock.h"

#include "base/searchpattern.h"
#include "settlement/values.h"
#include "store/store.h"

namespace tolva {

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

} // namespace

void compute(Store &store)
{
    // Per unsettled contract and material the pieces times ratio, then summed per material. A
    // contract whose sent quantity is empty for the material does not count at all.
    store.transaction([&] {
        const Params open{{QStringLiteral("open"), QStringLiteral("否")}};
        checkOpeningStock(store);
        settlement::checkMovements(store, QStringLiteral("numa in (select numa from sp2 where jz=:open)"), open);
        // The grouped pass runs once: both columns read its sums per material.
        store.exec(QStringLiteral(
                       "with x as (select namea, sum(a1) as a1, sum(coalesce(b1,0)) as b1 "
                       "  from (select numa, namea, sum(a1*bl) as a1, sum(b1*bl) as b1 from czbnow "
                       "        where numa in (select numa from sp2 where jz=:open) group by numa, namea) y "
                       "  where y.a1 is not null group by namea) "
                       "update sp1 set kc=coalesce(kc,0), "
                       "kc1=coalesce((select x.a1 from x where x.namea=sp1.namea),0), "
                       "kc2=coalesce((select x.b1 from x where x.namea=sp1.namea),0)"),
                   open);
        store.exec(QStringLiteral("update sp1 set nowkc=kc-kc1+kc2"));
    });
}

int countBalances(Store &store, const Contracts &contracts)
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
    int rows = 0;
    store.transaction([&] {
        settlement::checkMovements(store, QStringLiteral("numa in (select k.numa from sp2 k ") + where + QLatin1Char(')'),
                                   params);
        store.exec(QStringLiteral("delete from czbtem"));
        // Every customer name a contract's movements carry is a group of its own, so no pieces on
        // hire drop out of the list.
        store.exec(QStringLiteral(
                       "insert into czbtem(khm,namea,a1,a2,a3) "
                       "select c.khm, c.namea, c.a1, c.b1, coalesce(c.a1,0)-coalesce(c.b1,0) "
                       "from (select numa, namea, khm, sum(a1*bl) as a1, sum(b1*bl) as b1 from czbnow "
                       "      group by numa, namea, khm) c "
                       "join sp1 m on m.namea=c.namea join sp2 k on k.numa=c.numa ")
                       + where + QStringLiteral(" order by m.rowid, k.rowid, c.khm"),
                   params);
        rows = store.scalar(QStringLiteral("select count(*) from czbtem where khm<>''")).toInt();
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

int compute(Store &store, const Choice &typed)
{
    const Choice choice = normalised(typed);
    QString sql;
    switch (choice.grouping) {
    case Grouping::Detail:
        // Each movement is a row of its own with its own converted quantities: two equal slips of one
        // day are two rows, not one row with doubled quantities.
        sql = QStringLiteral("insert into czbnow1(namea,datea,gg,dw,dw1,bl,a1,b1,numa,khm,a2,b2,a3,a4) "
                             "select namea,datea,gg,dw,dw1,bl,a1,b1,numa,khm,a1*bl,b1*bl,"
                             "coalesce(a1,0)-coalesce(b1,0),coalesce(a1*bl,0)-coalesce(b1*bl,0) from czbnow ");
        break;
    case Grouping::PerCustomer:
        sql = QStringLiteral("insert into czbnow1(gg,numa,khm,namea,dw,dw1,a1,b1,a2,b2,a3,a4) "
                             "select gg,numa,khm,namea,dw,dw1,sum(a1),sum(b1),sum(a1*bl),sum(b1*bl),")
              + Balances + QStringLiteral(" from czbnow ");
        break;
    case Grouping::PerSize:
        sql = QStringLiteral("insert into czbnow1(gg,namea,dw,dw1,a1,b1,a2,b2,a3,a4) "
                             "select gg,namea,dw,dw1,sum(a1),sum(b1),sum(a1*bl),sum(b1*bl),")
              + Balances + QStringLiteral(" from czbnow ");
        break;
    }
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
    if (!where.isEmpty())
        sql += QStringLiteral("where ") + where.join(QStringLiteral(" and "));
    switch (choice.grouping) {
    case Grouping::Detail:
        sql += QStringLiteral(" order by rowid");
        break;
    case Grouping::PerCustomer:
        sql += QStringLiteral(" group by gg,numa,khm,namea,dw,dw1");
        break;
    case Grouping::PerSize:
        sql += QStringLiteral(" group by gg,namea,dw,dw1");
        break;
    }
    int rows = 0;
    store.transaction([&] {
        settlement::checkMovements(store, where.join(QStringLiteral(" and ")), params);
        store.exec(QStringLiteral("delete from czbnow1"));
        store.exec(sql, params);
        rows = store.scalar(QStringLiteral("select count(*) from czbnow1")).toInt();
        // Rows without a material name are movements typed incompletely: nothing to list.
        if (store.scalar(QStringLiteral("select count(*) from czbnow1 where coalesce(namea,'')<>''")).toInt() == 0)
            rows = 0;
    });
    return rows;
}

} // namespace details

} // namespace tolva
