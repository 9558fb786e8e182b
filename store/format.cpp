#include "format.h"

#include <QStringList>

#include <cmath>

namespace tolva::format {

namespace {

// Digits of |value| rounded to `decimals` places: the integer digits (without leading zeros,
// "0" when none) and exactly `decimals` fraction digits.
struct Decimal {
    QString integer;
    QString fraction;
    bool isZero() const
    {
        for (const QChar c : integer + fraction)
            if (c != QLatin1Char('0'))
                return false;
        return true;
    }
};

Decimal roundDecimal(double value, int decimals)
{
    Decimal result;
    const double a = std::fabs(value);
    if (!std::isfinite(a) || a == 0.0) {
        result.integer = QStringLiteral("0");
        result.fraction = QString(decimals, QLatin1Char('0'));
        return result;
    }
    // 15 significant digits: d.dddddddddddddde±x
    const QString e = QString::number(a, 'e', 14);
    const int ePos = e.indexOf(QLatin1Char('e'));
    QString digits = e.left(1) + e.mid(2, ePos - 2);
    int point = e.mid(ePos + 1).toInt() + 1; // digits before the decimal point
    if (point < 0) {
        digits.prepend(QString(-point, QLatin1Char('0')));
        point = 0;
    }
    const int keep = point + decimals;
    if (keep < digits.size()) {
        const bool up = digits[keep] >= QLatin1Char('5');
        digits.truncate(keep);
        if (up) {
            int i = digits.size() - 1;
            while (i >= 0) {
                if (digits[i] == QLatin1Char('9')) {
                    digits[i] = QLatin1Char('0');
                    --i;
                } else {
                    digits[i] = QChar(digits[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0) {
                digits.prepend(QLatin1Char('1'));
                ++point;
            }
        }
    } else {
        digits += QString(keep - digits.size(), QLatin1Char('0'));
    }
    QString integer = digits.left(point);
    while (integer.size() > 1 && integer[0] == QLatin1Char('0'))
        integer.remove(0, 1);
    result.integer = integer.isEmpty() ? QStringLiteral("0") : integer;
    result.fraction = digits.mid(point, decimals);
    return result;
}

QStringList splitSections(const QString &pattern)
{
    QStringList sections;
    QString current;
    QChar quote;
    for (const QChar c : pattern) {
        if (!quote.isNull()) {
            current += c;
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            current += c;
        } else if (c == QLatin1Char(';')) {
            sections << current;
            current.clear();
        } else {
            current += c;
        }
    }
    sections << current;
    return sections;
}

bool isPlaceholder(QChar c)
{
    return c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('.') || c == QLatin1Char(',');
}

// Text outside the placeholders, with quotes removed.
QString literalText(const QString &text)
{
    QString out;
    QChar quote;
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += c;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else {
            out += c;
        }
    }
    return out;
}

struct Section {
    QString prefix, suffix;
    int integerZeros = 0;
    int fractionZeros = 0;
    int fractionDigits = 0;
    bool thousands = false;
    bool hasDigits = false;
};

Section parseSection(const QString &text)
{
    Section s;
    // Find the span of placeholders outside quotes.
    int first = -1, last = -1;
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            continue;
        }
        if (isPlaceholder(c)) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0) {
        s.prefix = literalText(text);
        return s;
    }
    s.prefix = literalText(text.left(first));
    s.suffix = literalText(text.mid(last + 1));
    bool afterPoint = false;
    for (int i = first; i <= last; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('.')) {
            afterPoint = true;
        } else if (c == QLatin1Char(',')) {
            if (!afterPoint)
                s.thousands = true;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            s.hasDigits = true;
            if (afterPoint) {
                ++s.fractionDigits;
                if (c == QLatin1Char('0'))
                    s.fractionZeros = s.fractionDigits;
            } else if (c == QLatin1Char('0')) {
                ++s.integerZeros;
            }
        }
    }
    return s;
}

QString render(const Section &s, const Decimal &d)
{
    if (!s.hasDigits)
        return s.prefix + s.suffix;
    QString integer = d.integer;
    if (integer == QLatin1String("0"))
        integer.clear();
    if (integer.size() < s.integerZeros)
        integer.prepend(QString(s.integerZeros - integer.size(), QLatin1Char('0')));
    if (s.thousands)
        for (int i = integer.size() - 3; i > 0; i -= 3)
            integer.insert(i, QLatin1Char(','));
    QString fraction = d.fraction;
    while (fraction.size() > s.fractionZeros && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString body = integer;
    if (!fraction.isEmpty())
        body += QLatin1Char('.') + fraction;
    return s.prefix + body + s.suffix;
}

} // namespace

QString number(double value, const QString &pattern)
{
    const QStringList sections = splitSections(pattern);
    bool addMinus = false;
    Section section;
    if (value < 0 && sections.size() >= 2 && !sections[1].isEmpty()) {
        section = parseSection(sections[1]);
    } else {
        section = parseSection(sections[0]);
        addMinus = value < 0;
    }
    const Decimal d = roundDecimal(value, section.fractionDigits);
    if (d.isZero()) {
        if (sections.size() >= 3) {
            if (sections[2].isEmpty())
                return QString();
            return render(parseSection(sections[2]), roundDecimal(0.0, parseSection(sections[2]).fractionDigits));
        }
        addMinus = false;
    }
    const QString text = render(section, d);
    return addMinus && !text.isEmpty() ? QLatin1Char('-') + text : text;
}

QString number(const QVariant &value, const QString &pattern)
{
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double v = value.toString().trimmed().toDouble(&ok);
        return ok ? number(v, pattern) : QString();
    }
    return number(value.toDouble(), pattern);
}

