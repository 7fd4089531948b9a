#include "term_question.h"

#include "text.h"

namespace orv {

bool SameDoubleHour(Moment a, Moment b) {
  // A double hour is at most two hours long: moments further apart are in
  // different ones, which nearly every chart is, without a calendar decode.
  if (a - b >= Hours{2} || b - a >= Hours{2}) return false;
  const CivilTime p = DecodeDateTime(a);
  const CivilTime q = DecodeDateTime(b);
  return p.Year == q.Year && p.Month == q.Month && p.Day == q.Day &&
         (p.Hour + 1) / 2 == (q.Hour + 1) / 2;
}

std::optional<Moment> AskTermSide(Moment date, TermInstant instant, QuestionAsker ask) {
  const Moment shown = ShownMoment(instant);
  if (ask == nullptr || !SameDoubleHour(date, shown)) return std::nullopt;
  const CivilTime at = DecodeDateTime(shown);
  const char hhmm[5] = {static_cast<char>('0' + at.Hour / 10), static_cast<char>('0' + at.Hour % 10),
                        ':', static_cast<char>('0' + at.Minute / 10),
                        static_cast<char>('0' + at.Minute % 10)};
  char question[64];
  TextWriter text(question, sizeof question);
  text << "今日" << std::string_view(hhmm, sizeof hhmm) << "交节气，您所用的时间在此之前吗？";
  switch (ask(question)) {
    case kAnswerBefore:
      return shown - Seconds{1};
    case kAnswerAfter:
      return shown + Seconds{1};
    default:
      return std::nullopt;
  }
}

}  // namespace orv
