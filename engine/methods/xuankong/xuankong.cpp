#include "xuankong.h"

namespace orv {

// Not built yet: the export answers with an empty text.
std::string XuankongChartText(int, int, bool) { return {}; }

}  // namespace orv
