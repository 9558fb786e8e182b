#include "explain.h"

#include "store/dataset.h"
#include "store/format.h"

#include <cmath>

namespace tolva::settlement {

namespace {

double numberOf(const Dataset &rows, const char *field, double whenEmpty)
{
    const QVariant v = rows.value(QLatin1String(field));
    return v.isNull() || v.toString().isEmpty() ? whenEmpty : v.toDouble();
}

// A quantity as people read it: up to four decimals, no trailing zeros.
QString quantity(double v)
{
    QString s = format::fixed(v, 4);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

QString days(double v)
{
    return quantity(v);
}

QString interval(const RowFigures &row)
{
    if (!row.dbegin.isValid() || !row.dend.isValid())
        return QString();
    return QStringLiteral("（") + row.dbegin.toString(Qt::ISODate) + QStringLiteral("至") +
           row.dend.toString(Qt::ISODate) + QStringLiteral("）");
}

// The rent rule of the computation: empty or negative gives 0, anything else rounded to cents.
double charged(double product)
{
    if (std::isnan(product) || product < 0)
        return 0.0;
    return format::round(product, 2);
}

// The row carrying a balance into a period: the interval holding the period start as charged up
// to the end, less as charged up to the day before the start, each multiplied as the computation
// multiplies it.
Explanation explainCarry(const RowFigures &row, Method method)
{
    const Carry &c = *row.carry;
    const bool closing = method != Method::BothDays;
    const double price = row.a4;
    const double chargeable = c.days - c.suspended;
    const double whole = chargeable <= 0 ? 0.0
                         : closing      ? charged(c.balance * chargeable * price)
                                        : charged(c.days * price * c.balance);
    const double before = c.daysBefore <= 0 ? 0.0
                          : closing        ? charged(row.a2 * c.daysBefore * price)
                                           : charged(c.daysBefore * price * row.a2);
    Explanation e;
    e.rent = format::round(whole - before, 2);
    const QString dayText = c.suspended != 0 ? QStringLiteral("(天数 ") + days(c.days) + QStringLiteral(" − 报停 ") +
                                                   days(c.suspended) + QStringLiteral(")")
                                             : QStringLiteral("天数 ") + days(c.days);
    e.text = QStringLiteral("期初结转：结余量 ") + quantity(c.balance) + QStringLiteral(" × 单价 ") +
             format::fixed(price, 4) + QStringLiteral(" × ") + dayText + QStringLiteral(" = ") + format::money(whole) +
             QStringLiteral("，减期初前已计天数 ") + days(c.daysBefore) + QStringLiteral(" 的 ") + format::money(before) +
             QStringLiteral("，租金 = ") + format::money(e.rent) + interval(row);
    return e;
}

} // namespace

RowFigures figures(const Dataset &rows, const QVector<Carry> &carries)
{
    RowFigures f;
    f.namea = rows.text(QStringLiteral("namea"));
    f.movement = !rows.isNull(QStringLiteral("a1"));
    const double nan = std::nan("");
    f.a1 = numberOf(rows, "a1", 0);
    f.a2 = numberOf(rows, "a2", 0);
    f.a3 = numberOf(rows, "a3", 0);
    f.a4 = numberOf(rows, "a4", nan);
    f.a5 = numberOf(rows, "a5", 0);
    f.a8 = numberOf(rows, "a8", 0);
    f.dbegin = rows.date(QStringLiteral("dbegin"));
    f.dend = rows.date(QStringLiteral("dend"));
    // The carrying row follows its material's brought-forward row and is dated on the period start.
    const int r = rows.currentRow();
    const int name = rows.fieldIndex(QStringLiteral("namea"));
    if (r > 0 && f.a1 == 0 && rows.valueAt(r - 1, name).toString() == QStringLiteral("上期结存")) {
        const QString material = rows.text(QStringLiteral("numa"));
        for (const Carry &c : carries)
            if (c.material == material && c.start == rows.date(QStringLiteral("datea")))
                f.carry = c;
    }
    return f;
}

Explanation explain(const RowFigures &row, Method method, Result table)
{
    Explanation e;
    if (row.namea == QStringLiteral("上期结存")) {
        e.text = QStringLiteral("上期结存：期初结余量 ") + quantity(row.a2) + QStringLiteral("，本行不计租金");
        return e;
    }
    if (std::isnan(row.a4)) {
        e.text = QStringLiteral("租金 = 0.00：材料没有单价");
        return e;
    }

    if (row.carry)
        return explainCarry(row, method);

    // Which balance the row charges: under the first two methods a movement row of the full
    // statement charges the balance before its movement; every other row its own balance.
    const bool before = table == Result::Czbtem && method != Method::BothDays && row.movement;
    const double qty = before ? row.a2 - row.a1 : row.a2;
    const QString qtyText = (before ? QStringLiteral("原结余量 ") : QStringLiteral("结余量 ")) + quantity(qty);

    // A movement row whose rent came out 0 without suspended days has its days and price blanked.
    if (before && row.a5 == 0 && row.a3 == 0 && row.a4 == 0 && row.a8 == 0) {
        const double span = row.dbegin.isValid() && row.dend.isValid() ? double(row.dbegin.daysTo(row.dend)) : 0;
        e.text = qty == 0 ? QStringLiteral("本行不计租金：此前结余量为 0，租金从本日起计")
                 : span == 0 ? QStringLiteral("本行不计租金：与上一笔同日，天数为 0")
                             : QStringLiteral("本行不计租金：") + qtyText + QStringLiteral("，天数 ") + days(span);
        return e;
    }

    double product = 0;
    QString dayText;
    if (row.a8 != 0) {
        dayText = QStringLiteral("(天数 ") + days(row.a3) + QStringLiteral(" − 报停 ") + days(row.a8) +
                  QStringLiteral(")");
    } else {
        dayText = QStringLiteral("天数 ") + days(row.a3);
    }
    // An interval without a chargeable day charges nothing, whatever the sign of the balance.
    const double chargeable = (before || table != Result::Czbtem) ? row.a3 - row.a8 : row.a3;
    if (chargeable <= 0) {
        e.rent = 0;
        e.text = QStringLiteral("租金 = 0.00：") + dayText + QStringLiteral("，没有计租天数") + interval(row);
        return e;
    }
    // Multiplied in the order the computation multiplies, so the rounding is the same.
    if (before)
        product = qty * (row.a3 - row.a8) * row.a4;
    else if (table == Result::Czbtem && method == Method::BothDays)
        product = row.a3 * row.a4 * qty;
    else if (table == Result::Czbtem)
        product = qty * row.a3 * row.a4;
    else
        product = qty * (row.a3 - row.a8) * row.a4;
    e.rent = charged(product);

    e.text = QStringLiteral("租金 = ") + qtyText + QStringLiteral(" × 单价 ") + format::fixed(row.a4, 4) +
             QStringLiteral(" × ") + dayText + QStringLiteral(" = ");
    if (!std::isnan(product) && product < 0)
        e.text += format::money(format::round(product, 2)) + QStringLiteral("，不足 0 记 0.00");
    else
        e.text += format::money(e.rent);
    e.text += interval(row);
    return e;
}

} // namespace tolva::settlement
