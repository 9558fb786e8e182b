#pragma once

#include "base/outcome.h"

#include <QString>
#include <QVariant>

namespace tolva {

class Dataset;
class Store;

// The rules of the material specifications (sp5), without widgets.
namespace sizes {

// A specification's texts and ratio.
struct Size {
    QString gg, dw, dw1;
    QVariant bl;
};

// The values of a row as they stand.
Size current(const Dataset &sizes);

// What is missing before a save, or a duplicate: answered before anything is written.
Outcome check(Store &store, const QString &material, const Size &typed, bool adding, const QString &oldGg);

// How many movements use the specification `gg` of `material` (a ratio change recomputes them,
// so the person is asked first).
int movements(Store &store, const QString &material, const QString &gg);

// Saves the pending row of `sizes` (a live result set over sp5) after check(): an edit carries the
// changed texts and ratio into the movements of this specification only, and a changed ratio
// recomputes their quantity in conversion units a2 = bl × (a1 − b1), with the row, all or nothing.
Outcome save(Store &store, Dataset &sizes, const QString &material, const Size &old, bool adding);

// Refuses to delete a specification that movements still name.
Outcome mayRemove(Store &store, const QString &gg);
// Deletes the current row of `rows` when nothing uses `name` (the check of mayRemove), in one
// transaction; otherwise the refusal, nothing deleted.
Outcome removeUnused(Store &store, Dataset &rows, const QString &name);

} // namespace sizes
} // namespace tolva
