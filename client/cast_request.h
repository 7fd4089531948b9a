#pragma once
// One chart cast as data: the engine request (OrvChartRequest) with the
// answer to the solar-term question, kept as JSON so that a stored cast can
// be cast again, and the text export that casts it. Shared by orvchart and
// the desktop program.

#include <optional>
#include <string>
#include <string_view>

#include "orv.h"
#include "time_correction.h"

class TEngineLibrary;

namespace timefix {

// How the solar-term question (Qimen, Liu Ren) is answered while casting:
// the handler's answers 0 before, 1 after, 2 cancel (moment as entered).
enum class TermAnswer { Before = 0, After = 1, AsEntered = 2 };

struct CastRequest {
  OrvChartRequest request{};      // size and method set; the moment is the corrected one
  TermAnswer termAnswer = TermAnswer::AsEntered;
};

// Liu Ren's 昼 by the hour: 卯 to 申 (05:00-16:59); the hour of a lunar
// date's time of day may run past 23 (the hour of the day is taken).
bool IsDaytimeHour(int hour);

// Sets the request's moment to a solar civil time to the second.
void SetSolarMoment(OrvChartRequest& request, const CivilTime& time);

// A request with its size set and everything else zero (termAnswer
// AsEntered).
CastRequest EmptyRequest(int method);

// The request as a JSON object (UTF-8): every field of OrvChartRequest by
// its name ("lines" an array of six), and "termAnswer" 0-2. Back again:
// members missing are zero (termAnswer: AsEntered), unknown members are
// ignored, the size is this build's; nullopt for a text that is not such an
// object or a value that does not fit its field.
std::string RequestToJson(const CastRequest& cast);
std::optional<CastRequest> RequestFromJson(std::string_view json);

// Casts the chart text (GBK, as the method's text export writes it) and the
// chart JSON (UTF-8) of a request. CastText returns the text export's result
// (0 written, 1 invalid solar date, 2 lunar date not found; 3 off the whole
// hour, a request StrChartText finds out of range); CastJson 0 when written, or
// StrChartJson's negative result. Both return kNoExport when the library
// lacks the export (or the method is unknown); the text is left as it was on
// any result but 0.
//
// At a whole hour (minute and second 0) the text comes from the method's
// export (StrBazi … StrXuankong), which casts the whole hour; off it, from
// StrChartText, cast to the second, so that a term that begins within the
// hour and the luck start count the minutes. A Xuankong request's period is 1-9 here as in the
// JSON request (StrXuankong's 0-8 is derived). A Liu Ren daytime of 2 (by
// the hour) gives 昼 from 卯 to 申 to Str6Ren's flag.
//
// The library's question handler answers with cast.termAnswer on the calling
// thread during the call (it stays installed and answers 取消 outside a cast,
// as without a handler); the overloads with `ask` install that handler
// instead (orvchart asks on the terminal).
inline constexpr int kNoExport = -100;
int CastText(const TEngineLibrary& engine, const CastRequest& cast, std::string& gbkText);
int CastJson(const TEngineLibrary& engine, const CastRequest& cast, std::string& json);
int CastText(const TEngineLibrary& engine, const CastRequest& cast, std::string& gbkText,
             OrvQuestionHandler ask);
int CastJson(const TEngineLibrary& engine, const CastRequest& cast, std::string& json,
             OrvQuestionHandler ask);

}  // namespace timefix
