// Four Pillars chart.
#pragma once

#include <string>

namespace orv {

// The finished chart text (GBK, CR LF line ends).
std::string BaziChartText(double date, bool male);

}  // namespace orv
