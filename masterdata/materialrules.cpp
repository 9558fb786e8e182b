#include "materialrules.h"

#include "store/dataset.h"
#include "store/store.h"

namespace tolva::materials {

namespace {
const QString Name = QStringLiteral("namea");
}

Outcome mayAdd(Store &store)
{
    if (store.scalar(QStringLiteral("select count(*) from sp1")).toInt() >= MaxMaterials)
        return Outcome::refused(QStringLiteral("材料名称只能控制在15个以内,无法再添加！"));
    return Outcome::done();
}

Outcome save(Store &store, Dataset &materials, const Change &change)
{
    const QString name = change.name.trimmed();
    if (name.isEmpty())
        return Outcome::refused(QStringLiteral("没有输入数据，无法保存！"), Name);
    const int same = store.scalar(QStringLiteral("select count(*) from sp1 where namea=:g1"), {{"g1", name}}).toInt();

    if (change.adding) {
        if (same > 0)
            return Outcome::refused(QStringLiteral("有重复的数据存在，无法保存！"), QString(), Outcome::Pending::Discard);
        materials.setValue(Name, name);
        materials.setValue(QStringLiteral("numsb"), change.decimals);
        materials.post();
        return Outcome::done();
    }

    const QVariant price = materials.value(QStringLiteral("dj"));
    if (price.isNull() || price.toDouble() == 0)
        return Outcome::refused(QStringLiteral("单价必须输入！"), QStringLiteral("dj"));
    const QString stored = materials.text(Name).trimmed();
    if (same > 0 && stored != name)
        return Outcome::refused(QStringLiteral("有重复的数据，无法保存！"), QString(), Outcome::Pending::Discard);
    store.transaction([&] {
        if (stored != name) {
            const Params names{{QStringLiteral("g1"), name}, {QStringLiteral("g2"), stored}};
            for (const char *table : {"czb1", "czb2", "sp5", "czbnow"})
                store.exec(QStringLiteral("update %1 set namea=:g1 where namea=:g2").arg(QLatin1String(table)), names);
        }
        materials.setValue(QStringLiteral("numsb"), change.decimals);
        materials.setValue(Name, name);
        materials.post();
    });
    return Outcome::done();
}

Outcome mayRemove(Store &store, const QString &name)
{
    const Params p{{QStringLiteral("g1"), name}};
    if (store.scalar(QStringLiteral("select count(*) from czbnow where namea=:g1"), p).toInt() != 0 ||
        store.scalar(QStringLiteral("select count(*) from sp5 where namea=:g1"), p).toInt() != 0)
        return Outcome::refused(QStringLiteral("数据库中有数据存在，无法删除！"));
    return Outcome::done();
}

Outcome removeUnused(Store &store, Dataset &rows, const QString &name)
{
    // The check and the deletion in one transaction: on a server no other clerk's movement can
    // come between them.
    Outcome outcome;
    store.transaction([&] {
        outcome = mayRemove(store, name);
        if (outcome)
            rows.remove();
    });
    return outcome;
}

} // namespace tolva::materials
