#include "format.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace tolva::format {

namespace {

// Digits of |value| rounded to `decimals` places: the integer digits (without leading zeros,
// "0" when none) and exactly `decimals` fraction digits.
struct Decimal {
    std::string integer;
    std::string fraction;
    bool isZero() const
    {
        auto zeros = [](const std::string &t) { return std::all_of(t.begin(), t.end(), [](char c) { return c == '0'; }); };
        return zeros(integer) && zeros(fraction);
    }
};

// Adds one to the decimal digit at `last` and carries it leftwards; false when the carry runs past
// the first digit (all were nines, and are now zeros).
bool addOne(std::string &digits, int last)
{
    int i = last;
    for (; i >= 0 && digits[size_t(i)] == '9'; --i)
        digits[size_t(i)] = '0';
    if (i < 0)
        return false;
    ++digits[size_t(i)];
    return true;
}

// |value| rounded half away from zero to `decimals` places on its 15-significant-digit decimal
// form (so 2.675, held a hair below, counts as 2.675): the rounding of every number the program
// shows and of every amount of money it computes. Written into `out` as the integer digits
// (without leading zeros, "0" when none), and, when `decimals` > 0, "." and exactly `decimals`
// fraction digits. Works on characters only: the computations round every rent through it.
void roundedText(double value, int decimals, std::string &out)
{
    out.clear();
    const double a = std::fabs(value);
    if (!std::isfinite(a) || a == 0.0) {
        out += '0';
        if (decimals > 0)
            out.append(1, '.').append(size_t(decimals), '0');
        return;
    }
    // 30 significant digits, d.ddd…e±x, then cut to 15 with halves rounded up: an exact half at
    // the 16th digit goes away from zero, as the number's display always did.
    char e[64];
    char *end = std::to_chars(e, e + sizeof e, a, std::chars_format::scientific, 29).ptr;
    const char *ePos = std::find(e, end, 'e');
    int exponent = 0;
    std::from_chars(ePos + (ePos[1] == '+' ? 2 : 1), end, exponent);
    std::string digits(e, 1);
    digits.append(e + 2, 14);
    if (e[16] >= '5' && !addOne(digits, 14)) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++exponent;
    }
    int point = exponent + 1; // digits before the decimal point
    if (point < 0) {
        digits.insert(0, size_t(-point), '0');
        point = 0;
    }
    const int keep = point + decimals;
    if (keep < int(digits.size())) {
        const bool up = digits[size_t(keep)] >= '5';
        digits.resize(size_t(keep));
        if (up && !addOne(digits, keep - 1)) {
            digits.insert(digits.begin(), '1');
            ++point;
        }
    } else {
        digits.append(size_t(keep) - digits.size(), '0');
    }
    size_t first = 0;
    while (first + 1 < size_t(point) && digits[first] == '0')
        ++first;
    if (point == 0)
        out += '0';
    else
        out.append(digits, first, size_t(point) - first);
    if (decimals > 0)
        out.append(1, '.').append(digits, size_t(point), size_t(decimals));
}

Decimal roundDecimal(double value, int decimals)
{
    std::string text;
    roundedText(value, decimals, text);
    const size_t dot = text.find('.');
    Decimal result;
    result.integer.assign(text, 0, dot == std::string::npos ? text.size() : dot);
    if (dot != std::string::npos)
        result.fraction.assign(text, dot + 1, std::string::npos);
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
    std::string integer = d.integer == "0" ? std::string() : d.integer;
    if (int(integer.size()) < s.integerZeros)
        integer.insert(0, size_t(s.integerZeros) - integer.size(), '0');
    std::string body;
    body.reserve(integer.size() * 4 / 3 + d.fraction.size() + 2);
    for (size_t i = 0; i < integer.size(); ++i) {
        if (s.thousands && i > 0 && (integer.size() - i) % 3 == 0)
            body += ',';
        body += integer[i];
    }
    size_t fraction = d.fraction.size();
    while (int(fraction) > s.fractionZeros && d.fraction[fraction - 1] == '0')
        --fraction;
    if (fraction > 0)
        body.append(1, '.').append(d.fraction, 0, fraction);
    QString out;
    out.reserve(s.prefix.size() + int(body.size()) + s.suffix.size());
    out += s.prefix;
    out += QLatin1String(body.data(), qsizetype(body.size()));
    out += s.suffix;
    return out;
}

} // namespace

