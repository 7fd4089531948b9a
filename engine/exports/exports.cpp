// The seven exported chart functions: each resolves its date block (the
// frame), casts the method's chart value with the export's options and
// writes its text into the caller's buffer.
#include "orv.h"

#include "../methods/bazi/bazi.h"
#include "../methods/liuren/liuren.h"
#include "../methods/liuyao/liuyao.h"
#include "../methods/qimen/qimen.h"
#include "../methods/xuankong/xuankong.h"
#include "../methods/ziwei/ziwei.h"
#include "frame.h"
#include "question.h"

using namespace orv;

namespace {

int32_t Liuyao(int32_t l6, int32_t l5, int32_t l4, int32_t l3, int32_t l2, int32_t l1,
               uint8_t solar, uint8_t leap, uint8_t manual, int32_t year, int32_t month,
               int32_t day, int32_t hour, char* buffer, LineAttachment attachment) {
  LiuyaoOptions options;
  options.Manual = manual != 0;
  options.LinesTopFirst = {l6, l5, l4, l3, l2, l1};
  options.Attachment = attachment;
  return ExportChart({solar, leap, year, month, day, hour}, buffer, kChartBufferSize,
                     [&](Moment moment, TextWriter& out) { YaoText(Cast(moment, options), out); });
}

}  // namespace

ORV_EXPORT(int32_t) StrBazi(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer) {
  return ExportChart({solar, leap, year, month, day, hour}, buffer, kChartBufferSize,
                     [male](Moment moment, TextWriter& out) {
                       BaziText(Cast(moment, BaziOptions{male != 0}), out);
                     });
}

ORV_EXPORT(int32_t) StrZiwei(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                             int32_t month, int32_t day, int32_t hour, char* buffer) {
  return ExportChart({solar, leap, year, month, day, hour}, buffer, kZiweiBufferSize,
                     [male](Moment moment, TextWriter& out) {
                       ZiweiText(Cast(moment, ZiweiOptions{male != 0}), out);
                     });
}

ORV_EXPORT(int32_t) StrLiuyao(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                              int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                              uint8_t manual, int32_t year, int32_t month, int32_t day,
                              int32_t hour, char* buffer) {
  return Liuyao(line6, line5, line4, line3, line2, line1, solar, leap, manual, year, month, day,
                hour, buffer, LineAttachment::ByTrigrams);
}

ORV_EXPORT(int32_t) StrLiuyaoL(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                               int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                               uint8_t manual, int32_t year, int32_t month, int32_t day,
                               int32_t hour, char* buffer) {
  return Liuyao(line6, line5, line4, line3, line2, line1, solar, leap, manual, year, month, day,
                hour, buffer, LineAttachment::ByDayXun);
}

ORV_EXPORT(int32_t) StrQimen(uint8_t solar, uint8_t leap, uint8_t flying, int32_t ju,
                             int32_t year, int32_t month, int32_t day, int32_t hour,
                             char* buffer) {
  const QimenOptions options{flying != 0, ju, &AskInstalledHandler};
  return ExportChart({solar, leap, year, month, day, hour}, buffer, kChartBufferSize,
                     [&options](Moment moment, TextWriter& out) {
                       QimenText(Cast(moment, options), out);
                     });
}

ORV_EXPORT(int32_t) Str6Ren(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer,
                            uint8_t daytime, uint8_t guiRen, uint8_t sheHai, int32_t birthYear) {
  LiurenOptions options;
  options.DayOrNight = daytime != 0 ? LiurenOptions::Time::Day : LiurenOptions::Time::Night;
  options.Rules = LiurenRules::FromFlags(guiRen, sheHai);
  options.BirthYear = birthYear;
  options.Male = male != 0;
  options.Ask = &AskInstalledHandler;
  return ExportChart({solar, leap, year, month, day, hour}, buffer, kChartBufferSize,
                     [&options](Moment moment, TextWriter& out) {
                       TOrvDlrStr::LiurenText(Cast(moment, options), out);
                     });
}

ORV_EXPORT(int32_t) StrXuankong(int32_t period, int32_t mountain, uint8_t xiagua, char* buffer) {
  // A period or mountain outside its range gives an empty text.
  TextWriter out(buffer, kChartBufferSize);
  if (const auto chart = Cast(XuankongOptions{period, mountain, xiagua != 0}))
    XuankongText(*chart, out);
  return kResultOk;
}
