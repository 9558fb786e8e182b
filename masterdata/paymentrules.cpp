#include "paymentrules.h"

#include "store/dataset.h"
#include "store/format.h"

namespace tolva::payments {

Outcome save(Dataset &payments)
{
    const QVariant amount = payments.value(QStringLiteral("a1"));
    const double cents = amount.isNull() ? 0 : format::round(amount.toDouble(), 2);
    if (cents == 0)
        return Outcome::refused(QStringLiteral("没有输入金额，无法保存！"), QStringLiteral("a1"));
    payments.setValue(QStringLiteral("a1"), cents);
    payments.post();
    return Outcome::done();
}

} // namespace tolva::payments
