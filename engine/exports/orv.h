/* The chart engine's exported functions.
 *
 * Each export resolves its date, computes one chart and writes the chart text
 * (GBK, lines ended by CR LF, zero-terminated) into the caller's buffer.
 * Buffers are ORV_CHART_BUFFER_SIZE bytes, ORV_ZIWEI_BUFFER_SIZE for
 * StrZiwei; a text never exceeds them.
 * Result: 0 chart written; 1 invalid solar date; 2 lunar date not found.
 * On a nonzero result the buffer is not touched. Flags are true when nonzero.
 */
#ifndef ORV_H
#define ORV_H

#include <stdint.h>

#ifdef __cplusplus
#define ORV_EXTERN_C extern "C"
#else
#define ORV_EXTERN_C
#endif

/* The sizes of the caller's buffers, terminating zero included, and the civil
 * years for which the engine casts charts (both calendar tables cover them
 * completely). */
enum {
  ORV_CHART_BUFFER_SIZE = 3000, /* every export but StrZiwei */
  ORV_ZIWEI_BUFFER_SIZE = 4000, /* StrZiwei */
  ORV_FIRST_YEAR = 1902,
  ORV_LAST_YEAR = 2050
};

/* The calling convention of the exports and of the question handler:
 * __stdcall on 32-bit Windows (where orv.dll exports the names undecorated;
 * the 64-bit compilers ignore it), the platform's own elsewhere. A caller's
 * handler is declared int32_t ORV_CALL Handler(const char* question). */
#if defined(_WIN32)
#define ORV_CALL __stdcall
#define ORV_EXPORT(type) ORV_EXTERN_C __declspec(dllexport) type ORV_CALL
#else
#define ORV_CALL
#define ORV_EXPORT(type) ORV_EXTERN_C __attribute__((visibility("default"))) type
#endif

ORV_EXPORT(int32_t) StrBazi(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer);
ORV_EXPORT(int32_t) StrZiwei(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                             int32_t month, int32_t day, int32_t hour, char* buffer);
/* Lines 6 (top) down to 1 (bottom): 0 yin, 1 yang, 2 moving yin, 3 moving yang. */
ORV_EXPORT(int32_t) StrLiuyao(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                              int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                              uint8_t manual, int32_t year, int32_t month, int32_t day,
                              int32_t hour, char* buffer);
ORV_EXPORT(int32_t) StrLiuyaoL(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                               int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                               uint8_t manual, int32_t year, int32_t month, int32_t day,
                               int32_t hour, char* buffer);
/* ju: 1-9 yang ju; 10-18 yin ju (value - 9); 0 or less, or above 18: automatic. */
ORV_EXPORT(int32_t) StrQimen(uint8_t solar, uint8_t leap, uint8_t flying, int32_t ju,
                             int32_t year, int32_t month, int32_t day, int32_t hour,
                             char* buffer);
/* The buffer is the eighth argument. birthYear 0 or less: none. */
ORV_EXPORT(int32_t) Str6Ren(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer,
                            uint8_t daytime, uint8_t guiRen, uint8_t sheHai, int32_t birthYear);
/* period 0-8 (periods 1-9), mountain 0-23 (the seat mountains from ren to
 * hai), xiagua a flag: true xiagua, false tigua. Always 0; a period or
 * mountain outside its range gives an empty text. */
ORV_EXPORT(int32_t) StrXuankong(int32_t period, int32_t mountain, uint8_t xiagua, char* buffer);

/* StrQimen and Str6Ren may have to ask the user whether the chart's moment
 * lies before a solar-term change in the same double hour. The library asks
 * through a handler that the program installs after each load: it receives
 * the question (GBK, zero-terminated) and returns 0 for Yes (before), 1 for
 * No (after) or 2 for Cancel (the moment stays as entered). Without a
 * handler the answer is Cancel. The handler is kept until the next call of
 * SetQuestionHandler or until the library is unloaded; pass 0 to remove it. */
typedef int32_t(ORV_CALL* OrvQuestionHandler)(const char* question);
ORV_EXPORT(void) SetQuestionHandler(OrvQuestionHandler handler);

