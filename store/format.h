#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace tolva::format {

// Renders a number by a display pattern of up to three sections "positive;negative;zero", each
// made of "0" (a digit always shown), "#" (a digit shown when significant), "." and "," (thousands),
// with text in quotes kept as it is. "#0.00;-#0.00;#" shows two decimals and a blank for zero;
// "#;" an integer with zero blank. A negative value without a negative section gets a leading "-";
// an empty negative section counts as absent, an empty zero section means a blank. The value is
// rounded half away from zero on its 15-digit decimal form, so 2.675 shows as 2.68.
QString number(double value, const QString &pattern);
// Null and empty values render as an empty text.
QString number(const QVariant &value, const QString &pattern);

// Renders a date by a pattern of yyyy, yy, mm, m, dd, d (and hh, nn, ss for times), with text in
// single or double quotes kept as it is: "yyyy-mm-dd", "yyyy'年'mm'月'dd'日'", "mm'/'dd'/'yyyy".
QString date(const QDate &value, const QString &pattern);
QString dateTime(const QDateTime &value, const QString &pattern);

// The value with the given number of decimals, rounded half away from zero on its 15-digit
// decimal form ("1.5", "-0.13"); no thousands separators.
QString fixed(double value, int decimals);
// The value rounded like fixed(), as a number: the program's one rounding of money. round(x, 2)
// gives the cents of every rent, total and amount saved; -0.004 gives 0, 0.125 gives 0.13.
double round(double value, int decimals);
// A money amount with two decimals, as printed ("%8.2f" without the padding).
QString money(double value);

} // namespace tolva::format
