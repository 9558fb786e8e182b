#include "dialect.h"
#include "store.h"

#include <QDate>
#include <QRegularExpression>

namespace tolva {

namespace {

const QRegularExpression &suffixPattern()
{
    static const QRegularExpression re(QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\.db\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &splicedDatePattern()
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    return re;
}

// A select over one table, without grouping, sorting or aggregates: its rows come in stored order.
const QRegularExpression &plainSelectPattern()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+([^()]*?)\\s+from\\s+[A-Za-z_][A-Za-z0-9_]*\\s*(where\\b.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

// Splits a statement into code and quoted literals; calls code(text) and literal(content).
template <class Code, class Literal>
void scanStatement(const QString &sql, Code code, Literal literal)
{
    QString chunk;
    int i = 0;
    const int n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c != QLatin1Char('\'') && c != QLatin1Char('"')) {
            chunk += c;
            ++i;
            continue;
        }
        code(chunk);
        chunk.clear();
        QString content;
        int j = i + 1;
        bool closed = false;
        while (j < n) {
            if (sql[j] == c) {
                if (j + 1 < n && sql[j + 1] == c) { // a doubled quote stands for itself
                    content += c;
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            content += sql[j++];
        }
        if (!closed)
            throw StoreError(QStringLiteral("语句中的引号不配对。"), sql);
        literal(content);
        i = j + 1;
    }
    code(chunk);
}

} // namespace

namespace dialect {

bool isPlainSelect(const QString &sql)
{
    return plainSelectPattern().match(sql).hasMatch();
}

} // namespace dialect

QString Store::translate(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    scanStatement(
        sql,
        [&](const QString &code) {
            QString c = code;
            c.replace(suffixPattern(), QStringLiteral("\\1"));
            out += c;
        },
        [&](const QString &content) {
            QString value = content;
            const auto m = splicedDatePattern().match(content);
            if (m.hasMatch()) {
                const QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
                if (d.isValid())
                    value = d.toString(Qt::ISODate);
            }
            value.replace(QLatin1Char('\''), QLatin1String("''"));
            out += QLatin1Char('\'') + value + QLatin1Char('\'');
        });
    return out;
}

QVariant Store::toStored(const QVariant &value)
{
    if (value.isNull())
        return QVariant();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().date().toString(Qt::ISODate);
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

} // namespace tolva
