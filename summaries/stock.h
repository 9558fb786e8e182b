#pragma once

#include <QString>

namespace tolva {

class Dataset;
class Store;

// How much material is out on hire, computed without widgets. Quantities are in the material's
// unit: each movement by specification counts its pieces times its conversion ratio. A movement
// counted, or an opening stock, that is not a number or has no date stops the count with a
// settlement::BadValue naming it, the tables left as they were.
namespace stock {

// Each material's opening stock, what was sent to and returned from the unsettled contracts, and
// the stock now (namea, kc, kc1, kc2, nowkc), in table order, read in one grouped statement; sp1
// stays as the clerks typed it, so counting needs no right to change it and two counts at once
// cannot spoil each other. Throws BadValue first for a value the count cannot read.
void open(Store &store, Dataset &rows);

// The contracts a balance count covers: the unsettled ones, or every contract whose customer or
// number contains a search text (settled ones too), in table order.
struct Contracts {
    bool unsettledOnly = true;
    QString search;
};

// Refills czbtem with the quantities sent, returned and still on hire per customer name and
// material over the contracts (a1, a2, a3): one row per material, contract and customer name as
// stored on the movements, in the order material, contract, name. Returns the rows written.
int countBalances(Store &store, const Contracts &contracts);

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

// Refills czbnow1 in one transaction; returns the rows written (0 when there is nothing to list).
int compute(Store &store, const Choice &choice);

} // namespace details

} // namespace tolva
