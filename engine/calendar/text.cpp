#include "text.h"

namespace orv {

std::string_view NayinName(const Pillar& p) {
  return Entry(detail::kNayinNames, (CycleNumber(p) - 1) / 2);
}

FixedText<14> PillarText(int stem, int branch) {
  FixedText<14> text;
  text << NameOf(stem) << NameOf(branch);
  return text;
}

FixedText<16> LunarDateText(int month, int day) {
  FixedText<16> text;
  if (month < 0) text << Entry(detail::kLunarMonthNames, 0);
  text << Entry(detail::kLunarMonthNames, month < 0 ? -month : month) << "月"
       << Entry(detail::kLunarDayNames, day);
  return text;
}

namespace {

// The text of every stem code 1-10 followed by every branch code 11-22,
// four bytes each (every stem and branch is one character), made while
// compiling.
constexpr auto kStemBranchTexts = [] {
  std::array<std::array<char, 4>, 10 * 12> texts{};
  for (int s = kStemFirst; s <= kStemLast; ++s)
    for (int b = kBranchFirst; b <= kBranchLast; ++b) {
      const std::string_view stem = NameOf(s), branch = NameOf(b);
      if (stem.size() != 2 || branch.size() != 2) throw "a stem or a branch of more than one character";
      texts[static_cast<std::size_t>((s - kStemFirst) * 12 + (b - kBranchFirst))] = {
          stem[0], stem[1], branch[0], branch[1]};
    }
  return texts;
}();

}  // namespace

FixedText<64> PillarsLine(const std::array<Pillar, 4>& pillars, std::string_view separator) {
  FixedText<64> line;
  for (std::size_t i = 0; i < pillars.size(); ++i) {
    if (i > 0) line << separator;
    const Pillar& p = pillars[i];
    if (p.Stem >= kStemFirst && p.Stem <= kStemLast && p.Branch >= kBranchFirst &&
        p.Branch <= kBranchLast) {
      const auto& text =
          kStemBranchTexts[static_cast<std::size_t>((p.Stem - kStemFirst) * 12 + (p.Branch - kBranchFirst))];
      line << std::string_view(text.data(), text.size());
    } else {
      line << NameOf(p.Stem) << NameOf(p.Branch);
    }
  }
  return line;
}

void detail::CopyLong(char* to, const char* from, std::size_t n) { std::memcpy(to, from, n); }

void TextWriter::CutAt(std::string_view piece) {
  if (cut_ || piece.empty()) return;
  cut_ = true;
  truncated_ = true;
  std::size_t n = 0;
  const std::size_t room = static_cast<std::size_t>(limit_ - at_);
  while (n < piece.size()) {
    const auto lead = static_cast<unsigned char>(piece[n]);
    const std::size_t width = lead >= 0x81 && lead <= 0xFE && n + 1 < piece.size() ? 2 : 1;
    if (n + width > room) break;
    n += width;
  }
  std::memcpy(at_, piece.data(), n);
  at_ += n;
  *at_ = '\0';
  limit_ = at_;
}

void WriteCivilDate(TextWriter& out, const CivilTime& civil) {
  out << civil.Year << "年" << civil.Month << "月" << civil.Day << "日";
}

}  // namespace orv
