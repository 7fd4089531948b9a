// A stand-in for liborv.so, built by the tests and loaded by file name exactly
// like the real library. Every export answers with a known GBK text that
// reports what it received:
//
//   测试盘　━━━○ <marker>\r\n
//   <export> <arguments in order, the buffer left out>\r\n
//   buffer <bytes the caller allocated: 3000, 4000 or the exact size>\r\n
//   [answer <0|1|2|none>\r\n]   (StrQimen and Str6Ren when asked to ask)
//
// Two environment variables steer it: FAKEORV_RESULT, a result code to give
// instead of a chart (the buffer is then left alone), and FAKEORV_ASK, which
// makes StrQimen and Str6Ren ask the solar-term question through the handler
// the program installed. Built with FAKEORV_ONLY_BAZI it exports StrBazi alone.
//
// Compiled to GBK, so its Chinese literals are GBK bytes.
#include <malloc.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orv.h"

#ifndef FAKEORV_MARKER
#define FAKEORV_MARKER "A"
#endif

namespace {

OrvQuestionHandler handler = nullptr;

int ResultOverride() {
  const char* value = std::getenv("FAKEORV_RESULT");
  return value != nullptr ? std::atoi(value) : 0;
}

// The size of the caller's buffer, as far as the allocator tells: the two
// sizes of the engine's buffers when it holds at least that much.
long BufferClass(char* buffer) {
  const size_t usable = malloc_usable_size(buffer);
  if (usable >= ORV_ZIWEI_BUFFER_SIZE) return ORV_ZIWEI_BUFFER_SIZE;
  if (usable >= ORV_CHART_BUFFER_SIZE) return ORV_CHART_BUFFER_SIZE;
  return long(usable);
}

// Writes the report. Touches the last byte the caller must provide first, so
// that a short buffer shows up under AddressSanitizer.
int32_t Report(char* buffer, size_t required, bool mayAsk, const char* name, const char* format,
               ...) {
  if (const int code = ResultOverride()) return code;
  const long bytes = BufferClass(buffer);
  buffer[required - 1] = '\0';
  char arguments[256];
  va_list list;
  va_start(list, format);
  std::vsnprintf(arguments, sizeof arguments, format, list);
  va_end(list);
  char answer[32] = "";
  if (mayAsk && std::getenv("FAKEORV_ASK") != nullptr) {
    if (handler == nullptr)
      std::snprintf(answer, sizeof answer, "answer none\r\n");
    else
      std::snprintf(answer, sizeof answer, "answer %d\r\n",
                    int(handler("今日09:47交节气，您所用的时间在此之前吗？")));
  }
  std::snprintf(buffer, required, "测试盘　━━━○ %s\r\n%s %s\r\nbuffer %ld\r\n%s", FAKEORV_MARKER,
                name, arguments, bytes, answer);
  return 0;
}

}  // namespace

ORV_EXPORT(int32_t) StrBazi(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer) {
  return Report(buffer, ORV_CHART_BUFFER_SIZE, false, "StrBazi", "%d %d %d %d %d %d %d", solar, leap, male, year,
                month, day, hour);
}

#ifndef FAKEORV_ONLY_BAZI

ORV_EXPORT(void) SetQuestionHandler(OrvQuestionHandler h) { handler = h; }

ORV_EXPORT(int32_t) StrZiwei(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                             int32_t month, int32_t day, int32_t hour, char* buffer) {
  return Report(buffer, ORV_ZIWEI_BUFFER_SIZE, false, "StrZiwei", "%d %d %d %d %d %d %d", solar, leap, male, year,
                month, day, hour);
}

ORV_EXPORT(int32_t) StrLiuyao(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                              int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                              uint8_t manual, int32_t year, int32_t month, int32_t day,
                              int32_t hour, char* buffer) {
  return Report(buffer, ORV_CHART_BUFFER_SIZE, false, "StrLiuyao", "%d %d %d %d %d %d %d %d %d %d %d %d %d",
                line6, line5, line4, line3, line2, line1, solar, leap, manual, year, month, day,
                hour);
}

ORV_EXPORT(int32_t) StrLiuyaoL(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                               int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                               uint8_t manual, int32_t year, int32_t month, int32_t day,
                               int32_t hour, char* buffer) {
  return Report(buffer, ORV_CHART_BUFFER_SIZE, false, "StrLiuyaoL", "%d %d %d %d %d %d %d %d %d %d %d %d %d",
                line6, line5, line4, line3, line2, line1, solar, leap, manual, year, month, day,
                hour);
}

ORV_EXPORT(int32_t) StrQimen(uint8_t solar, uint8_t leap, uint8_t flying, int32_t ju,
                             int32_t year, int32_t month, int32_t day, int32_t hour,
                             char* buffer) {
  return Report(buffer, ORV_CHART_BUFFER_SIZE, true, "StrQimen", "%d %d %d %d %d %d %d %d", solar, leap, flying,
                ju, year, month, day, hour);
}

ORV_EXPORT(int32_t) Str6Ren(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer,
                            uint8_t daytime, uint8_t guiRen, uint8_t sheHai, int32_t birthYear) {
  return Report(buffer, ORV_CHART_BUFFER_SIZE, true, "Str6Ren", "%d %d %d %d %d %d %d %d %d %d %d", solar, leap,
                male, year, month, day, hour, daytime, guiRen, sheHai, birthYear);
}

ORV_EXPORT(int32_t) StrXuankong(int32_t period, int32_t mountain, uint8_t xiagua, char* buffer) {
  return Report(buffer, ORV_CHART_BUFFER_SIZE, false, "StrXuankong", "%d %d %d", period, mountain, xiagua);
}

#endif
