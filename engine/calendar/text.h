// Text builders shared by every chart renderer. All text is GBK bytes.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "codes.h"

namespace orv {

// Name of a symbol code; codes outside 0-193 give the blank name.
std::string NameOf(int code);
std::string PillarText(int stem, int branch);
inline std::string PillarText(const Pillar& p) { return PillarText(p.Stem, p.Branch); }
// Month name of |month|, then the month mark and the day name; "闰" in front
// of a leap (negative) month.
std::string LunarDateText(int month, int day);
// The four pillars (year, month, day, hour) with the separator between each two.
std::string PillarsLine(const std::array<Pillar, 4>& pillars, std::string_view separator);
// Decimal digits, "-" for negative numbers.
std::string IntText(long long n);

std::string TenGodLongName(int number);
std::string TenGodShortName(int number);
// Growth stage by ordinal 1-12 or by code 141-152.
std::string GrowthLongName(int stage);
std::string GrowthShortName(int stage);
std::string SolarTermName(int term);
std::string NayinName(const Pillar& p);

// Replaces the first occurrence of token in text by value; leaves text as it
// is when the token does not occur.
void ReplaceToken(std::string& text, std::string_view token, std::string_view value);

}  // namespace orv
