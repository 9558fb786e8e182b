#pragma once

#include "base/error.h"
#include "base/progress.h"
#include "store/statement.h"

#include <QString>

// The values the computations read from the ledger, checked: another program (any SQLite tool)
// may have written a text where a number belongs or a date that is no date, and a figure computed
// over such a row would be wrong without a word. Every computation refuses it instead.
namespace tolva::settlement {

// A value a computation cannot read. Its text names the row (contract, date, material, ...) and
// the value; the computation stops there and leaves every table as it was.
class BadValue : public Error {
public:
    using Error::Error;
};

// The rule of a number column: a number, or empty (null, or a text of blanks only, which is how
// some tools store an emptied cell), which counts as 0 where the computations sum. Any other text
// or a blob is a fault. Asks the statement before the value is read.
bool isNumber(const Statement &s, int column);
// The rule of a date column: a text yyyy-mm-dd naming a day.
bool isDate(const Statement &s, int column);
// The same rules as SQL conditions are the store's notANumber() and notADate().

// A value as a person is shown it in a message, cut when long.
QString shown(const Statement &s, int column);

// Movements by specification (czbnow): the date, and the numbers bl, a1, b1, a2, a8. Throws
// BadValue for the first movement, in table order, of those `where` chooses (a condition on the
// columns of czbnow with named parameters; empty for all) that breaks a rule. Costs almost
// nothing while no other program has changed the file since a check found every movement right.
void checkMovements(Store &store, const QString &where = QString(), const Params &params = {});
// The same, reading the movements a part at a time and reporting the parts through `progress`,
// for a count over the whole ledger that shows how far it got.
void checkMovements(Store &store, const QString &where, const Params &params, const Progress &progress);

// Throws BadValue for the movement with this rowid, which a reader found faulty.
[[noreturn]] void badMovement(Store &store, qint64 rowid);

// The message of a material's daily price (sp1.dj) that is not a number; empty when every price
// is a number or empty.
QString priceFault(Store &store);
// The message for a price read faulty while reading: material name and the statement's column.
QString priceMessage(const QString &material, const Statement &s, int column);

// Money rows: deposits (sp3), rent received (sp4), repair fees (czb1), compensation (czb2). The
// condition that picks a row whose amount is faulty, and the BadValue for such a row.
QString moneyFault(Store &store, const QString &table);
[[noreturn]] void badMoney(Store &store, const QString &table, qint64 rowid);

// The other charge of the contracts `where` chooses (sp2.a2, a condition on sp2 with named
// parameters): throws BadValue for the first that is not a number.
void checkOtherCharges(Store &store, const QString &where, const Params &params);

} // namespace tolva::settlement
