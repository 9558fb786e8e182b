#pragma once

#include "base/outcome.h"

namespace tolva::help {

// Unpacks a downloaded archive into `folder`, whole or not at all (base/zip's unpackZip): stored
// folders are made, files replace existing ones (a link is replaced, never written through), a
// program stays executable and the umask gives the permissions. The whole archive is refused, with
// nothing written, when an entry would land outside the folder, is a link, bears the name of one
// of the data files (a download never replaces the ledger, which may live in the same folder),
// cannot be read, or does not fit on the disk.
Outcome unpack(const QString &zipFile, const QString &folder);

} // namespace tolva::help
