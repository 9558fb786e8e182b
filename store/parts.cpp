#include "parts.h"

#include "store.h"

namespace tolva {

QVector<QPair<qint64, qint64>> rowidRanges(Store &store, const QString &table, int rows)
{
    if (store.isServer()) {
        constexpr qint64 Whole = qint64(1) << 53; // beyond any row identity, exact as a double
        return {{-Whole, Whole}};
    }
    // The span of the row identities stands for the count: counting the rows would read them all,
    // as would asking for the least and the greatest in one statement.
    const QVariant least = store.scalar(QStringLiteral("select min(rowid) from ") + table);
    if (least.isNull())
        return {};
    const qint64 first = least.toLongLong();
    const qint64 last = store.scalar(QStringLiteral("select max(rowid) from ") + table).toLongLong();
    const qint64 parts = qMax<qint64>(1, (last - first + 1) / qMax(1, rows));
    const qint64 width = (last - first) / parts + 1;
    QVector<QPair<qint64, qint64>> ranges;
    for (qint64 from = first; from <= last; from += width)
        ranges.append({from, qMin(last, from + width - 1)});
    return ranges;
}

} // namespace tolva
