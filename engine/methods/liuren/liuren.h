// Da Liu Ren chart; birthYear 0 or less: none. The GuiRen and SheHai options are process-wide (SetLiurenOptions).
#pragma once

#include <string>

namespace orv {

// The finished chart text (GBK, CR LF line ends).
std::string LiurenChartText(double date, bool daytime, bool male, int birthYear);

}  // namespace orv

namespace orv {
// The two process-wide Liu Ren options; they keep their values until set again.
void SetLiurenOptions(bool guiRen, bool sheHai);
}  // namespace orv
