// The writer that puts a chart text into a buffer of the caller's, and the
// short fixed texts the text builders of text.h return. Nothing here
// allocates.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace orv {

// Every line of a chart text ends with CR LF.
inline constexpr std::string_view kCrLf = "\r\n";

// A short text of at most N bytes, held by value: what the text builders
// (text.h) return. What does not fit is dropped whole.
template <std::size_t N>
class FixedText {
 public:
  constexpr FixedText() = default;
  constexpr FixedText& operator<<(std::string_view s);
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

// "00" … "99".
inline constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t v = 0; v < 100; ++v) {
    pairs[2 * v] = static_cast<char>('0' + v / 10);
    pairs[2 * v + 1] = static_cast<char>('0' + v % 10);
  }
  return pairs;
}();

// The decimal digits of v at p (at most 20 bytes); the end of what it wrote.
constexpr char* WriteDigits(char* p, unsigned long long v) {
  const auto pair = [](char* at, unsigned long long two) {
    const auto i = static_cast<std::size_t>(2 * two);  // two < 100
    at[0] = kDigitPairs[i];
    at[1] = kDigitPairs[i + 1];
  };
  if (v < 10) {
    *p = static_cast<char>('0' + v);
    return p + 1;
  }
  if (v < 100) {
    pair(p, v);
    return p + 2;
  }
  if (v < 1000) {
    *p = static_cast<char>('0' + v / 100);
    pair(p + 1, v % 100);
    return p + 3;
  }
  if (v < 10000) {
    pair(p, v / 100);
    pair(p + 2, v % 100);
    return p + 4;
  }
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

template <std::size_t N>
constexpr FixedText<N>& FixedText<N>::operator<<(std::string_view s) {
  if (s.size() > N - size_) return *this;
  if (std::is_constant_evaluated()) {
    for (char c : s) bytes_[size_++] = c;
  } else {
    detail::CopyBytes(bytes_.data() + size_, s.data(), s.size());
    size_ += s.size();
  }
  return *this;
}

// n in decimal digits, "-" in front of a negative number; with a width, the
// digits zero-padded to at least that many.
constexpr FixedText<24> Decimal(long long n, int width = 0) {
  char digits[20] = {};
  const char* end = detail::WriteDigits(digits, n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                                                      : static_cast<unsigned long long>(n));
  const auto count = static_cast<int>(end - digits);
  FixedText<24> text;
  if (n < 0) text << "-";
  for (int k = count; k < width && k < 20; ++k) text << "0";
  text << std::string_view(digits, static_cast<std::size_t>(count));
  return text;
}

// Pieces of a text written one after another at a place known to have room
// for them all (TextWriter::WriteInPlace): no test of room for each piece
// and no terminating zero after it.
class Cursor {
 public:
  explicit Cursor(char* at) : at_(at) {}
  Cursor& operator<<(std::string_view piece) {
    detail::CopyBytes(at_, piece.data(), piece.size());
    at_ += piece.size();
    return *this;
  }
  Cursor& operator<<(char c) {
    *at_++ = c;
    return *this;
  }
  Cursor& operator<<(int n) {  // at most 11 bytes
    if (n < 0) *at_++ = '-';
    at_ = detail::WriteDigits(at_, n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                                         : static_cast<unsigned long long>(n));
    return *this;
  }
  // The first n (at most N) of N readable bytes: all N are copied and the
  // place moves on by n, what follows writing over the rest; so the room
  // must hold N - n bytes more, and the last piece of a text is never one
  // of these (the bytes after a text stay as they were).
  template <std::size_t N>
  Cursor& PutOver(const char* bytes, std::size_t n) {
    std::memcpy(at_, bytes, N);
    at_ += n;
    return *this;
  }
  char* End() const { return at_; }

 private:
  char* at_;
};

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

  // At most Most bytes written in place through a Cursor: write(cursor).
  // Where Most bytes do not fit they are made apart and appended as one
  // piece, so that a cut falls where it would.
  template <std::size_t Most, typename Write>
  void WriteInPlace(Write&& write) {
    if (Most <= static_cast<std::size_t>(limit_ - at_)) {
      Cursor cursor(at_);
      write(cursor);
      assert(cursor.End() <= at_ + Most);
      at_ = cursor.End();
      *at_ = '\0';
    } else {
      char piece[Most];
      Cursor cursor(piece);
      write(cursor);
      assert(cursor.End() <= piece + Most);
      *this << std::string_view(piece, static_cast<std::size_t>(cursor.End() - piece));
    }
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
