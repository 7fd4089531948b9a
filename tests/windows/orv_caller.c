/* A C program of another vendor calling the engine: it loads the library by
 * its file name (LoadLibrary on Windows, dlopen elsewhere), finds every
 * export by name (GetProcAddress, dlsym), calls each through a pointer of the
 * export's own type (__stdcall on 32-bit Windows) on a fixed sweep of inputs,
 * and writes every call, its result and its text byte for byte to a file.
 * The files of the Linux and the Windows engines must be equal.
 *
 *   orv_caller LIBRARY OUTPUT
 *
 * StrChartJson is called for one method per moment of the sweep (every
 * method in turn, with times to the second), with a buffer too short and
 * with one that holds the whole JSON; StrChartText for the same request.
 *
 * The last line names the exports called; a caller that misses an export of
 * orv.h is caught by the script that compares it with orv.h. */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orv.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
typedef HMODULE Library;
static Library OpenLibrary(const char* path) { return LoadLibraryA(path); }
static void* FindExport(Library library, const char* name) {
  return (void*)(uintptr_t)GetProcAddress(library, name);
}
#else
#include <dlfcn.h>
typedef void* Library;
static Library OpenLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* FindExport(Library library, const char* name) { return dlsym(library, name); }
#endif

static FILE* out;
static char called[512];

/* The export `name`, or the end of the program. */
static void* Export(Library library, const char* name) {
  void* p = FindExport(library, name);
  if (p == NULL) {
    fprintf(stderr, "orv_caller: the library has no export %s\n", name);
    exit(1);
  }
  if (strstr(called, name) == NULL) {
    strcat(called, " ");
    strcat(called, name);
  }
  return p;
}

#define EXPORT(library, name) ((__typeof__(&name))Export(library, #name))

static void Line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(out, format, args);
  va_end(args);
}

/* The buffer is filled with a pattern before each call: a refused call must
 * leave it whole, a chart must end at its zero with the pattern after it. */
enum { kPattern = 0x5A };
static char buffer[ORV_ZIWEI_BUFFER_SIZE];

static void Prepare(void) { memset(buffer, kPattern, sizeof buffer); }

static void Record(int32_t result, size_t capacity) {
  size_t length = 0;
  size_t i;
  Line("result %d\n", (int)result);
  if (result != 0) {
    for (i = 0; i < sizeof buffer; ++i)
      if (buffer[i] != kPattern) break;
    Line(i == sizeof buffer ? "buffer untouched\n" : "buffer changed at %u\n", (unsigned)i);
    return;
  }
  while (length < capacity && buffer[length] != '\0') ++length;
  if (length == capacity) {
    Line("no terminating zero within %u bytes\n", (unsigned)capacity);
    return;
  }
  for (i = length + 1; i < sizeof buffer; ++i)
    if (buffer[i] != kPattern) break;
  Line("%u bytes%s\n", (unsigned)length, i == sizeof buffer ? "" : ", written past the zero");
  fwrite(buffer, 1, length, out);
  Line("\n");
}

/* The JSON of a chart: the length asked with a buffer too short (which must
 * hold an empty text), then the whole JSON. */
static char json[1 << 16];
enum { kShortJson = 16 };

static void RecordJson(Library lib, const OrvChartRequest* request) {
  int32_t needed, result;
  size_t i;
  memset(json, kPattern, sizeof json);
  needed = EXPORT(lib, StrChartJson)(request, json, kShortJson);
  Line("result %d\n", (int)needed);
  if (needed < 0) {
    for (i = 0; i < sizeof json; ++i)
      if (json[i] != kPattern) break;
    Line(i == sizeof json ? "buffer untouched\n" : "buffer changed at %u\n", (unsigned)i);
    return;
  }
  if (needed >= kShortJson && json[0] != '\0') Line("short buffer not empty\n");
  memset(json, kPattern, sizeof json);
  result = EXPORT(lib, StrChartJson)(request, json, (int32_t)sizeof json);
  if (result != needed || (size_t)result >= sizeof json || json[result] != '\0') {
    Line("NOT the JSON of %d bytes: result %d\n", (int)needed, (int)result);
    return;
  }
  for (i = (size_t)result + 1; i < sizeof json; ++i)
    if (json[i] != kPattern) break;
  Line("%d bytes%s\n", (int)result, i == sizeof json ? "" : ", written past the zero");
  fwrite(json, 1, (size_t)result, out);
  Line("\n");
}

/* The question handler: records each question and gives the answer set. */
static int32_t answer = 2;
static int32_t ORV_CALL Handler(const char* question) {
  Line("question: %s (answer %d)\n", question, (int)answer);
  return answer;
}

