// JSON text (UTF-8) written into a buffer of the caller's. The writer keeps
// count of every byte of the text, also of those the buffer has no room for,
// so that a caller with a short buffer learns how many bytes it needs.
// Nothing here allocates.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "text_writer.h"

namespace orv {

namespace detail {

// True when a byte of text is below 0x20, '"' or '\\': one a JSON string
// would have to escape.
constexpr bool NeedsEscape(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') return true;
  return false;
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

  // Values. A string is written as it is: the engine's strings need no
  // escapes, being names of its UTF-8 tables (utf8::Table refuses a name
  // that would), texts made of such names and digits, and ASCII literals of
  // its own.
  JsonWriter& String(std::string_view utf8) {
    assert(!detail::NeedsEscape(utf8));
    const std::size_t comma = Separate();
    if (char* p = Grow(comma + utf8.size() + 2)) {
      if (comma != 0) *p++ = ',';
      *p++ = '"';
      detail::CopyBytes(p, utf8.data(), utf8.size());
      p[utf8.size()] = '"';
    }
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
  JsonWriter& Bool(bool b) {
    return Literal(b ? std::string_view("true") : std::string_view("false"));
  }
  JsonWriter& Null() { return Literal("null"); }
  // A string, or null for an empty text.
  JsonWriter& StringOrNull(std::string_view utf8) { return utf8.empty() ? Null() : String(utf8); }

  // A value the caller writes as JSON text of at most Most bytes through a
  // Cursor (write(cursor)): in place when there is room, else made apart
  // and counted like the rest.
  template <std::size_t Most, typename Write>
  JsonWriter& Raw(Write&& write) {
    const std::size_t comma = Separate();
    if (size_ + comma + Most <= room_) {
      Cursor cursor(buffer_ + size_);
      if (comma != 0) cursor << ',';
      write(cursor);
      assert(cursor.End() <= buffer_ + size_ + comma + Most);
      size_ = static_cast<std::size_t>(cursor.End() - buffer_);
    } else {
      char piece[Most + 1];
      Cursor cursor(piece);
      if (comma != 0) cursor << ',';
      write(cursor);
      assert(cursor.End() <= piece + Most + 1);
      Put(piece, static_cast<std::size_t>(cursor.End() - piece));
    }
    return *this;
  }

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
