#pragma once

#include "base/outcome.h"

namespace tolva::help {

// Extracts every entry of a ZIP file into `folder`: files replace existing ones, stored folders are
// made, stored permissions kept. The whole archive is refused, with nothing written, when an entry
// would land outside the folder (a "..", an absolute path, a link) or cannot be read.
Outcome unpack(const QString &zipFile, const QString &folder);

} // namespace tolva::help
