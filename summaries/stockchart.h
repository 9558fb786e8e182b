#pragma once

#include <QStringList>

class QChart;

namespace tolva {

class Dataset;

// Each material's stock in the yard (nowkc) and on hire (kc1 - kc2) as stacked bars, so a bar's
// height is everything the yard owns of it.
QChart *stockChart(const Dataset &stock);

// Over the rows of a distribution summary (czbhz): the quantity on hire of each material, summed over
// the listed contracts (column ak for the k-th of `materials`), as bars.
QChart *hiredChart(const Dataset &summary, const QStringList &materials);

// The twenty largest rent receivables (a23) of a distribution summary by customer, as horizontal
// bars, the largest on top.
QChart *receivablesChart(const Dataset &summary);

} // namespace tolva
