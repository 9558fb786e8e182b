#pragma once

#include "settlement/settlement.h"
#include "store/store.h"

#include <QString>
#include <QVector>

#include <functional>

namespace tolva {
class Dataset;
}

namespace tolva::summaries {

// A contract a summary runs over, as the contract list holds it.
struct Contract {
    QString numa, khm, jz;
};

// The settled flag of a contract that is still open.
inline QString unsettled() { return QStringLiteral("否"); }

// Opens the unsettled contracts (sp2 in table order) whose customer name or number contains the
// search text trimmed of blanks; all of them when it is blank. The text is bound, and its "%", "_"
// and quotes are searched for as typed.
void openUnsettled(Dataset &list, const QString &search);
// The same contracts, read without a result set.
QVector<Contract> unsettledContracts(Store &store, const QString &search = QString());
// The contracts of an open list, first to last.
QVector<Contract> contractsOf(const Dataset &list);

// The calculation method chosen in the settings (srf.b1); anything but 1 or 2 counts as 0.
settlement::Method chosenMethod(Store &store);

// The money of one contract (its numa and khm together), deposits and rent received split by the
// payment type: "银行" (trimmed of blanks) is the bank, anything else cash.
struct Money {
    double depositsBank = 0, depositsCash = 0;
    double receivedBank = 0, receivedCash = 0;
    double repairFees = 0, scrapFees = 0;
    double deposits() const { return depositsBank + depositsCash; }
    double received() const { return receivedBank + receivedCash; }
};

// The money of every contract, read once per table for a whole run.
class MoneyTotals {
public:
    explicit MoneyTotals(Store &store);
    // Throws settlement::BadValue when an amount of the contract is not a number.
    Money of(const QString &numa, const QString &khm) const;

private:
    Store &store_;
    QHash<QPair<QString, QString>, Money> money_;
    // Per contract, the first of its money rows whose amount is no number: table and rowid.
    QHash<QPair<QString, QString>, QPair<QString, qint64>> faults_;
};

// What a run writes beside its progress: stage, contract i of n and the customer name.
QString progressText(const QString &stage, int index, int count, const QString &khm);

// The part both summaries share, run inside the caller's transaction: czb rebuilt for the
// contracts and `table` emptied, while, in the same pass over the movements, each contract's
// figures as of the cut-off date (of `material` only, when given) are handed to `each` with its
// number, in the order of the numbers. A contract with nothing on or before the cut-off takes no
// part. Afterwards czbtem holds the working rows of the list's last contract. The progress runs
// over the contracts and one step more, which the caller reports when it has written its rows.
using ContractFigures = std::function<void(const QString &numa, const QVector<settlement::MaterialFigures> &)>;
void summariseContracts(Store &store, const QVector<Contract> &contracts, const QDate &cutoff,
                        settlement::Method method, const QString &material, const QString &table,
                        const Progress &progress, const ContractFigures &each);

} // namespace tolva::summaries
