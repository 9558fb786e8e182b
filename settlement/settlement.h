#pragma once

#include "base/progress.h"
#include "store/store.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <string>

namespace tolva::settlement {

// How the statement's period is chosen in the contract chooser.
enum class DateMode {
    Today = 0,         // "当天日期"
    ContractDates = 1, // "按合同日期"
    Range = 2,         // "按日期范围": the statement covers the period only
};

// The four money totals of a contract.
struct Totals {
    double deposits = 0;     // sp3.a1
    double rentReceived = 0; // sp4.a1
    double repairFees = 0;   // czb1.a4
    double scrapFees = 0;    // czb2.a4
};

// Why a preparation stopped; the screen shows message() with its own focus move.
enum class Refusal {
    None,
    PriceMissing,       // a material without a daily price
    PeriodNotAfterStart,
    NoContract,
    NoMovements,
    NoMovementsInPeriod,
};
QString message(Refusal refusal);

struct Movement;
struct Preparation {
    Refusal refusal = Refusal::None;
    Totals totals;
    QString title; // the statement window's title panel text
    // The contract's czb rows as the preparation rebuilt them: a statement computed while czb
    // still holds them takes them from here rather than reading them back.
    std::shared_ptr<const QVector<Movement>> movements;
    bool ok() const { return refusal == Refusal::None; }
};

// The chosen contract and period. With Range, `start` and `end` bound the statement; otherwise
// `end` is where the last hire interval of each material stops.
struct Request {
    QString numa;
    QString khm;
    QDate start;
    QDate end;
    DateMode mode = DateMode::Today;
};

// Checks the prices, the period and the contract's movements, sums the contract's money and
// rebuilds czb for the contract. A refusal leaves every table as it was. A price, a movement, an
// amount or the other charge of the contract that cannot be read as a number or a date throws
// BadValue (values.h) naming it, the tables left as they were too.
// `hasContract` is false when the chooser's list is empty.
Preparation prepare(Store &store, const Request &request, bool hasContract = true,
                    const Progress &progress = {});

// Whether a preparation has much to clear before it starts: czb still holds more than `many` rows
// (a summary's whole ledger), and emptying it alone takes a noticeable time, so that a window shows
// its progress at once rather than after a while.
bool preparationClearsMuch(Store &store, int many = 200000);

// Sums the deposits, rent received, repair fees and compensation of a contract; an amount that is
// not a number throws BadValue.
Totals totals(Store &store, const QString &numa, const QString &khm);

// One row of czb (methods.h).
// The czb rows of one contract, in stored order, as the rebuild makes them.
using ContractRows = std::function<void(const QString &numa, const QVector<Movement> &rows)>;

// Replaces czb with the movements per material and day of the given contracts, built from
// czbnow: first the groups of pieces sent, then those of pieces returned; czbnow1 keeps the
// groups of the list's last contract. A contract with no pieces sent contributes nothing. Reads
// the movements once, in one statement, contract after contract in the order of their numbers,
// so that memory holds one contract's movements at a time; `each`, when given, gets each
// contract's czb rows as they are made. A movement of the contracts, or a material's price, that
// cannot be read as a number or a date throws BadValue (values.h), czb left as it was.
//
// The long computations below report their progress and may be cancelled through `progress`: a
// cancelled one throws Cancelled and leaves every table as it was.
void rebuildMovements(Store &store, const QStringList &contracts, const Progress &progress = {},
                      const ContractRows &each = {});
// The same inside the caller's transaction, without a savepoint of its own: a failure leaves the
// tables to the caller's rollback. For a run over the whole ledger, where a savepoint would keep
// in memory a copy of every page the rebuild changes.
//
// `dated`, when given, learns in passing how many of the movements read are dated within its span
// and the earliest of their dates.
struct Dated {
    QDate from, to; // null: every date
    int count = 0;
    std::string first; // yyyy-mm-dd
};
void rebuildMovementsInside(Store &store, const QStringList &contracts, const Progress &progress = {},
                            const ContractRows &each = {}, Dated *dated = nullptr);
inline void rebuildMovements(Store &store, const QString &numa, const Progress &progress = {})
{
    rebuildMovements(store, QStringList{numa}, progress);
}

enum class Method { StartDayFree = 0, EndDayFree = 1, BothDays = 2 };

struct Run {
    Method method = Method::StartDayFree;
    QString singleMaterial; // empty: every material of the contract
};

// Which table holds the statement after a run.
enum class Result { Czbtem, Czbtem1 };
inline QString tableName(Result r) { return r == Result::Czbtem ? QStringLiteral("czbtem") : QStringLiteral("czbtem1"); }

// Fills czbtem from czb for the contract by the method: one row per movement and, for the first
// two methods, a closing row per material running to the request's end. With DateMode::Range the
// statement is then restricted to the period into czbtem1, a brought-forward row "上期结存" opening
// each material, so that each material's rent is the rent up to the period end less the rent up to
// the day before the period start. Runs in one transaction and reads the contract's czb rows once.
// Rents are rounded to cents by format::round; an interval of no days, or fewer, charges nothing.
//
// The row of a period statement that carries a material's balance into the period charges the
// interval holding the period start as charged up to the period end less as charged up to the day
// before the start; `carries`, when given, receives the days of both, a Carry per such row.
struct Carry {
    QString material;      // the row's numa
    QDate start;           // the period start, the row's date
    double balance = 0;    // the balance the whole interval was charged on
    double days = 0;       // the interval's days as charged up to the end
    double suspended = 0;  // the suspended days deducted from them
    double daysBefore = 0; // its days as charged up to the day before the start
};
// `movements`, when given, are the contract's czb rows as its preparation made them (and czb still
// holds them), in place of reading them.
Result compute(Store &store, const Request &request, const Run &run, const Progress &progress = {},
               QVector<Carry> *carries = nullptr, const QVector<Movement> *movements = nullptr);

// What the summaries take from one material's working rows of a contract.
struct MaterialFigures {
    QString namea;
    double quantity = 0; // sum of a1: what is still on hire
    double rent = 0;     // sum of a5
    double price = 0;    // a4 of the first row whose a4 is not 0, else 0
};

// The run of the summaries for one contract: every material (or only `material`), movements read
// without the sends-before-returns tie-break and only those dated up to the cut-off date, no units
// copied, closing rows carrying the contract's customer name, and the cut-off date as end. Returns
// the figures of each material in reading order; with `writeRows` the working rows also replace
// czbtem (a summary over many contracts leaves there only its last contract's rows). The
// contract's czb rows are read from czb unless given as `movements`.
QVector<MaterialFigures> computeForSummary(Store &store, const QString &numa, const QString &khm, Method method,
                                           const QDate &cutoff, const Progress &progress = {},
                                           const QString &material = QString(), bool writeRows = true,
                                           const QVector<Movement> *movements = nullptr);

// Total rent of the statement in the given table ("select khm,sum(a5) as a5 ... group by khm").
double totalRent(Store &store, Result result);
// What the customer still owes: rent less deposits and rent received, plus fees and the other charge.
double amountDue(double totalRent, const Totals &totals, double otherCharge);

} // namespace tolva::settlement
