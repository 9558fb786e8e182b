#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The program's statements in PostgreSQL's dialect. Seen only inside store/.
namespace tolva::pg {

struct Translated {
    QString sql;
    // The parameter behind each $n, in order: a name for ":name", empty for a positional "?".
    QStringList parameters;
};

// Rewrites a statement (its literals already in single quotes) so that it answers on PostgreSQL as
// it does on the embedded engine: named and positional parameters become $n; "like" ignores the
// letter case; nulls sort first in ascending and last in descending order; "total(x)" is 0 over no
// rows; a grouped select without order comes in the order of its groups; "select *" of one table
// lists the table's columns, without its row identity; a new table gets its row identity "rowid",
// numbers are double precision and texts order by their code points.
// `columnsOf` gives a table's columns (without rowid); an empty list leaves "*" as it is.
Translated translate(const QString &sql, const std::function<QStringList(const QString &table)> &columnsOf);

} // namespace tolva::pg
