// JsonValue: recursive-descent reading of one JSON text, with full string unescaping.
#include "util/json_value.h"

#include <cstdint>
#include <locale>
#include <sstream>

namespace orvane {

// Every Parse* returns false on malformed input after setting `error_`; callers then give up on
// the whole text.
class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : s_(text) {}

  bool ParseDocument(JsonValue* out) {
    if (!ParseValue(out, 0)) return false;
    SkipSpace();
    if (pos_ != s_.size()) return Fail("text after the value");
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  static constexpr int kMaxDepth = 64;

  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = "at byte " + std::to_string(pos_) + ": " + what;
    return false;
  }

  void SkipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool Consume(char c) {
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Expect(char c) { return Consume(c) || Fail(std::string("expected '") + c + "'"); }

  bool ParseValue(JsonValue* out, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipSpace();
    if (pos_ >= s_.size()) return Fail("expected a value");
    const char c = s_[pos_];
    if (c == '"') {
      out->type_ = JsonValue::Type::kString;
      return ParseString(&out->string_);
    }
    if (c == '{') {
      ++pos_;
      out->type_ = JsonValue::Type::kObject;
      if (Consume('}')) return true;
      do {
        std::string key;
        JsonValue value;
        SkipSpace();
        if (!ParseString(&key) || !Expect(':') || !ParseValue(&value, depth + 1)) return false;
        out->members_.emplace_back(std::move(key), std::move(value));
      } while (Consume(','));
      return Expect('}');
    }
    if (c == '[') {
      ++pos_;
      out->type_ = JsonValue::Type::kArray;
      if (Consume(']')) return true;
      do {
        JsonValue value;
        if (!ParseValue(&value, depth + 1)) return false;
        out->array_.push_back(std::move(value));
      } while (Consume(','));
      return Expect(']');
    }
    if (Literal("true") || Literal("false")) {
      out->type_ = JsonValue::Type::kBoolean;
      out->boolean_ = c == 't';
      return true;
    }
    if (Literal("null")) {
      out->type_ = JsonValue::Type::kNull;
      return true;
    }
    out->type_ = JsonValue::Type::kNumber;
    return ParseNumber(&out->number_);
  }

  // A string literal at the current position, unescaped into `out`.
  bool ParseString(std::string* out) {
    if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a string");
    ++pos_;
    while (pos_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("control character inside a string");
      if (c != '\\') {
        out->push_back(static_cast<char>(c));
        continue;
      }
      if (pos_ >= s_.size()) break;
      const char e = s_[pos_++];
      switch (e) {
        case '"': out->push_back('"'); break;
        case '\\': out->push_back('\\'); break;
        case '/': out->push_back('/'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(&cp)) return Fail("bad \\u escape");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            // A high surrogate must be followed by an escaped low surrogate.
            uint32_t low = 0;
            if (pos_ + 1 >= s_.size() || s_[pos_] != '\\' || s_[pos_ + 1] != 'u') {
              return Fail("unpaired surrogate");
            }
            pos_ += 2;
            if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return Fail("unpaired surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return Fail("unpaired surrogate");
          }
          AppendUtf8(cp, out);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  bool Hex4(uint32_t* value) {
    if (pos_ + 4 > s_.size()) return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9') {
        v |= static_cast<uint32_t>(h - '0');
      } else if (h >= 'a' && h <= 'f') {
        v |= static_cast<uint32_t>(h - 'a' + 10);
      } else if (h >= 'A' && h <= 'F') {
        v |= static_cast<uint32_t>(h - 'A' + 10);
      } else {
        return false;
      }
    }
    *value = v;
    return true;
  }

  static void AppendUtf8(uint32_t cp, std::string* out) {
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  bool Literal(const char* word) {
    size_t n = 0;
    while (word[n] != '\0') ++n;
    if (s_.compare(pos_, n, word) != 0) return false;
    pos_ += n;
    return true;
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?, converted with the classic locale; magnitudes
  // beyond the double range are refused.
  bool ParseNumber(double* value) {
    const size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ >= s_.size() || !IsDigit(s_[pos_])) return Fail("expected a value");
    if (s_[pos_] == '0') {
      ++pos_;
    } else {
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (pos_ >= s_.size() || !IsDigit(s_[pos_])) return Fail("bad number");
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (pos_ >= s_.size() || !IsDigit(s_[pos_])) return Fail("bad number");
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    std::istringstream in(s_.substr(start, pos_ - start));
    in.imbue(std::locale::classic());
    in >> *value;
    if (in.fail()) return Fail("number out of range");
    return true;
  }

  const std::string& s_;
  size_t pos_ = 0;
  std::string error_;
};

bool JsonValue::Parse(const std::string& text, JsonValue* out, std::string* error) {
  JsonParser parser(text);
  JsonValue value;
  if (!parser.ParseDocument(&value)) {
    if (error != nullptr) *error = parser.error();
    return false;
  }
  *out = std::move(value);
  return true;
}

const JsonValue* JsonValue::Find(const std::string& key) const {
  if (type_ != Type::kObject) return nullptr;
  for (auto it = members_.rbegin(); it != members_.rend(); ++it) {
    if (it->first == key) return &it->second;
  }
  return nullptr;
}

}  // namespace orvane
