#pragma once

#include "settlement.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>

#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

// The rent computation itself, as pure functions over rows held in memory: the grouping of the
// movements per material and day (what czb holds), the reading order of the methods, the three
// day-counting methods, the period statement and the rounding of rents. No table is read or
// written here; settlement.cpp reads the rows and writes what these return.
namespace tolva::settlement {

// An empty number: arithmetic on it stays empty, as an empty column does in a statement.
constexpr double Empty = std::numeric_limits<double>::quiet_NaN();

// A rent: empty or negative gives 0, anything else is rounded to cents.
double rent(double v);
// The rent `product` of an interval of `days` chargeable days. No days, or fewer, charge nothing,
// whatever the sign of the balance: a negative balance over negative days is not a rent owed.
double rentOver(double days, double product);

// A text column's value as stored (UTF-8), or null. Compared byte by byte, null first, as the
// embedded engine orders texts.
struct Text {
    bool null = true;
    std::string text;
    Text() = default;
    Text(bool isNull, std::string t) : null(isNull), text(std::move(t)) {}
    explicit Text(const QString &s) : null(s.isNull()), text(s.toStdString()) {}
    bool operator<(const Text &o) const { return null != o.null ? null : text < o.text; }
    bool operator==(const Text &o) const { return null == o.null && text == o.text; }
    bool operator!=(const Text &o) const { return !(*this == o); }
    bool empty() const { return null || text.empty(); }
    QString toString() const { return null ? QString() : QString::fromStdString(text); }
};

// A date as stored, yyyy-mm-dd (checked before reading; invalid when malformed), and the text it
// is stored as.
QDate storedDate(std::string_view text);
std::string storedText(const QDate &d);

// A movement by specification (a row of czbnow) as the rebuild groups it, or a group of such
// movements carrying the sums of their numbers. An empty number is Empty; a sum of nothing but
// empty numbers stays empty, as SQL's sum() does. `datea` is a checked date yyyy-mm-dd.
struct Entry {
    Text namea, datea, dw, dw1, numa, khm;
    double a1 = Empty; // pieces sent
    double b1 = Empty; // pieces returned
    double a2 = Empty; // converted quantity, negative for a return
    double a8 = Empty; // suspended days
};

// One contract's movements grouped per material and day (namea, datea, dw, dw1, numa, khm), each
// list in that order: the groups of the movements with pieces sent, and those with pieces
// returned. A movement with both takes part in both; its converted quantity counts once, with the
// sends. A movement with neither takes part in none.
struct Groups {
    QVector<Entry> sends, returns;
};
Groups groupMovements(const QVector<Entry> &movements);

// What czbnow1 holds after a contract's rebuild: nothing when it has no send group, the send
// groups when the first of them has no customer name (the rebuild stops there), else the return
// groups.
const QVector<Entry> &lastGrouping(const Groups &groups);

// The daily prices of the materials: the first price of a name, letter case ignored.
class Prices {
public:
    // A later price of a name already known is ignored; an empty price is Empty.
    void add(const QString &material, double price);
    // Empty for a material that has none.
    double of(const Text &material) const;

private:
    QHash<QString, double> byName_;
    mutable std::unordered_map<std::string, double> seen_;
};

// One row of czb: a material's movement of a day, and how the methods read it. Empty numbers
// (Empty) are read as 0, except the price, which stays empty.
struct Movement {
    Text khm, numa, namea, dw, dw1;
    QDate date;
    double a1 = Empty; // movement in the material's unit
    double a4 = Empty; // daily price
    double a6 = Empty; // movement in pieces
    double a8 = Empty; // suspended days
};

// The czb rows of one contract in stored order: the send groups, then the return groups, each
// priced. None when the contract has no send group or the first has no customer name.
QVector<Movement> movementsPerMaterial(const Groups &groups, const Prices &prices);

// The order in which the methods read the czb rows: by material, date, suspended days first, with
// `sendsFirst` sends before returns, then as stored. Rows dated after `upTo` (when valid), or of
// another material than `material` (when not null), are left out.
QVector<Movement> readingOrder(const QVector<Movement> &rows, bool sendsFirst, const QDate &upTo = QDate(),
                               const Text &material = Text());

// One row of czbtem/czbtem1.
struct Line {
    Text khm, numa, namea, dw, dw1;
    QDate datea, dbegin, dend;
    double a[11] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // a[1]..a[10]
    int days = 0; // days of the interval, before the zero rule blanks them
    bool closing = false;
};

struct Options {
    Method method = Method::StartDayFree;
    QDate end;
    bool units = true;           // copy dw and dw1 into the lines
    Text closingKhm;             // customer name written on closing rows
    bool followsAnother = false; // the material is not the first one read
};

// The lines of one material's movements (n > 0, in reading order) by the method of `o`.
QVector<Line> runMaterial(const Movement *rows, int n, const Options &o);

// The rows of one material in a period statement beginning at `start` (ending at o.end), from the
// material's movements up to the end and `full`, their lines by runMaterial(): a brought-forward
// row, a row carrying the balance into the period when the material was on hire before it, and a
// row per movement of the period. `carries`, when given, receives the carrying row's days.
QVector<Line> periodRows(const Movement *rows, int n, const QVector<Line> &full, const Options &o,
                         const QDate &start, const Text &customer, QVector<Carry> *carries);

// Where a material's lines start to matter for a period beginning at `start`: the first line
// dated on the start, or else the last one before it.
int trimmedFrom(const QVector<Line> &lines, const QDate &start);

// The number of materials among rows in reading order.
int materialCount(const QVector<Movement> &rows);

// A contract's statement from its czb rows in reading order: the lines of every material by the
// method up to `end` and, for a period statement (`start` valid), the restricted rows of each
// material with the lines kept from the start on. Progress counts the materials begun.
struct StatementLines {
    QVector<Line> lines;      // czbtem
    QVector<Line> restricted; // czbtem1, of a period statement
};
StatementLines statementLines(const QVector<Movement> &rows, Method method, const QDate &start, const QDate &end,
                              bool period, const Progress &progress = {}, QVector<Carry> *carries = nullptr);

// What a summary takes from a contract's czb rows in its reading order (see readingOrder with
// sendsFirst false): the figures of each material by the method up to `cutoff`, the closing rows
// carrying `khm` and no units copied. With `lines`, the working rows are appended there.
QVector<MaterialFigures> summaryFigures(const QVector<Movement> &rows, Method method, const QDate &cutoff,
                                        const Text &khm, QVector<Line> *lines = nullptr,
                                        const Progress &progress = {});

} // namespace tolva::settlement
