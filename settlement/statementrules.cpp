#include "statementrules.h"

#include "values.h"
#include "store/dataset.h"
#include "store/store.h"

#include <cmath>

namespace tolva::settlement {

namespace {

const QString PriceMissing = QStringLiteral("材料单价不能为空,请重新输入！");

bool toNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

// Writes one field of the current row and posts it; a failed post leaves the row as it was.
void store(Dataset &rows, const QString &field, const QVariant &value)
{
    if (rows.currentRow() < 0)
        return;
    if (!rows.isEditing())
        rows.edit();
    rows.setValue(field, value);
    try {
        rows.post();
    } catch (...) {
        rows.cancel();
        throw;
    }
}

} // namespace

Outcome checkPrices(Store &store)
{
    if (const QString fault = priceFault(store); !fault.isEmpty())
        return Outcome::refused(fault, QStringLiteral("dj"));
    for (const auto &row : store.select(QStringLiteral("select dj from sp1")).rows)
        if (row[0].isNull() || row[0].toDouble() == 0)
            return Outcome::refused(PriceMissing, QStringLiteral("dj"));
    return Outcome::done();
}

Outcome setPrice(const Rights &rights, Dataset &materials, const QString &text)
{
    if (const Outcome allowed = rights.toEdit(); !allowed)
        return allowed;
    if (materials.currentRow() < 0)
        return Outcome::done();
    double price = 0;
    if (text.trimmed().isEmpty())
        return Outcome::refused(PriceMissing, QStringLiteral("dj"));
    if (!toNumber(text, price))
        return Outcome::refused(QStringLiteral("单价必须是数字,请重新输入！"), QStringLiteral("dj"));
    store(materials, QStringLiteral("dj"), price);
    return Outcome::done();
}

Outcome setOtherCharge(const Rights &rights, Dataset &contract, const QString &text)
{
    if (const Outcome allowed = rights.toEdit(); !allowed)
        return allowed;
    double amount = 0;
    if (!text.trimmed().isEmpty() && !toNumber(text, amount))
        return Outcome::refused(QStringLiteral("其它收费金额必须是数字,请重新输入！"), QStringLiteral("a2"));
    store(contract, QStringLiteral("a2"), amount);
    return Outcome::done();
}

Outcome setOtherName(const Rights &rights, Dataset &contract, const QString &text)
{
    if (const Outcome allowed = rights.toEdit(); !allowed)
        return allowed;
    const QString name = text.trimmed();
    store(contract, QStringLiteral("a1"), name.isEmpty() ? QVariant() : QVariant(name));
    return Outcome::done();
}

Outcome setRemark(const Rights &rights, Dataset &contract, const QString &text)
{
    if (const Outcome allowed = rights.toEdit(); !allowed)
        return allowed;
    const QString remark = text.trimmed();
    store(contract, QStringLiteral("bz"), remark.isEmpty() ? QVariant() : QVariant(remark));
    return Outcome::done();
}

OtherCharge otherChargeForPrint(const Rights &rights, Dataset &contract)
{
    OtherCharge c;
    if (contract.currentRow() < 0)
        return c;
    const QString other = QStringLiteral(" 其它 ");
    if (rights.mayEdit()) {
        if (contract.text(QStringLiteral("a1")).isEmpty())
            store(contract, QStringLiteral("a1"), other);
        if (contract.isNull(QStringLiteral("a2")))
            store(contract, QStringLiteral("a2"), 0.0);
    }
    c.name = contract.text(QStringLiteral("a1"));
    if (c.name.isEmpty())
        c.name = other;
    c.amount = contract.number(QStringLiteral("a2"));
    return c;
}

StatementSettings statementSettings(Store &store)
{
    StatementSettings s;
    const Rows rows = store.select(QStringLiteral("select b1,b6,b5,b8,b3 from srf"));
    if (rows.rows.isEmpty())
        return s;
    const auto &r = rows.rows.first();
    const int method = r[0].toInt();
    s.method = Method(qBound(0, method, 2));
    s.layout = qBound(0, r[1].toInt(), 2);
    s.moneyBlock = r[2].toInt() == 1;
    if (!r[3].isNull())
        s.rowHeight = r[3].toDouble();
    if (!r[4].isNull())
        s.totalHeight = r[4].toDouble();
    return s;
}

Outcome setRowHeight(const Rights &rights, Store &store, int height)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed)
        return allowed;
    if (height < 10 || height > 999)
        return Outcome::refused(QStringLiteral("打印表格高度应在10到999之间！"), QStringLiteral("b8"));
    store.exec(QStringLiteral("update srf set b8=:g1"), {{QStringLiteral("g1"), double(height)}});
    return Outcome::done();
}

Outcome setMoneyBlock(const Rights &rights, Store &store, bool printed)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed)
        return allowed;
    store.exec(QStringLiteral("update srf set b5=:b5, b3=:b3"),
               {{QStringLiteral("b5"), printed ? 1.0 : 0.0}, {QStringLiteral("b3"), printed ? 21.0 : 43.0}});
    return Outcome::done();
}

MaterialDecimals::MaterialDecimals(Store &store)
{
    for (const auto &r : store.select(QStringLiteral("select namea,numsb from sp1")).rows) {
        const QString key = r[0].toString().trimmed().toLower();
        if (!decimals_.contains(key))
            decimals_.insert(key, qBound(0, r[1].toInt(), 4));
    }
}

int MaterialDecimals::of(const QString &material) const
{
    return decimals_.value(material.trimmed().toLower(), Default);
}

} // namespace tolva::settlement
