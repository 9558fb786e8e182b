#pragma once

#include <QPair>
#include <QString>
#include <QVector>

namespace tolva {

class Store;

// Ranges of row identity [first, last] that split a table into parts of about `rows` rows (fewer
// where rows were deleted), in order, for long work over many rows that reports its progress
// between the parts; none for an empty table. A server keeps no index on the row identity: there
// the whole table is one part.
QVector<QPair<qint64, qint64>> rowidRanges(Store &store, const QString &table, int rows = 65536);

} // namespace tolva