/* The civil date `days` days after 1902-01-01. */
static void CivilDate(long days, int* year, int* month, int* day) {
  const long z = days + 694631; /* days since 0000-03-01 */
  const long era = z / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  *day = (int)(doy - (153 * mp + 2) / 5 + 1);
  *month = (int)(mp < 10 ? mp + 3 : mp - 9);
  *year = (int)(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

/* The moments of the sweep: every 53rd day of 1902-2050 at a changing hour,
 * solar, and a lunar date made of the same numbers (often one that does not
 * exist, which the engine refuses with 2). */
typedef struct {
  uint8_t solar, leap, flag;
  int32_t year, month, day, hour;
} Moment;

/* The request for StrChartJson of method 1 + i % 7 at the sweep's moment,
 * with a minute and a second and every option taken from i. */
static void ChartJson(Library lib, long i, const Moment* m, const int32_t lines[6], int32_t ju,
                      int32_t birth) {
  OrvChartRequest r;
  int k;
  memset(&r, 0, sizeof r);
  r.size = (uint32_t)sizeof r;
  r.method = (int32_t)(1 + i % 7);
  r.solar = m->solar;
  r.leap = m->leap;
  r.year = m->year;
  r.month = m->month;
  r.day = m->day;
  r.hour = m->hour;
  r.minute = (int32_t)(i * 7 % 60);
  r.second = (int32_t)(i * 13 % 60);
  r.male = m->flag;
  r.manualLines = (uint8_t)(i % 2);
  for (k = 0; k < 6; ++k) r.lines[k] = lines[k];
  r.flying = m->flag;
  r.ju = ju < 0 ? 0 : ju % 19;
  r.daytime = (int32_t)(i % 3);
  r.guiRen = (uint8_t)(i % 4 < 2);
  r.sheHai = (uint8_t)(i % 6 < 3);
  r.birthYear = birth < 0 ? 0 : birth;
  r.period = (int32_t)(1 + i % 9);
  r.mountain = (int32_t)(i % 24);
  r.xiagua = (uint8_t)(i % 5 < 3);
  Line("StrChartJson %d %d %d %d %d %d %d %d %d %d\n", (int)r.method, r.solar, r.leap, (int)r.year,
       (int)r.month, (int)r.day, (int)r.hour, (int)r.minute, (int)r.second, (int)i);
  RecordJson(lib, &r);
  /* The text of the same request, cast to the second. */
  Line("StrChartText\n");
  Prepare();
  Record(EXPORT(lib, StrChartText)(&r, buffer, (int32_t)sizeof buffer), sizeof buffer);
}

static int NextMoment(long i, Moment* m) {
  int y, mo, d;
  CivilDate(i * 53, &y, &mo, &d);
  if (y > 2050) return 0;
  m->solar = (uint8_t)(i % 2 == 0);
  m->leap = (uint8_t)(!m->solar && i % 7 == 1);
  m->flag = (uint8_t)(i % 3 == 0);
  m->year = y;
  m->month = mo;
  m->day = m->solar ? d : 1 + (d * 7) % 30;
  m->hour = (int32_t)(i % 24);
  /* Now and then a day or an hour that does not exist (refused with 1). */
  if (m->solar && i % 22 == 10) m->day = 31;
  if (m->solar && i % 26 == 12) m->hour = 24;
  return 1;
}

static void Sweep(Library lib) {
  Moment m;
  long i;
  for (i = 0; NextMoment(i, &m); ++i) {
    const int32_t lines[6] = {(int32_t)(i % 4), (int32_t)(i / 4 % 4), (int32_t)(i / 16 % 4),
                              (int32_t)(i / 64 % 4), (int32_t)(i / 3 % 4), (int32_t)(i / 5 % 4)};
    const int32_t ju = (int32_t)(i % 21) - 1;
    const int32_t birth = i % 4 == 0 ? -1 : 1920 + (int32_t)(i % 101);
    Line("StrBazi %d %d %d %d %d %d %d\n", m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour);
    Prepare();
    Record(EXPORT(lib, StrBazi)(m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour, buffer),
           ORV_CHART_BUFFER_SIZE);
    Line("StrZiwei %d %d %d %d %d %d %d\n", m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour);
    Prepare();
    Record(EXPORT(lib, StrZiwei)(m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour, buffer),
           ORV_ZIWEI_BUFFER_SIZE);
    Line("StrLiuyao %d %d %d %d %d %d %d %d %d %d %d %d %d\n", lines[0], lines[1], lines[2], lines[3],
         lines[4], lines[5], m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour);
    Prepare();
    Record(EXPORT(lib, StrLiuyao)(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5],
                                  m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour, buffer),
           ORV_CHART_BUFFER_SIZE);
    Line("StrLiuyaoL %d %d %d %d %d %d %d %d %d %d %d %d %d\n", lines[0], lines[1], lines[2],
         lines[3], lines[4], lines[5], m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour);
    Prepare();
    Record(EXPORT(lib, StrLiuyaoL)(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5],
                                   m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour, buffer),
           ORV_CHART_BUFFER_SIZE);
    Line("StrQimen %d %d %d %d %d %d %d %d\n", m.solar, m.leap, m.flag, ju, m.year, m.month, m.day,
         m.hour);
    Prepare();
    Record(EXPORT(lib, StrQimen)(m.solar, m.leap, m.flag, ju, m.year, m.month, m.day, m.hour,
                                 buffer),
           ORV_CHART_BUFFER_SIZE);
    Line("Str6Ren %d %d %d %d %d %d %d %d %d %d %d\n", m.solar, m.leap, m.flag, m.year, m.month,
         m.day, m.hour, (int)(i % 5 < 2), (int)(i % 4 < 2), (int)(i % 6 < 3), birth);
    Prepare();
    Record(EXPORT(lib, Str6Ren)(m.solar, m.leap, m.flag, m.year, m.month, m.day, m.hour, buffer,
                                (uint8_t)(i % 5 < 2), (uint8_t)(i % 4 < 2), (uint8_t)(i % 6 < 3),
                                birth),
           ORV_CHART_BUFFER_SIZE);
    ChartJson(lib, i, &m, lines, ju, birth);
  }
}

