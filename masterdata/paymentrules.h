#pragma once

#include "base/outcome.h"

namespace tolva {

class Dataset;

// The rules of the deposits and rent received (sp3, sp4), without widgets.
namespace payments {

// Saves the pending payment of `payments`: the amount must not be 0 and is stored rounded to cents,
// so what the list shows is what the statements add up.
Outcome save(Dataset &payments);

} // namespace payments
} // namespace tolva
