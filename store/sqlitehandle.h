#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace tolva {

// The SQLite connection under a Qt SQL connection; throws StoreError when there is none.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

// What a person reads for a failure of the engine: the conditions a person can act on (another
// program writing, a read-only or full disk, a damaged file) in Chinese; any other failure is a
// fault of a statement and keeps the engine's own text. `systemError` is the errno of the failed
// write behind an I/O failure (a disk without room).
QString failureText(int code, const QString &engineText, int systemError = 0);
// The same for the connection's last failure, with the errno the connection keeps.
QString failureText(sqlite3 *handle, int code, const QString &engineText);

} // namespace tolva
