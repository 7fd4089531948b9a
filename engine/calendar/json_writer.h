// JSON text (UTF-8) written into a buffer of the caller's. The writer keeps
// count of every byte of the text, also of those the buffer has no room for,
// so that a caller with a short buffer learns how many bytes it needs.
// Nothing here allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text_writer.h"

namespace orv {

namespace detail {

// True when a byte of text is below 0x20, '"' or '\\': one a JSON string
// must escape. Eight bytes at a time; the bytes past the end of the text
// read as 'A'.
inline bool NeedsEscape(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
  const auto any = [](std::uint64_t w) {
    const std::uint64_t below = (w - kOnes * 0x20) & ~w;               // a byte < 0x20
    const std::uint64_t quote = w ^ (kOnes * '"'), slash = w ^ (kOnes * '\\');
    const std::uint64_t zeroQuote = (quote - kOnes) & ~quote;          // a byte == '"'
    const std::uint64_t zeroSlash = (slash - kOnes) & ~slash;          // a byte == '\\'
    return ((below | zeroQuote | zeroSlash) & kHighs) != 0;
  };
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t w;
    std::memcpy(&w, text.data() + at, 8);
    if (any(w)) return true;
  }
  if (at == text.size()) return false;
  std::uint64_t w = kOnes * 'A';
  CopyBytes(reinterpret_cast<char*>(&w), text.data() + at, text.size() - at);
  return any(w);
}

}  // namespace detail

class JsonWriter {
 public:
  // capacity: bytes of the buffer, the terminating zero included.
  JsonWriter(char* buffer, std::size_t capacity)
      : buffer_(buffer),
        capacity_(buffer == nullptr ? 0 : capacity),
        room_(capacity_ == 0 ? 0 : capacity_ - 1) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  // Objects and arrays; the writer puts the commas between their members.
  JsonWriter& BeginObject() { return Open('{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray() { return Open('['); }
  JsonWriter& EndArray() { return Close(']'); }
  // The key of the next member of an object (ASCII, nothing to escape).
  JsonWriter& Key(std::string_view key) {
    const std::size_t comma = Separate();
    if (char* p = Grow(comma + key.size() + 3)) {
      if (comma != 0) *p++ = ',';
      *p++ = '"';
      detail::CopyBytes(p, key.data(), key.size());
      p += key.size();
      p[0] = '"';
      p[1] = ':';
    }
    comma_ = false;
    return *this;
  }

  // Values.
  JsonWriter& String(std::string_view utf8) {
    const std::size_t comma = Separate();
    if (!detail::NeedsEscape(utf8)) {
      if (char* p = Grow(comma + utf8.size() + 2)) {
        if (comma != 0) *p++ = ',';
        *p++ = '"';
        detail::CopyBytes(p, utf8.data(), utf8.size());
        p[utf8.size()] = '"';
      }
      return *this;
    }
    if (comma != 0) Put(',');
    Put('"');
    std::size_t from = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      if (c >= 0x20 && c != '"' && c != '\\') continue;
      Put(utf8.substr(from, i - from));
      Escape(c);
      from = i + 1;
    }
    Put(utf8.substr(from));
    Put('"');
    return *this;
  }
  JsonWriter& String(std::u8string_view utf8) {
    return String(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
  }
  JsonWriter& Number(long long n) {
    char digits[24];
    char* end = digits;
    if (Separate() != 0) *end++ = ',';
    if (n < 0) *end++ = '-';
    end = detail::WriteDigits(end, n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                                         : static_cast<unsigned long long>(n));
    Put(digits, static_cast<std::size_t>(end - digits));
    return *this;
  }
  JsonWriter& Bool(bool b) { return Literal(b ? std::string_view("true") : std::string_view("false")); }
  JsonWriter& Null() { return Literal("null"); }
  // A string, or null for an empty text.
  JsonWriter& StringOrNull(std::string_view utf8) { return utf8.empty() ? Null() : String(utf8); }

  // The bytes the whole text needs, the terminating zero not counted.
  std::size_t Needed() const { return size_; }
  // Ends the text: its terminating zero when it fits the buffer; otherwise
  // the buffer holds an empty text. The result is Needed().
  std::size_t Finish() {
    if (capacity_ > 0) buffer_[size_ <= room_ ? size_ : 0] = '\0';
    return size_;
  }

 private:
  JsonWriter& Open(char bracket) {
    const std::size_t comma = Separate();
    if (char* p = Grow(comma + 1)) {
      if (comma != 0) *p++ = ',';
      *p = bracket;
    }
    comma_ = false;
    return *this;
  }
  JsonWriter& Close(char bracket) {
    Put(bracket);
    comma_ = true;
    return *this;
  }
  JsonWriter& Literal(std::string_view text) {
    const std::size_t comma = Separate();
    if (char* p = Grow(comma + text.size())) {
      if (comma != 0) *p++ = ',';
      detail::CopyBytes(p, text.data(), text.size());
    }
    return *this;
  }
  // 1 when a comma goes before what comes next: after a value or a closed
  // object or array, not after a key or an opening bracket; 0 otherwise.
  // What comes next is a value (or a key), so a comma follows it in turn.
  std::size_t Separate() {
    const std::size_t comma = comma_ ? 1 : 0;
    comma_ = true;
    return comma;
  }
  void Escape(unsigned char c) {
    if (c == '"' || c == '\\') {
      const char escaped[2] = {'\\', static_cast<char>(c)};
      Put(escaped, 2);
      return;
    }
    constexpr char kHex[] = "0123456789abcdef";
    const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
    Put(escaped, 6);
  }
  // Room for n more bytes of the text: their place, or nullptr when the
  // buffer has none; the bytes are counted either way.
  char* Grow(std::size_t n) {
    char* p = size_ + n <= room_ ? buffer_ + size_ : nullptr;
    size_ += n;
    return p;
  }
  void Put(char c) {
    if (char* p = Grow(1)) *p = c;
  }
  void Put(std::string_view s) { Put(s.data(), s.size()); }
  void Put(const char* s, std::size_t n) {
    if (char* p = Grow(n)) detail::CopyBytes(p, s, n);
  }

  char* buffer_;
  std::size_t capacity_;
  std::size_t room_;  // bytes for the text, the zero not counted
  std::size_t size_ = 0;
  bool comma_ = false;  // a value or a closing bracket came last
};

}  // namespace orv
