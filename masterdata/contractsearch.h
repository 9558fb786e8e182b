#pragma once

#include <QString>

namespace tolva {

class Dataset;

// Opens the contracts whose customer name or number contains `text` (all contracts when it is
// empty). The text is bound as a value and its "%", "_" and quotes are searched for as typed.
void openContracts(Dataset &contracts, const QString &text);

} // namespace tolva
