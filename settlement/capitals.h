#pragma once

#include <QString>

namespace tolva::settlement {

// An amount of money in Chinese capitals as banks want it written by hand: 零 for inner zeros,
// 整 where there are no 分, 负 before a negative amount, 壹拾 for a leading ten
// (0.00 → 零元整, 1409.50 → 壹仟肆佰零玖元伍角整, −25 → 负贰拾伍元整). The amount is first
// rounded to cents.
QString capitals(double amount);

} // namespace tolva::settlement
