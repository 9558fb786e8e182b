#include "capitals.h"

#include "settlement.h"
#include "store/format.h"

#include <cmath>

namespace tolva::settlement {

namespace {

const QString Digits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
const QString Units[] = {QString(), QStringLiteral("拾"), QStringLiteral("佰"), QStringLiteral("仟")};
const QString Groups[] = {QString(), QStringLiteral("万"), QStringLiteral("亿"), QStringLiteral("万亿")};

// A group of up to four digits; `leadingZero` writes 零 before a group below 1000 that follows
// a higher group (10,0700 reads 壹拾万零柒佰).
QString group(int value, bool leadingZero)
{
    QString out;
    bool zero = leadingZero;
    for (int unit = 3; unit >= 0; --unit) {
        static const int Powers[] = {1, 10, 100, 1000};
        const int d = value / Powers[unit] % 10;
        if (d == 0) {
            if (!out.isEmpty())
                zero = true;
            continue;
        }
        if (zero)
            out += Digits[0];
        zero = false;
        out += Digits[d] + Units[unit];
    }
    return out;
}

QString yuan(long long n)
{
    QList<int> groups; // lowest first
    while (n > 0) {
        groups << int(n % 10000);
        n /= 10000;
    }
    QString out;
    bool pendingZero = false;
    for (int g = int(groups.size()) - 1; g >= 0; --g) {
        const int value = groups[g];
        const bool first = out.isEmpty();
        if (value == 0) {
            pendingZero = !first;
            continue;
        }
        out += group(value, !first && (pendingZero || value < 1000));
        pendingZero = false;
        out += Groups[qMin(g, 3)];
    }
    return out;
}

} // namespace

QString capitals(double amount)
{
    const double rounded = format::round(std::isnan(amount) ? 0.0 : amount, 2);
    const long long cents = std::llround(std::fabs(rounded) * 100);
    const long long whole = cents / 100;
    const int jiao = int(cents / 10 % 10);
    const int fen = int(cents % 10);

    QString out = rounded < 0 ? QStringLiteral("负") : QString();
    if (whole == 0 && cents != 0) {
        if (jiao)
            out += Digits[jiao] + QStringLiteral("角");
    } else {
        out += whole == 0 ? QString(Digits[0]) : yuan(whole);
        out += QStringLiteral("元");
        // A zero in the units of 元 followed by 角, or a zero 角 followed by 分, reads as 零.
        if ((jiao && whole % 10 == 0 && whole != 0) || (!jiao && fen))
            out += Digits[0];
        if (jiao)
            out += Digits[jiao] + QStringLiteral("角");
    }
    if (fen)
        out += Digits[fen] + QStringLiteral("分");
    else
        out += QStringLiteral("整");
    return out;
}

} // namespace tolva::settlement