/* The chart as data: JSON (UTF-8) of any method, from one request.
 *
 * Fill a request with zeros, set size to sizeof(OrvChartRequest), then the
 * method, the moment and the method's options. Later versions of the engine
 * only add fields at the end of the struct; the engine reads the fields that
 * the given size covers and takes zero for the others.
 *
 * The result is the length of the JSON in bytes, the terminating zero not
 * counted; the buffer (size bytes) holds the whole JSON and its zero when the
 * result is less than size, and an empty text otherwise: call again with a
 * buffer of result + 1 bytes. A negative result writes nothing:
 * ORV_JSON_BAD_SOLAR (-1) the solar date is not a valid date of the years
 * ORV_FIRST_YEAR-ORV_LAST_YEAR; ORV_JSON_LUNAR_NOT_FOUND (-2) no civil day of
 * those years carries the lunar date; ORV_JSON_BAD_REQUEST (-3) no request,
 * a size too small for the fields of version 1, an unknown method, or a
 * time or an option outside its range. Qimen and Liu Ren charts ask the
 * solar-term question through SetQuestionHandler's handler, as StrQimen and
 * Str6Ren do. The JSON is documented in docs/chart-json.md. */
enum {
  ORV_JSON_SCHEMA_VERSION = 1,
  ORV_JSON_BAD_SOLAR = -1,
  ORV_JSON_LUNAR_NOT_FOUND = -2,
  ORV_JSON_BAD_REQUEST = -3
};

enum OrvMethod {
  ORV_METHOD_BAZI = 1,         /* Four Pillars (StrBazi) */
  ORV_METHOD_ZIWEI = 2,        /* Purple Star (StrZiwei) */
  ORV_METHOD_LIUYAO = 3,       /* Six Lines (StrLiuyao) */
  ORV_METHOD_LIUYAO_XUN = 4,   /* Six Lines attached by the day's xun (StrLiuyaoL) */
  ORV_METHOD_QIMEN = 5,        /* Qimen (StrQimen) */
  ORV_METHOD_LIUREN = 6,       /* Da Liu Ren (Str6Ren) */
  ORV_METHOD_XUANKONG = 7      /* Xuankong flying stars (StrXuankong); no moment */
};

typedef struct OrvChartRequest {
  uint32_t size;   /* sizeof(OrvChartRequest) */
  int32_t method;  /* an OrvMethod */
  /* The moment: a solar date (solar nonzero) or a lunar one (leap nonzero
   * for the leap month), and the time of day: hour 0-23, minute and second
   * 0-59. */
  uint8_t solar;
  uint8_t leap;
  int32_t year;
  int32_t month;
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
  /* Four Pillars, Purple Star, and the birth year of Liu Ren: nonzero for a
   * man. */
  uint8_t male;
  /* Six Lines: nonzero to cast the six line values (top line first: 0 yin,
   * 1 yang, 2 moving yin, 3 moving yang), zero to cast from the moment. */
  uint8_t manualLines;
  int32_t lines[6];
  /* Qimen: nonzero for flying placement (飞盘), zero for rotating (转盘); ju
   * 0 for the ju of the moment, 1-9 yang ju 1-9, 10-18 yin ju 1-9. */
  uint8_t flying;
  int32_t ju;
  /* Liu Ren: daytime 0 night (夜), 1 day (昼), 2 by the hour (卯 to 申 by
   * day); guiRen nonzero for the noble table 甲戊庚牛羊, zero for 甲羊戊庚牛;
   * sheHai nonzero for 涉害 by 孟仲季, zero by depth; birthYear 0 for none. */
  int32_t daytime;
  uint8_t guiRen;
  uint8_t sheHai;
  int32_t birthYear;
  /* Xuankong: period 1-9 (一运 … 九运), mountain 0-23 (the seat mountains from
   * 壬 to 亥), xiagua nonzero for 挨星下卦, zero for 挨星替卦. */
  int32_t period;
  int32_t mountain;
  uint8_t xiagua;
} OrvChartRequest;

ORV_EXPORT(int32_t) StrChartJson(const OrvChartRequest* request, char* buffer, int32_t size);

/* The chart text of a request, cast at its moment to the second: the text
 * the method's export writes (StrBazi … StrXuankong), which casts at the
 * whole hour; at a whole hour (minute and second zero) the two are the same
 * byte for byte. Minutes count where the moment decides: a sectional term
 * that begins within the hour, the luck start of the Four Pillars. The
 * buffer holds size bytes, at least ORV_CHART_BUFFER_SIZE
 * (ORV_ZIWEI_BUFFER_SIZE for Purple Star). Result: 0 with the text written,
 * or StrChartJson's negative results (ORV_JSON_BAD_REQUEST also for a
 * buffer too small), writing nothing. Qimen and Liu Ren ask the solar-term
 * question as their exports do. */
ORV_EXPORT(int32_t) StrChartText(const OrvChartRequest* request, char* buffer, int32_t size);

#endif
