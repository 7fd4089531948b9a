#include "calendar_text.h"

#include "text.h"

namespace orv {
namespace {

// "yyyy-mm-dd hh:mm:ss"
void WriteTime(TextWriter& out, Moment moment) {
  const CivilTime t = DecodeDateTime(moment);
  out << Decimal(t.Year, 4) << '-' << Decimal(t.Month, 2) << '-' << Decimal(t.Day, 2) << ' '
      << Decimal(t.Hour, 2) << ':' << Decimal(t.Minute, 2) << ':' << Decimal(t.Second, 2);
}

}  // namespace

bool CalendarText(const BaseChart& base, TextWriter& out) {
  if (base.JieTerm == 0 || base.Lunar[0] == 0) return false;
  char civil[32];
  TextWriter time(civil, sizeof civil);
  WriteTime(time, base.DateValue);
  out << "公历：" << time.View().substr(0, 16) << kCrLf;
  out << "农历：" << base.Lunar[0] << "年（" << PillarOfNumber(YearCycleNumber(base.Lunar[0]))
      << "年）" << LunarDateText(base.Lunar[1], base.Lunar[2]) << kCrLf;
  out << "节气：" << SolarTermName(base.CurrentTerm) << kCrLf;
  out << "本月：" << SolarTermName(base.JieTerm) << ' ';
  WriteTime(out, ShownMoment(base.JieInstant));
  out << "　" << SolarTermName(base.QiTerm) << ' ';
  WriteTime(out, ShownMoment(base.QiInstant));
  out << kCrLf << "四柱：" << PillarsLine(base.Pillars(), " ") << kCrLf;
  return true;
}

}  // namespace orv
