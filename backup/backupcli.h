#pragma once

#include <QDateTime>
#include <QStringList>

class QTextStream;

namespace tolva {

// The backup modes of the command line, run without a window on the data folder `folder`:
//   --backup ARCHIVE    writes the archive (".zip" added when missing), reads it back, compacts
//   --restore ARCHIVE   restores the data files from the archive, all or nothing
// What was done goes to `out`, the reason of a failure to `err`; returns the exit code.
bool isBackupCommand(int argc, char *argv[]);
int backupCommand(const QStringList &arguments, const QString &folder, const QDateTime &now, QTextStream &out,
                  QTextStream &err);
// The program's entry for those modes: a windowless application in the current folder.
int runBackupCommand(int argc, char *argv[]);

} // namespace tolva
