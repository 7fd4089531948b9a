// The writer that puts a chart text into a buffer of the caller's, and the
// short fixed texts the text builders of text.h return. Nothing here
// allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace orv {

// Every line of a chart text ends with CR LF.
inline constexpr std::string_view kCrLf = "\r\n";

// A short text of at most N bytes, held by value: what the text builders
// (text.h) return. What does not fit is dropped whole.
template <std::size_t N>
class FixedText {
 public:
  constexpr FixedText() = default;
  constexpr FixedText& operator<<(std::string_view s) {
    if (s.size() <= N - size_) {
      for (char c : s) bytes_[size_++] = c;
    }
    return *this;
  }
  constexpr std::string_view View() const { return {bytes_.data(), size_}; }
  constexpr operator std::string_view() const { return View(); }
  constexpr std::size_t size() const { return size_; }
  friend constexpr bool operator==(const FixedText& a, std::string_view b) { return a.View() == b; }

 private:
  std::array<char, N> bytes_{};
  std::size_t size_ = 0;
};

// n in decimal digits, "-" in front of a negative number; with a width, the
// digits zero-padded to at least that many.
constexpr FixedText<24> Decimal(long long n, int width = 0) {
  char digits[20] = {};
  int count = 0;
  unsigned long long v = n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                                : static_cast<unsigned long long>(n);
  do {
    digits[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (count < width && count < 20) digits[count++] = '0';
  FixedText<24> text;
  if (n < 0) text << "-";
  while (count > 0) text << std::string_view(&digits[--count], 1);
  return text;
}

// Writes a chart text into a buffer of the caller's: capacity bytes, the
// terminating zero included, which always follows what has been written. A
// text longer than the buffer is cut at the last whole GBK character that
// fits (a lead byte 0x81-0xFE and the byte after it; a lead byte that ends a
// piece counts as one byte of its own); nothing after the cut is written.
// Pieces are appended whole characters at a time, as the renderers make them.
class TextWriter {
 public:
  TextWriter(char* buffer, std::size_t capacity)
      : begin_(buffer),
        at_(buffer),
        limit_(buffer == nullptr || capacity == 0 ? buffer : buffer + capacity - 1) {
    if (begin_ != nullptr && capacity > 0) *at_ = '\0';
    cut_ = begin_ == nullptr || capacity == 0;
  }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  TextWriter& operator<<(std::string_view piece) {
    if (!cut_ && piece.size() <= static_cast<std::size_t>(limit_ - at_)) {
      std::memcpy(at_, piece.data(), piece.size());
      at_ += piece.size();
      *at_ = '\0';
    } else {
      CutAt(piece);
    }
    return *this;
  }
  TextWriter& operator<<(char c) { return *this << std::string_view(&c, 1); }
  TextWriter& operator<<(int n) { return *this << Decimal(n).View(); }
  // The piece `times` times (nothing when times is not positive).
  void Repeat(std::string_view piece, long long times) {
    for (long long k = 0; k < times; ++k) *this << piece;
  }
  // Room for n bytes written in place, after what has been written: their
  // address, or nullptr when they do not fit (nothing then changes).
  char* Reserve(std::size_t n) {
    if (cut_ || n > static_cast<std::size_t>(limit_ - at_)) return nullptr;
    char* room = at_;
    at_ += n;
    *at_ = '\0';
    return room;
  }

  std::size_t Size() const { return static_cast<std::size_t>(at_ - begin_); }
  std::string_view View() const { return {begin_, Size()}; }
  // True when a piece did not fit and the text was cut.
  bool WasCut() const { return cut_ && begin_ != limit_; }

 private:
  void CutAt(std::string_view piece);

  char* begin_;
  char* at_;
  char* limit_;  // the place of the terminating zero of a full buffer
  bool cut_ = false;
};

}  // namespace orv
