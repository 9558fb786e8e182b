#pragma once

#include "settlement.h"
#include "statementrules.h"
#include "printing/report.h"

namespace tolva {
class Dataset;
}

namespace tolva::settlement {

// What the printed statement shows beside its rows: the period, the money of the contract and the
// amount due, the remark, and the settings that shape it.
struct PrintData {
    QDate start, end;
    Totals totals;
    OtherCharge other;
    double totalRent = 0;
    QString remark;
    StatementSettings settings;
    double amountDue() const { return settlement::amountDue(totalRent, totals, other.amount); }
};

// The template of the layout in the settings (srf.b6), with the money block shown or hidden and
// the places of the period, money, amount due and remark filled by the sources' values.
report::Template statementTemplate(const PrintData &data);

// What the statement template reads: the statement rows as "Query1", the chosen contract's sp2 row
// as "czbcx1.Query1", the titles as "dwm.Query1", and the values the template asks for per row
// (a1_a/a1_b, the date and interval cells, the decimals of each material from sp1.numsb).
report::Sources statementSources(Store &store, Dataset &rows, Dataset &contract, Dataset &titles,
                                 const PrintData &data);

// The statement of a contract as printed, from the rows of the last method run; the other charge
// is read (and stored when missing) as the print of a clerk with the right "录入" stores it: the
// command line runs at the data folder, without a login. Throws report::ReportError.
report::PreparedReport prepareStatement(Store &store, Result result, Dataset &contract, Dataset &titles,
                                        const QDate &start, const QDate &end, const Totals &totals,
                                        const QString &remark, const QDate &today);

} // namespace tolva::settlement
