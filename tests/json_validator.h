// Strict JSON (RFC 8259) and UTF-8 validation for tests and fuzz targets: tells whether a text is
// exactly one JSON value, optionally surrounded by whitespace, with every string valid UTF-8.
#ifndef ORVANE_TESTS_JSON_VALIDATOR_H_
#define ORVANE_TESTS_JSON_VALIDATOR_H_

#include <cstddef>
#include <string>

namespace orvane {
namespace testing_support {

// True when `text` is well-formed UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
inline bool IsValidUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;  // U+D800..U+DFFF are surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + len > n) return false;
    if (p[i + 1] < lo || p[i + 1] > hi) return false;
    for (size_t k = 2; k < len; ++k) {
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
    }
    i += len;
  }
  return true;
}

class JsonValidator {
 public:
  explicit JsonValidator(const std::string& text) : s_(text) {}

  bool Valid() {
    if (!IsValidUtf8(s_)) return false;
    SkipSpace();
    if (!Value(0)) return false;
    SkipSpace();
    return i_ == s_.size();
  }

 private:
  static constexpr int kMaxDepth = 512;

  bool AtEnd() const { return i_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }

  void SkipSpace() {
    while (!AtEnd() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }

  bool Literal(const char* word) {
    for (const char* w = word; *w != '\0'; ++w, ++i_) {
      if (AtEnd() || s_[i_] != *w) return false;
    }
    return true;
  }

  bool Value(int depth) {
    if (depth > kMaxDepth) return false;
    switch (Peek()) {
      case '{': return Object(depth);
      case '[': return Array(depth);
      case '"': return String();
      case 't': return Literal("true");
      case 'f': return Literal("false");
      case 'n': return Literal("null");
      default: return Number();
    }
  }

  bool Object(int depth) {
    ++i_;  // '{'
    SkipSpace();
    if (Peek() == '}') {
      ++i_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"' || !String()) return false;
      SkipSpace();
      if (Peek() != ':') return false;
      ++i_;
      SkipSpace();
      if (!Value(depth + 1)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++i_;
        continue;
      }
      if (Peek() != '}') return false;
      ++i_;
      return true;
    }
  }

  bool Array(int depth) {
    ++i_;  // '['
    SkipSpace();
    if (Peek() == ']') {
      ++i_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (!Value(depth + 1)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++i_;
        continue;
      }
      if (Peek() != ']') return false;
      ++i_;
      return true;
    }
  }

  static bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  }

  bool String() {
    ++i_;  // opening quote
    while (!AtEnd()) {
      const unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        ++i_;
        return true;
      }
      if (c < 0x20) return false;  // control characters must be escaped
      if (c == '\\') {
        ++i_;
        if (AtEnd()) return false;
        const char e = s_[i_];
        if (e == 'u') {
          for (int k = 1; k <= 4; ++k) {
            if (i_ + k >= s_.size() || !IsHex(s_[i_ + k])) return false;
          }
          i_ += 5;
          continue;
        }
        if (e != '"' && e != '\\' && e != '/' && e != 'b' && e != 'f' && e != 'n' && e != 'r' &&
            e != 't') {
          return false;
        }
      }
      ++i_;
    }
    return false;
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  bool Number() {
    if (Peek() == '-') ++i_;
    if (Peek() == '0') {
      ++i_;
    } else if (IsDigit(Peek())) {
      while (IsDigit(Peek())) ++i_;
    } else {
      return false;
    }
    if (Peek() == '.') {
      ++i_;
      if (!IsDigit(Peek())) return false;
      while (IsDigit(Peek())) ++i_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++i_;
      if (Peek() == '+' || Peek() == '-') ++i_;
      if (!IsDigit(Peek())) return false;
      while (IsDigit(Peek())) ++i_;
    }
    return true;
  }

  const std::string& s_;
  size_t i_ = 0;
};

inline bool IsValidJson(const std::string& text) { return JsonValidator(text).Valid(); }

}  // namespace testing_support
}  // namespace orvane

#endif  // ORVANE_TESTS_JSON_VALIDATOR_H_