namespace {

// A pattern's sections as parsed: positive, negative (when given) and zero (when given).
struct Pattern {
    Section positive, negative, zero;
    bool hasNegative = false, hasZero = false, zeroEmpty = false;
};

// Reports format the same few patterns over and over: each is parsed once per thread.
const Pattern &patternOf(const QString &text)
{
    thread_local QHash<QString, Pattern> cache;
    auto it = cache.constFind(text);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() > 256)
        cache.clear();
    const QStringList sections = splitSections(text);
    Pattern p;
    p.positive = parseSection(sections[0]);
    p.hasNegative = sections.size() >= 2 && !sections[1].isEmpty();
    if (p.hasNegative)
        p.negative = parseSection(sections[1]);
    p.hasZero = sections.size() >= 3;
    if (p.hasZero) {
        p.zeroEmpty = sections[2].isEmpty();
        p.zero = parseSection(sections[2]);
    }
    return *cache.insert(text, p);
}

} // namespace

QString number(double value, const QString &pattern)
{
    const Pattern &p = patternOf(pattern);
    bool addMinus = false;
    const Section *section = &p.positive;
    if (value < 0 && p.hasNegative) {
        section = &p.negative;
    } else {
        addMinus = value < 0;
    }
    const Decimal d = roundDecimal(value, section->fractionDigits);
    if (d.isZero()) {
        if (p.hasZero) {
            if (p.zeroEmpty)
                return QString();
            return render(p.zero, roundDecimal(0.0, p.zero.fractionDigits));
        }
        addMinus = false;
    }
    const QString text = render(*section, d);
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

namespace {

QString written(const QDate &d, const QTime &t, const QString &pattern)
{
    QString out;
    out.reserve(pattern.size() + 4);
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
        // v written with at least `width` digits, zeros in front.
        auto digits = [&out](int v, int width) {
            char buffer[12];
            int k = 0;
            const bool negative = v < 0;
            unsigned u = negative ? 0u - unsigned(v) : unsigned(v);
            do {
                buffer[k++] = char('0' + u % 10);
                u /= 10;
            } while (u != 0);
            while (k < width)
                buffer[k++] = '0';
            if (negative)
                out += QLatin1Char('-');
            while (k > 0)
                out += QLatin1Char(buffer[--k]);
        };
        if (lc == QLatin1Char('y')) {
            if (len >= 3)
                digits(d.year(), 4);
            else
                digits(d.year() % 100, 2);
        } else if (lc == QLatin1Char('m')) {
            digits(d.month(), len >= 2 ? 2 : 1);
        } else if (lc == QLatin1Char('d')) {
            digits(d.day(), len >= 2 ? 2 : 1);
        } else if (lc == QLatin1Char('h')) {
            digits(t.hour(), len >= 2 ? 2 : 1);
        } else if (lc == QLatin1Char('n')) {
            digits(t.minute(), len >= 2 ? 2 : 1);
        } else if (lc == QLatin1Char('s')) {
            digits(t.second(), len >= 2 ? 2 : 1);
        } else {
            out += c;
            i += 1;
            continue;
        }
        i += len;
    }
    return out;
}

} // namespace

QString dateTime(const QDateTime &value, const QString &pattern)
{
    if (!value.isValid())
        return QString();
    return written(value.date(), value.time(), pattern);
}

QString date(const QDate &value, const QString &pattern)
{
    if (!value.isValid())
        return QString();
    return written(value, QTime(0, 0), pattern);
}

QString fixed(double value, int decimals)
{
    const Decimal d = roundDecimal(value, decimals);
    QString text = QString::fromLatin1(d.integer.data(), qsizetype(d.integer.size()));
    if (decimals > 0)
        text += QLatin1Char('.') + QString::fromLatin1(d.fraction.data(), qsizetype(d.fraction.size()));
    return value < 0 && !d.isZero() ? QLatin1Char('-') + text : text;
}

double round(double value, int decimals)
{
    std::string text;
    roundedText(value, decimals, text);
    double r = 0;
    std::from_chars(text.data(), text.data() + text.size(), r);
    return value < 0 && r != 0 ? -r : r; // never a negative zero
}

QString money(double value)
{
    return fixed(value, 2);
}

} // namespace tolva::format
