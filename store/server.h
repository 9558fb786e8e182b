#pragma once

#include <QString>
#include <QStringList>

// Work on a database server as a whole: setting a database up for the program, and the databases
// of the test runs. The tables themselves are reached through Store.
namespace tolva::server {

// True for an address of a server database ("postgresql://…").
bool isAddress(const QString &text);
// The address with another database name.
QString withDatabase(const QString &address, const QString &database);
// The address with another user and password.
QString withUser(const QString &address, const QString &user, const QString &password);

// Makes the tables with their starting rows in the empty database at `address` (the address's
// role must be allowed to create tables and roles) and the starting users as login roles with
// the starting password. All or nothing; a database that already holds tables is refused.
// Returns what was made, a line each.
QStringList setUp(const QString &address);

// With a role that may create databases: a new database, copied from `from` when given.
void createDatabase(const QString &address, const QString &name, const QString &from = QString());
// Drops a database, ending the sessions still on it.
void dropDatabase(const QString &address, const QString &name);

} // namespace tolva::server
