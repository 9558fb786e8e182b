#pragma once

namespace tolva {

// Takes "--database ADDRESS" out of the arguments and makes it the ledger of this run (as the
// environment variable TOLVA_DATABASE does); false and a message when the address is missing or
// not a server address.
bool takeDatabaseOption(int &argc, char *argv[]);

// "--setup-server ADDRESS": the tables, starting rows and starting users in an empty server
// database. "--copy-to ADDRESS": the folder's whole ledger into such a database.
bool isServerCommand(int argc, char *argv[]);
int runServerCommand(int argc, char *argv[]);

} // namespace tolva
