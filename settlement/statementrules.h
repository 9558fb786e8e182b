#pragma once

#include "settlement.h"
#include "base/outcome.h"

#include <QString>

namespace tolva {
class Dataset;
}

// The rules of the statement chooser and window that change tables, without widgets.
namespace tolva::settlement {

// Refuses when a material has no daily price (0 or empty) or one that is not a number.
Outcome checkPrices(Store &store);
// Writes a typed price into the current row of a live "select * from sp1" result set; a text
// that is not a number is refused and the stored price kept.
Outcome setPrice(Dataset &materials, const QString &text);

// The contract's print data, each written into the current row of a live sp2 result set at once.
// The other charge's amount: empty stores 0.00; a text that is not a number is refused and the
// stored amount kept.
Outcome setOtherCharge(Dataset &contract, const QString &text);
void setOtherName(Dataset &contract, const QString &text);
void setRemark(Dataset &contract, const QString &text);

// The other charge as printed: a contract without a name for it gets " 其它 " stored, one without
// an amount gets 0 stored.
struct OtherCharge {
    QString name;
    double amount = 0;
};
OtherCharge otherChargeForPrint(Dataset &contract);

// What the settings row says about the statement.
struct StatementSettings {
    Method method = Method::StartDayFree; // b1
    int layout = 0;                       // b6: 0, 1 or 2
    bool moneyBlock = true;               // b5 = 1
    double rowHeight = 20;                // b8
    double totalHeight = 21;              // b3
};
StatementSettings statementSettings(Store &store);
// The printed row height (b8), 10 to 999.
Outcome setRowHeight(Store &store, int height);
// Whether the money block prints (b5), with the grand-total band's height (b3) to match: 21
// when the block carries the foot line, 43 when the grand total does.
void setMoneyBlock(Store &store, bool printed);

} // namespace tolva::settlement
