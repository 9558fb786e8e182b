#pragma once

#include <QString>

// The program's statement forms, the same for every engine. Seen only inside store/.
namespace tolva::dialect {

// A select over one table, without grouping, sorting or aggregates: its rows come in stored order.
bool isPlainSelect(const QString &sql);

} // namespace tolva::dialect
