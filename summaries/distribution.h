#pragma once

#include "contractlist.h"
#include "base/outcome.h"
#include "base/progress.h"

#include <QDate>

namespace tolva::summaries {

// The material distribution summary: for each contract of the list, what it still has on hire of
// each material, the daily rent of that, the rent accumulated, its money and what it still owes,
// all as of the cut-off date, one row of czbhz per contract that has a movement up to that date.
//
// Rebuilds czb for the listed contracts, runs the method into czbtem for each, condenses into
// czbtem1 and czbhz. One transaction: refused, cancelled (Cancelled is thrown) or failed, every
// table stays as it was. Refused when the list is empty. A value the run reads that is not a number
// or not a date (a movement, a price, an amount of a contract that takes part) throws
// settlement::BadValue naming it.
Outcome runDistribution(Store &store, const QVector<Contract> &contracts, const QDate &cutoff,
                        settlement::Method method, const Progress &progress = {});

// The materials in table order (the k-th names column ak/bk of czbhz), at most 15 of them.
QStringList summaryMaterials(Store &store);

} // namespace tolva::summaries
