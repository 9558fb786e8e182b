#include "contractrules.h"

#include "store/dataset.h"
#include "store/store.h"

namespace tolva::contracts {

namespace {

// The tables that copy a contract's number and customer name.
const char *const CopyTables[] = {"czb1", "czb2", "czbnow", "sp4", "sp3"};

int count(Store &store, const QString &sql, const Params &params)
{
    return store.scalar(sql, params).toInt();
}

} // namespace

Outcome save(Store &store, Dataset &contracts, const Change &change)
{
    if (!(change.end > change.begin))
        return Outcome::refused(QStringLiteral("开始日期不应该大于等于截止日期，请重新输入！"), QStringLiteral("d1"));
    const QString khm = change.khm.trimmed();
    const QString numa = change.numa.trimmed();
    if (khm.isEmpty() || numa.isEmpty())
        return Outcome::refused(QStringLiteral("没有输入数据，无法保存！"),
                                khm.isEmpty() ? QStringLiteral("khm") : QStringLiteral("numa"));

    const QString oldNuma = change.oldNuma.trimmed();
    const QString oldKhm = change.oldKhm.trimmed();
    if (!change.adding) {
        // The period must hold the movements already entered under the contract's stored number.
        const Params period{{QStringLiteral("g1"), oldNuma}, {QStringLiteral("g2"), change.begin},
                            {QStringLiteral("g3"), change.end}};
        if (count(store, QStringLiteral("select count(*) from czbnow where numa=:g1 and datea<:g2"), period) > 0)
            return Outcome::refused(QStringLiteral("您输入的开始日期大于数据库中已保存数据的日期，无法保存！"),
                                    QStringLiteral("d1"));
        if (count(store, QStringLiteral("select count(*) from czbnow where numa=:g1 and datea>:g3"), period) > 0)
            return Outcome::refused(QStringLiteral("您输入的截止日期小于数据库中已保存数据的日期，无法保存！"),
                                    QStringLiteral("d2"));
    }

    // The check and the writes in one transaction: on a server no other clerk can take the number
    // between them.
    Outcome outcome;
    store.transaction([&] {
        // A number another contract has: what was typed stays, for the number to be mended.
        const int same = count(store, QStringLiteral("select count(*) from sp2 where numa=:g1"), {{"g1", numa}});
        if (same > 0 && (change.adding || oldNuma != numa)) {
            const QString holder =
                store.scalar(QStringLiteral("select khm from sp2 where numa=:g1 order by rowid limit 1"), {{"g1", numa}})
                    .toString();
            outcome = Outcome::refused((change.adding ? QStringLiteral("有重复的数据存在，无法保存！")
                                                      : QStringLiteral("有重复的数据，无法保存！")) +
                                           QStringLiteral("\n合同号[%1]已经用于客户[%2]，请换一个合同号。").arg(numa, holder),
                                       QStringLiteral("numa"));
            return;
        }
        if (!change.adding) {
            // Only this contract's rows: another contract of the same customer keeps its name, so
            // its statement still finds its deposits and payments.
            if (khm != oldKhm)
                for (const char *table : CopyTables)
                    store.exec(QStringLiteral("update %1 set khm=:g1 where numa=:g2 and khm=:g3").arg(QLatin1String(table)),
                               {{"g1", khm}, {"g2", oldNuma}, {"g3", oldKhm}});
            if (numa != oldNuma)
                for (const char *table : CopyTables)
                    store.exec(QStringLiteral("update %1 set numa=:g1 where numa=:g2").arg(QLatin1String(table)),
                               {{"g1", numa}, {"g2", oldNuma}});
        }
        contracts.setValue(QStringLiteral("khm"), khm);
        contracts.setValue(QStringLiteral("numa"), numa);
        contracts.setValue(QStringLiteral("begina"), change.begin);
        contracts.setValue(QStringLiteral("enda"), change.end);
        contracts.post();
    });
    return outcome;
}

QString Holdings::describe() const
{
    QStringList parts;
    const auto add = [&](int n, const char *what) {
        if (n > 0)
            parts << QString::fromUtf8(what) + QString::number(n) + QStringLiteral("笔");
    };
    add(movements, "发生数据");
    add(deposits, "押金");
    add(rentReceived, "已交租金");
    add(repairLines, "维修费");
    add(compensationLines, "赔偿费");
    return parts.join(QStringLiteral("、"));
}

Holdings holdings(Store &store, const QString &numa)
{
    const Params p{{QStringLiteral("g1"), numa}};
    Holdings h;
    h.movements = count(store, QStringLiteral("select count(*) from czbnow where numa=:g1"), p);
    h.deposits = count(store, QStringLiteral("select count(*) from sp3 where numa=:g1"), p);
    h.rentReceived = count(store, QStringLiteral("select count(*) from sp4 where numa=:g1"), p);
    h.repairLines = count(store, QStringLiteral("select count(*) from czb1 where numa=:g1"), p);
    h.compensationLines = count(store, QStringLiteral("select count(*) from czb2 where numa=:g1"), p);
    return h;
}

Outcome mayRemove(const QString &jz)
{
    if (jz == open())
        return Outcome::refused(QStringLiteral("该客户还未结帐,无法删除!"));
    return Outcome::done();
}

void remove(Store &store, Dataset &contracts)
{
    const Params numa{{QStringLiteral("g1"), contracts.text(QStringLiteral("numa"))}};
    // A later contract with the same number must not inherit this one's money.
    store.transaction([&] {
        for (const char *table : CopyTables)
            store.exec(QStringLiteral("delete from %1 where numa=:g1").arg(QLatin1String(table)), numa);
        contracts.remove();
    });
}

} // namespace tolva::contracts
