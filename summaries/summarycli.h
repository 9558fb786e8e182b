#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace tolva::summaries {

// True when the program was started as "tolva --summary ...".
bool isSummaryCommand(int argc, char *argv[]);

// tolva --summary distribution|rent --cutoff yyyy-mm-dd [--material NAME] --pdf FILE
// Runs the summary over the unsettled contracts of the data folder the program is started in, as
// the window's run does (the same tables filled), and writes its print as PDF, without a window.
// Prints what it did; on failure prints the reason and returns non-zero.
int runSummaryCommand(int argc, char *argv[]);

// The same once an application runs: `args` without the program name, the data folder, and the
// date the print carries. Messages go to `out` and `err`.
int summaryCommand(const QStringList &args, const QString &folder, const QDate &today, QTextStream &out,
                   QTextStream &err);

} // namespace tolva::summaries
