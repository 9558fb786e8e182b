#pragma once

#include "printing/report.h"

#include <QDate>
#include <QStringList>

namespace tolva {
class Dataset;
class Store;
}

namespace tolva::summaries {

// The summaries as listed and printed: by settled flag, then contract number as text.
void openDistribution(Dataset &summary);
void openRentSummary(Dataset &summary);

// "截止日期:2004年3月5日": numbers without leading zeros.
QString cutoffText(const QDate &cutoff);

// A report ready to prepare: its layout and what it reads. The caller adds the titles
// ("dwm.Query1") and today's date when it has its own.
struct Print {
    report::Template layout;
    report::Sources sources;
};

// The material distribution summary over `summary` (czbhz as listed): the first page design prints
// materials 1 to 6 with the data rows as high as the settings' srf.b9, the continuation page design
// materials 7 to 15, left out when there are six materials or fewer.
Print distributionPrint(const QStringList &materials, Dataset &summary, Dataset &settings, const QDate &cutoff);

// The rent settlement summary over `summary` (czbhz1 as listed), rows as high as srf.b10;
// `material` is the one chosen, empty for all materials.
Print rentPrint(Dataset &summary, Dataset &settings, const QDate &cutoff, const QString &material);

} // namespace tolva::summaries
