#pragma once

class QChart;

namespace tolva {

class Dataset;

// Each material's stock in the yard (nowkc) and on hire (kc1 - kc2) as stacked bars, so a bar's
// height is everything the yard owns of it.
QChart *stockChart(const Dataset &stock);

} // namespace tolva
