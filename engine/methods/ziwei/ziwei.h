// Purple Star chart.
#pragma once

#include <string>

namespace orv {

// The finished chart text (GBK, CR LF line ends).
std::string ZiweiChartText(double date, bool male);

}  // namespace orv
