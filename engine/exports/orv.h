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

#endif
