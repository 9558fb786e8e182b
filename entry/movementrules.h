#pragma once

#include "contract.h"
#include "base/outcome.h"
#include "base/rights.h"

#include <QDate>
#include <QString>

namespace tolva {

class Dataset;
class Store;

// The rules of the movements by specification (czbnow), without widgets. `rows` is the screen's
// live result set over czbnow, `sizes` its result set over sp5 for the current material.
namespace movements {

// Leaving the sent quantity: an empty one becomes 0; a positive one clears the returned quantity.
void leaveSent(Dataset &rows);
// Leaving the returned quantity or the suspended days: an empty returned quantity becomes 0; a
// positive one clears the sent quantity.
void leaveReturned(Dataset &rows);

// The date a new row proposes: with `followLast` and rows present, the last row becomes current
// and its date is proposed; otherwise today.
QDate proposedDate(Dataset &rows, bool followLast, const QDate &today);

// Why no movement can be added for `material` now (no material, or a material without any
// specification, whose rows could not be converted); done when one can.
Outcome mayAdd(const QString &material, const Dataset &sizes);

// Appends a movement of `material` on `date` for the contract, with the specification of the
// current row of `sizes` and every quantity 0; the row stays pending.
void append(Dataset &rows, const Contract &contract, const QString &material, const QDate &date,
            const Dataset &sizes);

// Copies the current specification of `sizes` (text, unit, conversion unit, ratio) into the pending row.
void chooseSize(Dataset &rows, const Dataset &sizes);

// What a row was before it was edited: its date and suspended days.
struct Before {
    QDate datea;
    double a8 = 0;
};

// Saves the pending movement, dated `date`. Refused, in this order and with the pending row
// kept: no quantity (field a1), a number too large (its field), sent and returned both positive
// (b1), no specification (gg), a date outside the contract (datea), a second row with suspended
// days on the same day for the contract and material (a8, which is set back to 0). Otherwise
// a2 = bl × (a1 − b1) from the row's own ratio, and the row is posted.
Outcome save(Store &store, Dataset &rows, const Contract &contract, const QDate &date, bool adding,
             const Before &before = Before());

// Keeps the date proposal of new rows in the settings row (srf.b7): 0 the last row's date, 1 today.
// A setting: refused without the right "录入" or "管理". On a server it belongs to the desk, not to
// the yard: it is kept for the desktop user, and another clerk's choice does not change it.
Outcome setDateProposal(const Rights &rights, Dataset &settings, int index);
// The date proposal in force (0 when none is kept).
int dateProposal(const Dataset &settings);

} // namespace movements
} // namespace tolva
