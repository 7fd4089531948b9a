#include "json_reader.h"

#include <climits>
#include <cstdlib>
#include <vector>

namespace timefix {
namespace {

constexpr int kMaxDepth = 64;

void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void JsonReader::Space() {
  while (pos_ < text_.size() &&
         (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
    ++pos_;
}

bool JsonReader::Take(char c) {
  Space();
  if (pos_ < text_.size() && text_[pos_] == c) {
    ++pos_;
    return true;
  }
  return false;
}

bool JsonReader::Literal(std::string_view word) {
  Space();
  if (text_.substr(pos_, word.size()) != word) return false;
  pos_ += word.size();
  return true;
}

bool JsonReader::AtEnd() {
  Space();
  return pos_ == text_.size();
}

bool JsonReader::Object(
    const std::function<bool(const std::string& name, JsonReader& value)>& member) {
  if (++depth_ > kMaxDepth || !Take('{')) return false;
  if (!Take('}')) {
    do {
      std::string name;
      if (!String(name) || !Take(':') || !member(name, *this)) return false;
    } while (Take(','));
    if (!Take('}')) return false;
  }
  --depth_;
  return true;
}

bool JsonReader::Array(const std::function<bool(JsonReader& element)>& element) {
  if (++depth_ > kMaxDepth || !Take('[')) return false;
  if (!Take(']')) {
    do {
      if (!element(*this)) return false;
    } while (Take(','));
    if (!Take(']')) return false;
  }
  --depth_;
  return true;
}

bool JsonReader::String(std::string& out) {
  out.clear();
  if (!Take('"')) return false;
  while (pos_ < text_.size()) {
    const char c = text_[pos_++];
    if (c == '"') return true;
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos_ >= text_.size()) return false;
    const char e = text_[pos_++];
    switch (e) {
      case '"': case '\\': case '/': out += e; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        const auto hex4 = [this](unsigned long& v) {
          if (pos_ + 4 > text_.size()) return false;
          v = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            v <<= 4;
            if (h >= '0' && h <= '9') v |= static_cast<unsigned long>(h - '0');
            else if (h >= 'a' && h <= 'f') v |= static_cast<unsigned long>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') v |= static_cast<unsigned long>(h - 'A' + 10);
            else return false;
          }
          return true;
        };
        unsigned long cp = 0;
        if (!hex4(cp)) return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          unsigned long low = 0;
          if (text_.substr(pos_, 2) != "\\u") return false;
          pos_ += 2;
          if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
          return false;
        }
        AppendUtf8(out, cp);
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

bool JsonReader::Number() {
  Space();
  const std::size_t start = pos_;
  const auto digits = [this] {
    const std::size_t from = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > from;
  };
  if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '0') {
    ++pos_;
  } else if (!digits()) {
    return false;
  }
  if (pos_ < text_.size() && text_[pos_] == '.') {
    ++pos_;
    if (!digits()) return false;
  }
  if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
    ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
    if (!digits()) return false;
  }
  return pos_ > start;
}

bool JsonReader::Integer(long long& out) {
  if (Literal("true")) {
    out = 1;
    return true;
  }
  if (Literal("false")) {
    out = 0;
    return true;
  }
  Space();
  const std::size_t start = pos_;
  if (!Number()) return false;
  const std::string number(text_.substr(start, pos_ - start));
  if (number.find_first_of(".eE") != std::string::npos) return false;
  if (number.size() > 12) return false;  // far outside any field's range
  out = std::strtoll(number.c_str(), nullptr, 10);
  return true;
}

bool JsonReader::Skip() {
  Space();
  if (pos_ >= text_.size()) return false;
  const char c = text_[pos_];
  if (c == '{') return Object([](const std::string&, JsonReader& v) { return v.Skip(); });
  if (c == '[') return Array([](JsonReader& v) { return v.Skip(); });
  if (c == '"') {
    std::string ignored;
    return String(ignored);
  }
  if (Literal("true") || Literal("false") || Literal("null")) return true;
  return Number();
}

std::string JsonStringAt(std::string_view json, std::initializer_list<std::string_view> path) {
  const std::vector<std::string_view> steps(path);
  std::string found;
  std::function<bool(JsonReader&, std::size_t)> walk = [&](JsonReader& reader, std::size_t step) {
    return reader.Object([&](const std::string& name, JsonReader& value) {
      if (name != steps[step]) return value.Skip();
      if (step + 1 == steps.size()) {
        std::string text;
        if (value.String(text)) {
          found = text;
          return true;
        }
        return value.Skip();
      }
      JsonReader probe = value;
      if (walk(probe, step + 1)) {
        value = probe;
        return true;
      }
      return value.Skip();
    });
  };
  JsonReader reader(json);
  if (steps.empty() || !walk(reader, 0)) return {};
  return found;
}

}  // namespace timefix
