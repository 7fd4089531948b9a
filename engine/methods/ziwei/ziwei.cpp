#include "ziwei.h"

namespace orv {

// Not built yet: the export answers with an empty text.
std::string ZiweiChartText(double, bool) { return {}; }

}  // namespace orv
