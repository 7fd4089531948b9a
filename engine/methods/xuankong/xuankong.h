// Xuankong flying-star chart: period 0-8, mountain 0-23, xiagua or tigua.
#pragma once

#include <string>

namespace orv {

// The finished chart text (GBK, CR LF line ends).
std::string XuankongChartText(int period, int mountain, bool xiagua);

}  // namespace orv
