#pragma once

#include "contract.h"
#include "base/outcome.h"

#include <QString>

namespace tolva {

class Dataset;
class Store;

// The rules of the repair-fee (czb1) and scrap-compensation (czb2) statement lines, without
// widgets. `lines` is the screen's live result set over the table.
namespace charges {

// The reason a new compensation line proposes.
inline QString compensationReason() { return QStringLiteral("赔偿费"); }

// Appends a line for the contract and material with quantity, price and amount 0 and the reason
// given (empty for repairs); the line stays pending.
void append(Dataset &lines, const Contract &contract, const QString &material, const QString &reason);

// While a line is pending: amount = quantity × unit price, rounded to cents.
void computeAmount(Dataset &lines);

// Saves the pending line. Refused, in this order and with the line kept: no reason (field a1),
// no quantity (a2), no unit price (a3), a number too large (its field). Otherwise the price is
// kept to the cent, the amount computed from it, and the line posted.
Outcome save(Store &store, Dataset &lines);

} // namespace charges
} // namespace tolva
