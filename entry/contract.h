#pragma once

#include <QDate>
#include <QString>

namespace tolva {

class Dataset;

// The contract an entry screen works on, as the chooser's current row gives it.
struct Contract {
    QString khm, numa;
    QDate begina, enda;

    // The current row of a result set over sp2.
    static Contract current(const Dataset &contracts);
    // The entry screen's banner: 现在录入的是"customer"合同号是"number"的数据.
    QString banner() const;
    // Whether a movement on `date` lies in the hire period, both ends included. A contract without
    // an end (or start) date is open on that side.
    bool covers(const QDate &date) const;
};

namespace contracts {

// Opens the unsettled contracts (jz = '否') whose customer name or number contains `text` (all of
// them when it is empty). The text is bound as a value; its "%", "_" and quotes are searched for
// as typed.
void openUnsettled(Dataset &contracts, const QString &text);

} // namespace contracts
} // namespace tolva
