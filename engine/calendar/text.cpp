#include "text.h"

#include "names.h"

namespace orv {
namespace {

template <std::size_t N, std::size_t W>
std::string Slot(const char (&table)[N][W], int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return {};
  const char* slot = table[index];
  std::size_t len = 0;
  while (len < W && slot[len] != '\0') ++len;
  return std::string(slot, len);
}

int StageOrdinal(int stage) { return stage >= kGrowthFirst ? Ordinal(stage) : stage; }

}  // namespace

std::string NameOf(int code) {
  if (code < 0 || code >= kSymbolCount) code = 0;
  return Slot(SymbolNames, code);
}

std::string PillarText(int stem, int branch) { return NameOf(stem) + NameOf(branch); }

std::string LunarDateText(int month, int day) {
  std::string text;
  if (month < 0) text = Slot(LunarMonthNames, 0);
  const int m = month < 0 ? -month : month;
  text += Slot(LunarMonthNames, m);
  text += "月";
  text += Slot(LunarDayNames, day);
  return text;
}

std::string PillarsLine(const std::array<Pillar, 4>& pillars, std::string_view separator) {
  std::string line;
  for (std::size_t i = 0; i < pillars.size(); ++i) {
    if (i > 0) line += separator;
    line += PillarText(pillars[i]);
  }
  return line;
}

std::string IntText(long long n) { return std::to_string(n); }

std::string TenGodLongName(int number) { return Slot(TenGodLongNames, number); }
std::string TenGodShortName(int number) { return Slot(TenGodShortNames, number); }
std::string GrowthLongName(int stage) { return Slot(GrowthLongNames, StageOrdinal(stage)); }
std::string GrowthShortName(int stage) { return Slot(GrowthShortNames, StageOrdinal(stage)); }
std::string SolarTermName(int term) { return Slot(SolarTermNames, term); }
std::string NayinName(const Pillar& p) { return Slot(NayinNames, (CycleNumber(p) - 1) / 2); }

void ReplaceToken(std::string& text, std::string_view token, std::string_view value) {
  if (token.empty()) return;
  const std::size_t at = text.find(token);
  if (at == std::string::npos) return;
  text.replace(at, token.size(), value);
}

}  // namespace orv
