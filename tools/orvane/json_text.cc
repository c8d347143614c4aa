// String members and string arrays read from JSON text, with full string unescaping.
#include "json_text.h"

#include <cstdint>

namespace orvane {
namespace cli {
namespace {

// A recursive-descent reader over one text. Every Parse* returns false on malformed input and
// leaves `pos_` somewhere inside it; callers then give up on the whole text.
class Reader {
 public:
  explicit Reader(const std::string& text) : s_(text) {}

  void SkipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool AtEnd() {
    SkipSpace();
    return pos_ == s_.size();
  }
  bool Consume(char c) {
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  char Peek() {
    SkipSpace();
    return pos_ < s_.size() ? s_[pos_] : '\0';
  }

  // A string literal at the current position, unescaped into `out` (may be null to skip).
  bool ParseString(std::string* out) {
    if (!Consume('"')) return false;
    while (pos_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // raw control characters are not allowed inside strings
      if (c != '\\') {
        if (out) out->push_back(static_cast<char>(c));
        continue;
      }
      if (pos_ >= s_.size()) return false;
      const char e = s_[pos_++];
      char plain = 0;
      switch (e) {
        case '"':
          plain = '"';
          break;
        case '\\':
          plain = '\\';
          break;
        case '/':
          plain = '/';
          break;
        case 'b':
          plain = '\b';
          break;
        case 'f':
          plain = '\f';
          break;
        case 'n':
          plain = '\n';
          break;
        case 'r':
          plain = '\r';
          break;
        case 't':
          plain = '\t';
          break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(&cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            // A high surrogate must be followed by an escaped low surrogate.
            uint32_t low = 0;
            if (pos_ + 1 >= s_.size() || s_[pos_] != '\\' || s_[pos_ + 1] != 'u') return false;
            pos_ += 2;
            if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;  // a lone low surrogate
          }
          if (out) AppendUtf8(cp, out);
          continue;
        }
        default:
          return false;
      }
      if (out) out->push_back(plain);
    }
    return false;  // unterminated
  }

  // Any JSON value, skipped. `depth` bounds the nesting so hostile input cannot exhaust the stack.
  bool SkipValue(int depth) {
    if (depth > 256) return false;
    const char c = Peek();
    if (c == '"') return ParseString(nullptr);
    if (c == '{') {
      ++pos_;
      if (Consume('}')) return true;
      do {
        if (!ParseString(nullptr) || !Consume(':') || !SkipValue(depth + 1)) return false;
      } while (Consume(','));
      return Consume('}');
    }
    if (c == '[') {
      ++pos_;
      if (Consume(']')) return true;
      do {
        if (!SkipValue(depth + 1)) return false;
      } while (Consume(','));
      return Consume(']');
    }
    if (Literal("true") || Literal("false") || Literal("null")) return true;
    return SkipNumber();
  }

 private:
  bool Hex4(uint32_t* value) {
    if (pos_ + 4 > s_.size()) return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9')
        v |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f')
        v |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        v |= static_cast<uint32_t>(h - 'A' + 10);
      else
        return false;
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

  // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  bool SkipNumber() {
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ >= s_.size() || !IsDigit(s_[pos_])) return false;
    if (s_[pos_] == '0') {
      ++pos_;
    } else {
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (pos_ >= s_.size() || !IsDigit(s_[pos_])) return false;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (pos_ >= s_.size() || !IsDigit(s_[pos_])) return false;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    return true;
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

std::optional<std::string> StringMember(const std::string& json, const std::string& key) {
  Reader r(json);
  if (!r.Consume('{')) return std::nullopt;
  std::optional<std::string> found;
  if (!r.Consume('}')) {
    do {
      std::string name;
      if (!r.ParseString(&name) || !r.Consume(':')) return std::nullopt;
      if (name == key && r.Peek() == '"') {
        std::string value;
        if (!r.ParseString(&value)) return std::nullopt;
        found = std::move(value);
      } else {
        if (name == key) found.reset();  // a later non-string duplicate overrides
        if (!r.SkipValue(1)) return std::nullopt;
      }
    } while (r.Consume(','));
    if (!r.Consume('}')) return std::nullopt;
  }
  if (!r.AtEnd()) return std::nullopt;
  return found;
}

std::optional<std::vector<std::string>> StringArray(const std::string& json) {
  Reader r(json);
  if (!r.Consume('[')) return std::nullopt;
  std::vector<std::string> items;
  if (!r.Consume(']')) {
    do {
      std::string item;
      if (!r.ParseString(&item)) return std::nullopt;
      items.push_back(std::move(item));
    } while (r.Consume(','));
    if (!r.Consume(']')) return std::nullopt;
  }
  if (!r.AtEnd()) return std::nullopt;
  return items;
}

}  // namespace cli
}  // namespace orvane
