#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// The change log (rzb) and the closed period (srf.zzrq) as the database keeps them: which tables
// log their changes, which are closed up to the closing date, and the triggers of each engine that
// do both inside the changing statement. Seen only inside store/.
namespace tolva::changelog {

struct LoggedTable {
    QString name;
    // The columns the log's rows hold (empty: every column); the password never.
    QStringList shown;
    // An update is logged when one of these changes (empty: any shown column). The stock figures
    // that the stock count writes into sp1 are no one's change.
    QStringList watched;
};

// The business tables whose every change writes a row into rzb.
const QVector<LoggedTable> &loggedTables();
// The tables closed up to the closing date by their date column datea.
const QStringList &closedTables();
// The columns of a closed table whose change touches no figure: the copies of names that the
// renaming cascades carry (a renamed customer, contract, material or specification).
const QStringList &nameCopies();

// The message of a change in the closed period, with %1 for the closing date.
QString closedPattern();

using ColumnsOf = std::function<QStringList(const QString &table)>;

// The temporary triggers of the embedded engine over the tables of the connection's file; they
// call the connection's functions tolva_now(), tolva_user() and tolva_closed(closing date).
QStringList sqliteTriggers(const ColumnsOf &columnsOf);
// The server's functions and triggers; the log names the session's role, or, for the role that
// owns the tables (set-up, command-line modes), the user the session set in "tolva.user".
QStringList serverTriggers(const ColumnsOf &columnsOf);

} // namespace tolva::changelog
