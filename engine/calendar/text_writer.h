// The writer that puts a chart text into a buffer of the caller's, and the
// short fixed texts the text builders of text.h return. Nothing here
// allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

namespace detail {

// Copies more than 16 bytes.
void CopyLong(char* to, const char* from, std::size_t n);

// Copies n bytes, without a call for the few bytes of a name or a label:
// two overlapping words of the right size cover any n up to 16.
inline void CopyBytes(char* to, const char* from, std::size_t n) {
  if (n > 16) {
    CopyLong(to, from, n);
  } else if (n >= 8) {
    std::uint64_t a, b;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + n - 8, 8);
    std::memcpy(to, &a, 8);
    std::memcpy(to + n - 8, &b, 8);
  } else if (n >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, from, 4);
    std::memcpy(&b, from + n - 4, 4);
    std::memcpy(to, &a, 4);
    std::memcpy(to + n - 4, &b, 4);
  } else if (n >= 2) {
    std::uint16_t a, b;
    std::memcpy(&a, from, 2);
    std::memcpy(&b, from + n - 2, 2);
    std::memcpy(to, &a, 2);
    std::memcpy(to + n - 2, &b, 2);
  } else if (n == 1) {
    *to = *from;
  }
}

// The decimal digits of v at p (at most 20 bytes); the end of what it wrote.
constexpr char* WriteDigits(char* p, unsigned long long v) {
  char reversed[20] = {};
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (count > 0) *p++ = reversed[--count];
  return p;
}

}  // namespace detail

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
        limit_(buffer == nullptr || capacity == 0 ? buffer : buffer + capacity - 1),
        cut_(buffer == nullptr || capacity == 0) {
    if (!cut_) *at_ = '\0';
  }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // A cut text has no room left, so that one test decides every piece.
  TextWriter& operator<<(std::string_view piece) {
    if (piece.size() <= static_cast<std::size_t>(limit_ - at_)) {
      detail::CopyBytes(at_, piece.data(), piece.size());
      at_ += piece.size();
      *at_ = '\0';
    } else {
      CutAt(piece);
    }
    return *this;
  }
  TextWriter& operator<<(char c) {
    if (at_ < limit_) {
      *at_++ = c;
      *at_ = '\0';
    } else {
      CutAt(std::string_view(&c, 1));
    }
    return *this;
  }
  TextWriter& operator<<(int n) {
    if (limit_ - at_ >= 12) {
      if (n < 0) *at_++ = '-';
      at_ = detail::WriteDigits(at_, n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                                           : static_cast<unsigned long long>(n));
      *at_ = '\0';
      return *this;
    }
    return *this << Decimal(n).View();
  }
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
  bool WasCut() const { return truncated_; }

 private:
  void CutAt(std::string_view piece);

  char* begin_;
  char* at_;
  char* limit_;  // the place of the terminating zero of a full buffer
  bool cut_;      // nothing more is written
  bool truncated_ = false;
};

}  // namespace orv
