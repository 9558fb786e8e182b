#pragma once

#include <QDate>
#include <QStringList>

class QTextStream;

namespace tolva {

// The statement modes of the command line, run without a window on the data folder `folder`:
//   --statement NUMA --pdf FILE [--from DATE --to DATE]
//   --statement-all --pdf-folder DIR
// The first writes one contract's statement (the contract's dates, or the period given), the
// second one PDF per unsettled contract, each with the method and layout of the settings. What was
// written goes to `out`, the reason of a failure to `err`; returns the exit code.
bool isStatementCommand(const QStringList &arguments);
bool isStatementCommand(int argc, char *argv[]);
int statementCommand(const QStringList &arguments, const QString &folder, const QDate &today, QTextStream &out,
                     QTextStream &err);
// The program's entry for those modes: a windowless application in the current folder, today's
// date from the system, output on the console.
int runStatementCommand(int argc, char *argv[]);

} // namespace tolva
