#pragma once

#include "base/outcome.h"

#include <QString>

namespace tolva {

class Dataset;
class Store;

// The rules of the material names (sp1), without widgets.
namespace materials {

constexpr int MaxMaterials = 15;

// Refuses a sixteenth material.
Outcome mayAdd(Store &store);

struct Change {
    bool adding = false;
    QString name;     // as typed
    int decimals = 0; // numsb, 0-4
};

// Checks and saves the pending row of `materials` (a live "select * from sp1" result set): a name,
// a price when editing, a unique name (a duplicate asks for the pending row to go). A rename is
// carried into every copy of the name (specifications, movements, repair and compensation lines)
// with the row, all or nothing. The name is stored trimmed, in sp1 and in the copies alike.
Outcome save(Store &store, Dataset &materials, const Change &change);

// Refuses to delete a material that specifications or movements still name.
Outcome mayRemove(Store &store, const QString &name);
// Deletes the current row of `rows` when nothing uses `name` (the check of mayRemove), in one
// transaction; otherwise the refusal, nothing deleted.
Outcome removeUnused(Store &store, Dataset &rows, const QString &name);

} // namespace materials
} // namespace tolva
