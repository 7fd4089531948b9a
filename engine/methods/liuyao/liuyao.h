// Six Lines chart: lines given top first (0 yin, 1 yang, 2 moving yin, 3 moving yang) or cast from the date; variant selects the alternative line attachment.
#pragma once

#include <string>
#include <array>

namespace orv {

// The finished chart text (GBK, CR LF line ends).
std::string LiuyaoChartText(const std::array<int, 6>& linesTopFirst, bool manual, double date, bool variant);

}  // namespace orv
