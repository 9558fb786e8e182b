#pragma once

#include "settlement.h"

#include <QDate>
#include <QString>

#include <optional>

namespace tolva {
class Dataset;
}

namespace tolva::settlement {

// The figures of one statement row (czbtem or czbtem1) that its rent comes from. Empty columns
// are NaN; `movement` is false on a closing row, whose a1 is empty.
struct RowFigures {
    QString namea;
    bool movement = true;
    double a1 = 0, a2 = 0, a3 = 0, a4 = 0, a5 = 0, a8 = 0;
    QDate dbegin, dend;
    // Set on the row of a period statement that carries a material's balance into the period.
    std::optional<Carry> carry;
};

// Reads the current row of a statement result set; `carries` are those the computation reported,
// so that the row carrying a balance into the period is known as such.
RowFigures figures(const Dataset &rows, const QVector<Carry> &carries = {});

// How a row's rent came about: the text shown under the statement grid, and the rent its
// figures give, which is the row's a5 to the cent.
struct Explanation {
    QString text;
    double rent = 0;
};

// Explains a row of the statement the method made; `table` says whether it is the full statement
// (czbtem) or a period statement (czbtem1), whose rows each charge their own balance.
Explanation explain(const RowFigures &row, Method method, Result table);

} // namespace tolva::settlement
