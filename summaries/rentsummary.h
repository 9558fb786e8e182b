#pragma once

#include "contractlist.h"
#include "base/outcome.h"
#include "base/progress.h"

#include <QDate>

namespace tolva::summaries {

// The rent settlement summary: for each contract of the list, the rent up to the cut-off date (of
// every material, or of `material` only), its fees, deposits and rent received split into bank and
// cash, and what it still owes; one row of czbhz1 per contract with a movement (of that material)
// up to the cut-off date.
//
// Rebuilds czb for the listed contracts first, so it never depends on what another screen left
// there. One transaction: cancelled (Cancelled is thrown) or failed, every table stays as it was.
// An empty list only empties the summary. A value the run reads that is not a number or not a
// date throws settlement::BadValue naming it.
Outcome runRentSummary(Store &store, const QVector<Contract> &contracts, const QDate &cutoff, settlement::Method method,
                       const QString &material = QString(), const Progress &progress = {});

} // namespace tolva::summaries
