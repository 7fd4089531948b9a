#pragma once
// A small reader of JSON text (RFC 8259) for what the callers read back:
// kept cast requests and a few members of the engine's chart JSON. No
// document is built: objects are walked member by member.

#include <functional>
#include <string>
#include <string_view>

namespace timefix {

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  // Reads an object; for each member calls `member` with its name, the
  // reader standing at the member's value, which `member` must read or
  // Skip. False on a malformed object or when `member` returns false.
  bool Object(const std::function<bool(const std::string& name, JsonReader& value)>& member);
  // Reads an array, calling `element` with the reader at each element.
  bool Array(const std::function<bool(JsonReader& element)>& element);
  bool String(std::string& out);
  // An integer number (no fraction, no exponent), or true (1) / false (0).
  bool Integer(long long& out);
  // Reads any value.
  bool Skip();
  // Nothing but white space is left.
  bool AtEnd();

 private:
  void Space();
  bool Literal(std::string_view word);
  bool Number();
  bool Take(char c);

  std::string_view text_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

// The string member at `path` of the object `json` ({"a": {"b": "x"}} with
// path {"a", "b"} gives "x"); empty when there is none.
std::string JsonStringAt(std::string_view json, std::initializer_list<std::string_view> path);

}  // namespace timefix
