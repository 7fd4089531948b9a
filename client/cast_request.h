#pragma once
// One chart cast as data: the engine request (OrvChartRequest) with the
// answer to the solar-term question, kept as JSON so that a stored cast can
// be cast again, and the text export that casts it. Shared by orvchart and
// the desktop program.

#include <optional>
#include <string>
#include <string_view>

#include "orv.h"

class TEngineLibrary;

namespace timefix {

// How the solar-term question (Qimen, Liu Ren) is answered while casting:
// the handler's answers 0 before, 1 after, 2 cancel (moment as entered).
enum class TermAnswer { Before = 0, After = 1, AsEntered = 2 };

struct CastRequest {
  OrvChartRequest request{};      // size and method set; the moment is the corrected one
  TermAnswer termAnswer = TermAnswer::AsEntered;
};

// A request with its size set and everything else zero.
CastRequest EmptyRequest(int method);

// The request as a JSON object (UTF-8) and back; nullopt for a text that is
// not such an object.
std::string RequestToJson(const CastRequest& cast);
std::optional<CastRequest> RequestFromJson(std::string_view json);

// Casts the chart text (GBK, as the method's text export writes it) and the
// chart JSON (UTF-8) of a request. Returns the export's result (0 written).
// The question handler answers with cast.termAnswer during the calls.
int CastText(const TEngineLibrary& engine, const CastRequest& cast, std::string& gbkText);
int CastJson(const TEngineLibrary& engine, const CastRequest& cast, std::string& json);

}  // namespace timefix
