#pragma once

#include "base/progress.h"

#include <QString>

namespace tolva {

class Dataset;
class Store;

// How much a count over the ledger reads at a time, so that it can show how far it got: the
// movements by ranges of their row identity, the contracts by ranges of their numbers.
struct PartSizes {
    int movements = 65536;
    int contracts = 250;
};

// How much material is out on hire, computed without widgets. Quantities are in the material's
// unit: each movement by specification counts its pieces times its conversion ratio. A movement
// counted, or an opening stock, that is not a number or has no date stops the count with a
// settlement::BadValue naming it, the tables left as they were.
namespace stock {

// Each material's opening stock, what was sent to and returned from the unsettled contracts, and
// the stock now (namea, kc, kc1, kc2, nowkc), in table order; the sums per contract and material
// go into the working table czbtem1, a part of the contracts at a time, reported through
// `progress`. sp1 stays as the clerks typed it, so counting needs no right to change it. Throws
// BadValue first for a value the count cannot read.
void open(Store &store, Dataset &rows, const Progress &progress = {}, const PartSizes &sizes = {});

// The contracts a balance count covers: the unsettled ones, or every contract whose customer or
// number contains a search text (settled ones too), in table order.
struct Contracts {
    bool unsettledOnly = true;
    QString search;
};

// Refills czbtem with the quantities sent, returned and still on hire per customer name and
// material over the contracts (a1, a2, a3): one row per material, contract and customer name as
// stored on the movements, in the order material, contract, name; a part of the contracts at a
// time, reported through `progress`. Returns the rows written.
int countBalances(Store &store, const Contracts &contracts, const Progress &progress = {},
                  const PartSizes &sizes = {});

// The balance rows ordered by customer (0) or by material (1).
QString balanceStatement(int order);

} // namespace stock

// The movements by specification listed per row or summed, into czbnow1; a movement listed that
// is not a number or has no date stops it with a settlement::BadValue.
namespace details {

enum class Materials { All, One };
enum class Customers { Selected, All };
enum class Grouping { Detail, PerCustomer, PerSize };

struct Choice {
    Materials materials = Materials::All;
    QString material;             // with Materials::One
    Customers customers = Customers::Selected;
    QString numa;                 // with Customers::Selected
    Grouping grouping = Grouping::Detail;
};

// Grouping per size exists only over all customers: with a selected customer it becomes per customer.
Choice normalised(Choice choice);

// Refills czbnow1 in one transaction, over all customers a part of the movements at a time,
// reported through `progress`; returns the rows written (0 when there is nothing to list).
int compute(Store &store, const Choice &choice, const Progress &progress = {}, const PartSizes &sizes = {});

} // namespace details

} // namespace tolva