QString dateTime(const QDateTime &value, const QString &pattern)
{
    if (!value.isValid())
        return QString();
    const QDate d = value.date();
    const QTime t = value.time();
    QString out;
    int i = 0;
    const int n = pattern.size();
    auto run = [&](QChar c) {
        int k = i;
        while (k < n && pattern[k].toLower() == c)
            ++k;
        return k - i;
    };
    while (i < n) {
        const QChar c = pattern[i];
        const QChar lc = c.toLower();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const int end = pattern.indexOf(c, i + 1);
            if (end < 0) {
                out += pattern.mid(i + 1);
                break;
            }
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        const int len = run(lc);
        auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        if (lc == QLatin1Char('y')) {
            out += len >= 3 ? QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) : two(d.year() % 100);
        } else if (lc == QLatin1Char('m')) {
            out += len >= 2 ? two(d.month()) : QString::number(d.month());
        } else if (lc == QLatin1Char('d')) {
            out += len >= 2 ? two(d.day()) : QString::number(d.day());
        } else if (lc == QLatin1Char('h')) {
            out += len >= 2 ? two(t.hour()) : QString::number(t.hour());
        } else if (lc == QLatin1Char('n')) {
            out += len >= 2 ? two(t.minute()) : QString::number(t.minute());
        } else if (lc == QLatin1Char('s')) {
            out += len >= 2 ? two(t.second()) : QString::number(t.second());
        } else {
            out += c;
            i += 1;
            continue;
        }
        i += len;
    }
    return out;
}

QString date(const QDate &value, const QString &pattern)
{
    if (!value.isValid())
        return QString();
    return dateTime(QDateTime(value, QTime(0, 0)), pattern);
}

QString fixed(double value, int decimals)
{
    const Decimal d = roundDecimal(value, decimals);
    QString text = d.integer;
    if (decimals > 0)
        text += QLatin1Char('.') + d.fraction;
    return value < 0 && !d.isZero() ? QLatin1Char('-') + text : text;
}

double round(double value, int decimals)
{
    return fixed(value, decimals).toDouble();
}

QString money(double value)
{
    return fixed(value, 2);
}

} // namespace tolva::format
