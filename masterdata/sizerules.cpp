#include "sizerules.h"

#include "store/dataset.h"
#include "store/store.h"

namespace tolva::sizes {

Size current(const Dataset &sizes)
{
    return {sizes.text(QStringLiteral("gg")), sizes.text(QStringLiteral("dw")), sizes.text(QStringLiteral("dw1")),
            sizes.value(QStringLiteral("bl"))};
}

Outcome check(Store &store, const QString &material, const Size &typed, bool adding, const QString &oldGg)
{
    const QString gg = typed.gg.trimmed();
    if (gg.isEmpty() || typed.dw.trimmed().isEmpty() || typed.dw1.trimmed().isEmpty() || typed.bl.isNull() ||
        typed.bl.toDouble() == 0)
        return Outcome::refused(QStringLiteral("数据输入不完整，无法保存！"));
    if (adding) {
        // A new specification text must be new over all materials.
        if (store.scalar(QStringLiteral("select count(*) from sp5 where gg=:g1"), {{"g1", gg}}).toInt() > 0)
            return Outcome::refused(QStringLiteral("有重复的数据存在，无法保存！"), QString(), Outcome::Pending::Discard);
        return Outcome::done();
    }
    const int same = store.scalar(QStringLiteral("select count(*) from sp5 where gg=:g1 and namea=:g2"),
                                  {{"g1", gg}, {"g2", material}})
                         .toInt();
    if (same > 0 && gg != oldGg.trimmed())
        return Outcome::refused(QStringLiteral("有重复的数据，无法保存！"), QString(), Outcome::Pending::Discard);
    return Outcome::done();
}

int movements(Store &store, const QString &material, const QString &gg)
{
    return store.scalar(QStringLiteral("select count(*) from czbnow where namea=:g1 and gg=:g2"),
                        {{"g1", material}, {"g2", gg}})
        .toInt();
}

Outcome save(Store &store, Dataset &sizes, const QString &material, const Size &old, bool adding)
{
    const Size typed = current(sizes);
    const Outcome checked = check(store, material, typed, adding, old.gg);
    if (!checked)
        return checked;
    store.transaction([&] {
        sizes.setValue(QStringLiteral("gg"), typed.gg.trimmed());
        sizes.setValue(QStringLiteral("dw"), typed.dw.trimmed());
        sizes.setValue(QStringLiteral("dw1"), typed.dw1.trimmed());
        if (!adding) {
            // The movements of this specification, found by its old text; the ratio is recomputed
            // from each row's own pieces so that rent follows the ratio the row shows.
            const double bl = typed.bl.toDouble();
            if (bl != old.bl.toDouble())
                store.exec(QStringLiteral("update czbnow set bl=:bl, a2=:bl*(coalesce(a1,0)-coalesce(b1,0)) "
                                          "where namea=:m and gg=:old"),
                           {{"bl", bl}, {"m", material}, {"old", old.gg}});
            if (typed.gg.trimmed() != old.gg || typed.dw.trimmed() != old.dw || typed.dw1.trimmed() != old.dw1)
                store.exec(QStringLiteral("update czbnow set dw=:dw, dw1=:dw1, gg=:gg where namea=:m and gg=:old"),
                           {{"dw", typed.dw.trimmed()}, {"dw1", typed.dw1.trimmed()}, {"gg", typed.gg.trimmed()},
                            {"m", material}, {"old", old.gg}});
        }
        sizes.post();
    });
    return Outcome::done();
}

Outcome mayRemove(Store &store, const QString &gg)
{
    if (store.scalar(QStringLiteral("select count(*) from czbnow where gg=:g1"), {{"g1", gg}}).toInt() != 0)
        return Outcome::refused(QStringLiteral("数据库中有数据，无法删除！"));
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

} // namespace tolva::sizes
