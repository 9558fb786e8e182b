#pragma once

#include <QString>

namespace tolva {

// A search box finds its text anywhere in a column, every character taken as typed: the "%", "_"
// and "\" a clerk types are searched for, not wildcards, and the text is bound, never spliced.

// The condition "`column` contains the value of :`param`", for a statement's where clause.
QString likeContains(const QString &column, const QString &param);
// The condition that a contract's customer name or number contains :`param`; `alias` prefixes the
// columns ("k" gives k.khm and k.numa).
QString contractContains(const QString &param, const QString &alias = QString());
// The value to bind to such a parameter: the typed text, trimmed, with its wildcards escaped.
QString containsPattern(const QString &typed);

} // namespace tolva
