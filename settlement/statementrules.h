#pragma once

#include "settlement.h"
#include "base/outcome.h"
#include "base/rights.h"

#include <QHash>
#include <QString>

namespace tolva {
class Dataset;
}

// The rules of the statement chooser and window that change tables, without widgets. Prices and
// the contract's print data are data ("录入"); the printed row height and money block are
// settings ("录入" or "管理"); without the right each is refused and nothing is stored.
namespace tolva::settlement {

// Refuses when a material has no daily price (0 or empty) or one that is not a number.
Outcome checkPrices(Store &store);
// Writes a typed price into the current row of a live "select * from sp1" result set; a text
// that is not a number is refused and the stored price kept.
Outcome setPrice(const Rights &rights, Dataset &materials, const QString &text);

// The contract's print data, each written into the current row of a live sp2 result set at once.
// The other charge's amount: empty stores 0.00; a text that is not a number is refused and the
// stored amount kept.
Outcome setOtherCharge(const Rights &rights, Dataset &contract, const QString &text);
Outcome setOtherName(const Rights &rights, Dataset &contract, const QString &text);
Outcome setRemark(const Rights &rights, Dataset &contract, const QString &text);

// The other charge as printed: " 其它 " for a contract without a name for it, 0 without an amount;
// with the right to change data, these are stored in the contract too.
struct OtherCharge {
    QString name;
    double amount = 0;
};
OtherCharge otherChargeForPrint(const Rights &rights, Dataset &contract);

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
Outcome setRowHeight(const Rights &rights, Store &store, int height);
// Whether the money block prints (b5), with the grand-total band's height (b3) to match: 21
// when the block carries the foot line, 43 when the grand total does.
Outcome setMoneyBlock(const Rights &rights, Store &store, bool printed);

// The decimals of a material's printed quantities (sp1.numsb, 0 to 4), found by name without
// regard to letter case. A material sp1 does not hold (renamed or removed since its movements were
// entered) prints with the default, never with the decimals of the material printed before it.
class MaterialDecimals {
public:
    static constexpr int Default = 2;
    explicit MaterialDecimals(Store &store);
    int of(const QString &material) const;

private:
    QHash<QString, int> decimals_;
};

} // namespace tolva::settlement
