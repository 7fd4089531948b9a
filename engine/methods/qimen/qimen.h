// Qimen chart: flying or rotating placement; ju 0 or less follows the date, 1-9 yang ju, 10-18 yin ju.
#pragma once

#include <string>

namespace orv {

// The finished chart text (GBK, CR LF line ends).
std::string QimenChartText(double date, bool flying, int ju);

}  // namespace orv
