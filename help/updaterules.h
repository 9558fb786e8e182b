#pragma once

#include "base/outcome.h"

#include <QString>

namespace tolva {

class Store;

// The steps of the online update and the demonstration that change files or tables, without widgets.
namespace help {

// The files the maker's download folder holds and the programs they contain.
inline QString updateZip() { return QStringLiteral("revizevar.zip"); }
inline QString updateProgram() { return QStringLiteral("revizevar.exe"); }
inline QString guideZip() { return QStringLiteral("tolvaguide_readme.zip"); }
inline QString guideProgram() { return QStringLiteral("tolvaguide_readme.exe"); }

// Unpacks a downloaded ZIP into `folder` once its signature (signatureOf, beside it) verifies under
// `publicKey`, then deletes both; a refused archive is deleted too, so the next attempt fetches it
// again, and nothing of it is written.
Outcome unpackDownload(const QString &zipFile, const QString &folder, const QByteArray &publicKey);

// Adds the column srf.qhsoftnow, where the program's file name is kept, to a ledger that lacks it
// (a server is set up with it). The one change of structure a start makes.
void addProgramNameColumn(Store &store);

// Writes the running program's file name into srf.qhsoftnow, where the update program finds the
// file it replaces.
Outcome recordProgramName(Store &store, const QString &fileName);

} // namespace help
} // namespace tolva
