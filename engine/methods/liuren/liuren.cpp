#include "liuren.h"

namespace orv {

// Not built yet: the export answers with an empty text.
std::string LiurenChartText(double, bool, bool, int) { return {}; }

}  // namespace orv

namespace orv {
namespace {
bool gGuiRen = false;
bool gSheHai = false;
}  // namespace

void SetLiurenOptions(bool guiRen, bool sheHai) {
  gGuiRen = guiRen;
  gSheHai = sheHai;
}
}  // namespace orv
