#include "chargerules.h"

#include "store/dataset.h"
#include "store/format.h"
#include "store/store.h"

#include <cmath>

namespace tolva::charges {

namespace {

double numberOf(const Dataset &lines, const char *field)
{
    const QVariant v = lines.value(QLatin1String(field));
    return v.isNull() ? 0 : v.toDouble();
}

bool tooLarge(double value)
{
    return !std::isfinite(value) || std::fabs(value) > Dataset::largestNumber;
}

} // namespace

void append(Dataset &lines, const Contract &contract, const QString &material, const QString &reason)
{
    lines.append();
    lines.setValue(QStringLiteral("khm"), contract.khm);
    lines.setValue(QStringLiteral("numa"), contract.numa);
    if (!material.isEmpty())
        lines.setValue(QStringLiteral("namea"), material);
    if (!reason.isEmpty())
        lines.setValue(QStringLiteral("a1"), reason);
    for (const char *field : {"a2", "a3", "a4"})
        lines.setValue(QLatin1String(field), 0.0);
}

void computeAmount(Dataset &lines)
{
    if (!lines.isEditing())
        return;
    const double amount = numberOf(lines, "a2") * numberOf(lines, "a3");
    if (!tooLarge(amount))
        lines.setValue(QStringLiteral("a4"), format::round(amount, 2));
}

Outcome save(Store &store, Dataset &lines)
{
    if (lines.text(QStringLiteral("a1")).trimmed().isEmpty())
        return Outcome::refused(QStringLiteral("没有输入维修原因，无法保存！"), QStringLiteral("a1"));
    const double quantity = numberOf(lines, "a2");
    if (quantity == 0)
        return Outcome::refused(QStringLiteral("没有输入数量数据，无法保存！"), QStringLiteral("a2"));
    // A price is money: kept to the cent, so the printed price times the quantity is the amount.
    const double price = format::round(numberOf(lines, "a3"), 2);
    if (price == 0)
        return Outcome::refused(QStringLiteral("没有输入单价数据，无法保存！"), QStringLiteral("a3"));
    if (tooLarge(quantity))
        return Outcome::refused(QStringLiteral("输入的数值太大，无法保存！"), QStringLiteral("a2"));
    const double amount = quantity * price;
    if (tooLarge(price) || tooLarge(amount))
        return Outcome::refused(QStringLiteral("输入的数值太大，无法保存！"), QStringLiteral("a3"));
    store.transaction([&] {
        lines.setValue(QStringLiteral("a3"), price);
        lines.setValue(QStringLiteral("a4"), format::round(amount, 2));
        lines.post();
    });
    return Outcome::done();
}

} // namespace tolva::charges
