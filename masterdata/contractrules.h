#pragma once

#include "base/outcome.h"

#include <QDate>
#include <QString>

namespace tolva {

class Dataset;
class Store;

// The rules of the contracts (sp2), without widgets: each runs in its own transaction and answers
// with an Outcome.
namespace contracts {

inline QString settled() { return QStringLiteral("是"); }
inline QString open() { return QStringLiteral("否"); }

// What was typed for the pending row of the contract list, and what the row held before an edit.
struct Change {
    bool adding = false;
    QString oldKhm, oldNuma; // as stored before the edit
    QString khm, numa;       // as typed
    QDate begin, end;
};

// Checks and saves the pending row of `contracts` (a live "select * from sp2" result set in edit
// or insert state): the period, the required texts, the movements inside the period, the unique
// number; an edit carries a new customer name or number into the rows of this contract only
// (movements, deposits, rent received, repair and compensation lines), with the row, all or nothing.
// The number and the name are stored trimmed. A duplicate number asks for the pending row to go.
Outcome save(Store &store, Dataset &contracts, const Change &change);

// The rows that go with a contract when it is deleted.
struct Holdings {
    int movements = 0, deposits = 0, rentReceived = 0, repairLines = 0, compensationLines = 0;
    bool any() const { return movements + deposits + rentReceived + repairLines + compensationLines > 0; }
    // "发生数据3笔、押金1笔" ...: what a confirmation names.
    QString describe() const;
};
Holdings holdings(Store &store, const QString &numa);

// Refuses to delete an open contract ("该客户还未结帐,无法删除!").
Outcome mayRemove(const QString &jz);
// Deletes the current row of `contracts` with every row of the contract in the movement and money
// tables, in one transaction.
void remove(Store &store, Dataset &contracts);

} // namespace contracts
} // namespace tolva
