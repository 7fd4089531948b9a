#include "bazi.h"

namespace orv {

// Not built yet: the export answers with an empty text.
std::string BaziChartText(double, bool) { return {}; }

}  // namespace orv
