// JSON text (UTF-8) written into a buffer of the caller's. The writer keeps
// count of every byte of the text, also of those the buffer has no room for,
// so that a caller with a short buffer learns how many bytes it needs.
// Nothing here allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "text_writer.h"

namespace orv {

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
    Separate();
    Put('"');
    Put(key);
    Put("\":", 2);
    afterKey_ = true;
    return *this;
  }

  // Values.
  JsonWriter& String(std::string_view utf8) {
    Separate();
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
    Separate();
    Put(Decimal(n).View());
    return *this;
  }
  JsonWriter& Bool(bool b) {
    Separate();
    Put(b ? std::string_view("true") : std::string_view("false"));
    return *this;
  }
  JsonWriter& Null() {
    Separate();
    Put("null", 4);
    return *this;
  }
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
    Separate();
    Put(bracket);
    if (depth_ < first_.size()) first_[depth_] = true;
    ++depth_;
    return *this;
  }
  JsonWriter& Close(char bracket) {
    if (depth_ > 0) --depth_;
    Put(bracket);
    return *this;
  }
  // A comma before every member but the first; none after a key.
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (depth_ == 0 || depth_ > first_.size()) return;
    if (first_[depth_ - 1])
      first_[depth_ - 1] = false;
    else
      Put(',');
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
  void Put(char c) { Put(&c, 1); }
  void Put(std::string_view s) { Put(s.data(), s.size()); }
  void Put(const char* s, std::size_t n) {
    if (size_ + n <= room_) std::memcpy(buffer_ + size_, s, n);
    size_ += n;
  }

  char* buffer_;
  std::size_t capacity_;
  std::size_t room_;  // bytes for the text, the zero not counted
  std::size_t size_ = 0;
  std::array<bool, 16> first_{};
  std::size_t depth_ = 0;
  bool afterKey_ = false;
};

}  // namespace orv
