// Shared name tables. Every table is an array of fixed-width, zero-padded GBK
// slots; an entry's text is its slot up to the first zero byte. Indexes are
// not bounds-checked here: the text builders in text.h are.
#pragma once

namespace orv {

extern const char SymbolNames[194][7];      // by symbol code; 0 is one full-width space
extern const char LunarMonthNames[13][3];   // 0 leap mark, 1-12 months
extern const char LunarDayNames[31][5];     // 1-30 (0 "none")
extern const char SolarTermNames[25][5];    // by term number 1-24
extern const char TenGodLongNames[11][5];   // by ten-god number 0-10
extern const char TenGodShortNames[11][3];
extern const char GrowthLongNames[13][5];   // by stage ordinal 1-12
extern const char GrowthShortNames[13][3];
extern const char NayinNames[30][7];        // by (cycle number - 1) / 2

}  // namespace orv
