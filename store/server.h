#pragma once

#include <QString>
#include <QStringList>

namespace tolva {
class Store;
}

// Work on a database server as a whole: setting a database up for the program, and the databases
// of the test runs. The tables themselves are reached through Store.
namespace tolva::server {

// True for an address of a server database ("postgresql://…").
bool isAddress(const QString &text);
// The address with another database name.
QString withDatabase(const QString &address, const QString &database);
// The address with another user and password.
QString withUser(const QString &address, const QString &user, const QString &password);

// The role a login window signs in with to list the clerks' names before anyone has logged in. It
// may read the names of the users and the settings and titles rows, nothing else; its password is
// no secret.
QString namesRole();
// The address a window opens before the login: the address as given when it names a user,
// otherwise with namesRole().
QString loginAddress(const QString &address);

// Makes the tables with their starting rows in the empty database at `address` (the address's
// role must be allowed to create tables and roles) and the starting users as login roles with
// the starting password. All or nothing; a database that already holds tables is refused.
// Returns what was made, a line each.
QStringList setUp(const QString &address);

// Copies the whole ledger of `from` into the set-up database at `address` whose tables hold no more
// than their starting rows, all or nothing: every table's rows replace the server's. A value the
// server will not hold (text in a number or date column, a text longer than its column) stops the
// copy before anything is written; `problems` then lists each. Users without a server login get
// one with their password. Returns what was copied, a line a table.
QStringList copyTo(Store &from, const QString &address, QStringList &problems);

// With a role that may create databases: a new database, copied from `from` when given.
void createDatabase(const QString &address, const QString &name, const QString &from = QString());
// Drops a database, ending the sessions still on it.
void dropDatabase(const QString &address, const QString &name);
// Makes `user` a login of the server (if it is not one yet) with `password` and the group of
// `right` alone. Logins belong to the whole server, not to one of its databases.
void setLogin(const QString &address, const QString &user, const QString &password, const QString &right);

} // namespace tolva::server