/* Every Xuankong chart there is, and the arguments outside the ranges. */
static void Xuankong(Library lib) {
  int32_t period, mountain;
  uint8_t xiagua;
  for (period = -1; period <= 9; ++period)
    for (mountain = -1; mountain <= 24; ++mountain)
      for (xiagua = 0; xiagua <= 1; ++xiagua) {
        Line("StrXuankong %d %d %d\n", period, mountain, xiagua);
        Prepare();
        Record(EXPORT(lib, StrXuankong)(period, mountain, xiagua, buffer), ORV_CHART_BUFFER_SIZE);
      }
}

/* 小寒 of 2000 falls at 09:00:42: charts at 10:00 that day ask about it. */
static void Questions(Library lib) {
  for (answer = 0; answer <= 3; ++answer) {
    Line("StrQimen 1 0 0 0 2000 1 6 10\n");
    Prepare();
    Record(EXPORT(lib, StrQimen)(1, 0, 0, 0, 2000, 1, 6, 10, buffer), ORV_CHART_BUFFER_SIZE);
    Line("Str6Ren 1 0 1 2000 1 6 10 1 1 1 -1\n");
    Prepare();
    Record(EXPORT(lib, Str6Ren)(1, 0, 1, 2000, 1, 6, 10, buffer, 1, 1, 1, -1),
           ORV_CHART_BUFFER_SIZE);
    {
      OrvChartRequest r;
      memset(&r, 0, sizeof r);
      r.size = (uint32_t)sizeof r;
      r.method = ORV_METHOD_QIMEN;
      r.solar = 1;
      r.year = 2000;
      r.month = 1;
      r.day = 6;
      r.hour = 10;
      Line("StrChartJson qimen 2000 1 6 10\n");
      RecordJson(lib, &r);
    }
  }
  answer = 2;
}

/* A flag is the low byte of its 32-bit slot: a caller that leaves other bits
 * in the slot gets the flag of the low byte. The export is called through a
 * view of its slots (every flag a whole 32-bit word), which only holds where
 * each argument takes one slot of its own, as the ABI promises. */
typedef int32_t(ORV_CALL* BaziSlots)(uint32_t solar, uint32_t leap, uint32_t male, int32_t year,
                                     int32_t month, int32_t day, int32_t hour, char* buffer);
static void FlagSlots(Library lib) {
  static char typed[ORV_CHART_BUFFER_SIZE];
  const uint32_t slots[] = {0x00000000u, 0x00000001u, 0xFFFFFF00u, 0x12345601u, 0x00000100u};
  const BaziSlots bazi = (BaziSlots)(uintptr_t)EXPORT(lib, StrBazi);
  size_t s;
  for (s = 0; s < sizeof slots / sizeof slots[0]; ++s) {
    const uint8_t male = (uint8_t)(slots[s] & 0xFFu);
    int32_t result;
    memset(typed, 0, sizeof typed);
    EXPORT(lib, StrBazi)(1, 0, male, 1984, 2, 4, 12, typed);
    Line("StrBazi slots 0x%08lx 0x%08lx 0x%08lx 1984 2 4 12\n", 0xABCDEF01ul, 0xABCDEF00ul,
         (unsigned long)slots[s]);
    Prepare();
    result = bazi(0xABCDEF01u, 0xABCDEF00u, slots[s], 1984, 2, 4, 12, buffer);
    Record(result, ORV_CHART_BUFFER_SIZE);
    Line(strcmp(typed, buffer) == 0 ? "the text of StrBazi(1, 0, %d, ...)\n"
                                    : "NOT the text of StrBazi(1, 0, %d, ...)\n",
         (int)male);
  }
}

int main(int argc, char** argv) {
  Library lib;
  if (argc != 3) {
    fprintf(stderr, "usage: orv_caller LIBRARY OUTPUT\n");
    return 2;
  }
  lib = OpenLibrary(argv[1]);
  if (lib == NULL) {
    fprintf(stderr, "orv_caller: cannot load %s\n", argv[1]);
    return 1;
  }
  out = fopen(argv[2], "wb");
  if (out == NULL) {
    fprintf(stderr, "orv_caller: cannot write %s\n", argv[2]);
    return 1;
  }
  EXPORT(lib, SetQuestionHandler)(&Handler);
  Sweep(lib);
  Xuankong(lib);
  Questions(lib);
  FlagSlots(lib);
  EXPORT(lib, SetQuestionHandler)(NULL);
  Line("exports:%s\n", called);
  return fclose(out) == 0 ? 0 : 1;
}
