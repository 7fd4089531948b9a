// The calendar of a moment as text: its civil and lunar date, the current
// solar term, the two terms of its civil month and its four pillars (GBK,
// lines ended by CR LF). What orvchart's calendar command shows.
#pragma once

#include "base.h"
#include "text_writer.h"

namespace orv {

// Nothing is written when the moment lies outside the solar-term or the
// lunar table; the result says whether the text was written.
bool CalendarText(const BaseChart& base, TextWriter& out);

}  // namespace orv
