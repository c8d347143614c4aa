// DecoderOptions: a small strict JSON reader for the recogniser's members (values of other members
// are checked for well-formedness and skipped).
#include "asr/decoder_options.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale>
#include <sstream>

namespace orvane {
namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : t_(text) {}

  void Space() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r')) ++p_;
  }
  bool Eat(char c) {
    Space();
    if (p_ < t_.size() && t_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    Space();
    return p_ == t_.size();
  }
  char Peek() {
    Space();
    return p_ < t_.size() ? t_[p_] : '\0';
  }

  bool String(std::string* out) {
    if (!Eat('"')) return false;
    out->clear();
    while (p_ < t_.size()) {
      const char c = t_[p_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (p_ >= t_.size()) return false;
      const char e = t_[p_++];
      switch (e) {
        case '"': case '\\': case '/': out->push_back(e); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          uint32_t c1 = 0;
          if (!Hex4(&c1)) return false;
          if (c1 >= 0xD800 && c1 < 0xDC00) {
            uint32_t c2 = 0;
            if (p_ + 1 >= t_.size() || t_[p_] != '\\' || t_[p_ + 1] != 'u') return false;
            p_ += 2;
            if (!Hex4(&c2) || c2 < 0xDC00 || c2 >= 0xE000) return false;
            c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
          } else if (c1 >= 0xDC00 && c1 < 0xE000) {
            return false;
          }
          Utf8(c1, out);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  // JSON number grammar, converted without the host's locale.
  bool Number(double* out) {
    Space();
    const size_t start = p_;
    if (p_ < t_.size() && t_[p_] == '-') ++p_;
    if (p_ >= t_.size() || !std::isdigit(static_cast<unsigned char>(t_[p_]))) return false;
    if (t_[p_] == '0') {
      ++p_;
    } else {
      while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) ++p_;
    }
    if (p_ < t_.size() && t_[p_] == '.') {
      ++p_;
      if (p_ >= t_.size() || !std::isdigit(static_cast<unsigned char>(t_[p_]))) return false;
      while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) ++p_;
    }
    if (p_ < t_.size() && (t_[p_] == 'e' || t_[p_] == 'E')) {
      ++p_;
      if (p_ < t_.size() && (t_[p_] == '+' || t_[p_] == '-')) ++p_;
      if (p_ >= t_.size() || !std::isdigit(static_cast<unsigned char>(t_[p_]))) return false;
      while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) ++p_;
    }
    std::istringstream in(t_.substr(start, p_ - start));
    in.imbue(std::locale::classic());
    in >> *out;
    return !in.fail();
  }

  bool Literal(const char* word) {
    Space();
    const std::string w(word);
    if (t_.compare(p_, w.size(), w) != 0) return false;
    p_ += w.size();
    return true;
  }

  // Any value, discarded; nesting limited so that hostile text cannot exhaust the stack.
  bool Skip(int depth) {
    if (depth > 64) return false;
    const char c = Peek();
    std::string s;
    double d = 0;
    if (c == '"') return String(&s);
    if (c == 't') return Literal("true");
    if (c == 'f') return Literal("false");
    if (c == 'n') return Literal("null");
    if (c == '[') {
      Eat('[');
      if (Eat(']')) return true;
      do {
        if (!Skip(depth + 1)) return false;
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '{') {
      Eat('{');
      if (Eat('}')) return true;
      do {
        if (!String(&s) || !Eat(':') || !Skip(depth + 1)) return false;
      } while (Eat(','));
      return Eat('}');
    }
    return Number(&d);
  }

 private:
  bool Hex4(uint32_t* out) {
    if (p_ + 4 > t_.size()) return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = t_[p_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f') v |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') v |= static_cast<uint32_t>(h - 'A' + 10);
      else return false;
    }
    *out = v;
    return true;
  }
  static void Utf8(uint32_t c, std::string* out) {
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (c >> 12)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (c >> 18)));
      out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }

  const std::string& t_;
  size_t p_ = 0;
};

Status NotObject() { return Status(-1, "configuration text is not a JSON object"); }

Status Range(const std::string& key, double lo, double hi) {
  std::ostringstream m;
  m.imbue(std::locale::classic());
  m << key << " must be a number from " << lo << " to " << hi;
  return Status(-1, m.str());
}

}  // namespace

Status DecoderOptions::Parse(const std::string& json) {
  bool empty = true;
  for (char c : json) empty = empty && (c == ' ' || c == '\t' || c == '\n' || c == '\r');
  if (empty) return Status();
  DecoderOptions o = *this;
  Reader r(json);
  if (!r.Eat('{')) return NotObject();
  if (!r.Eat('}')) {
    do {
      std::string key;
      if (!r.String(&key) || !r.Eat(':')) return NotObject();
      double number = 0;
      if (key == "lm") {
        if (r.Literal("true")) o.lm = true;
        else if (r.Literal("false")) o.lm = false;
        else return Status(-1, "lm must be true or false");
      } else if (key == "lm_weight" || key == "lm_bonus" || key == "beam_size" ||
                 key == "hotwords_score") {
        const char c = r.Peek();
        if (c != '-' && !(c >= '0' && c <= '9')) return Status(-1, key + " must be a number");
        if (!r.Number(&number)) return NotObject();
        if (key == "lm_weight") {
          if (!(number >= 0.0 && number <= 5.0)) return Range(key, 0, 5);
          o.lm_weight = number;
        } else if (key == "lm_bonus") {
          if (!(number >= -20.0 && number <= 20.0)) return Range(key, -20, 20);
          o.lm_bonus = number;
        } else if (key == "beam_size") {
          if (!(number >= 1.0 && number <= 64.0) || number != std::floor(number)) {
            return Status(-1, "beam_size must be a whole number from 1 to 64");
          }
          o.beam_size = static_cast<int>(number);
        } else {
          if (!(number >= 0.0 && number <= 10.0)) return Range(key, 0, 10);
          o.hotwords_score = number;
        }
      } else if (key == "hotwords") {
        o.hotwords.clear();
        if (!r.Eat('[')) return Status(-1, "hotwords must be an array of strings");
        if (!r.Eat(']')) {
          do {
            std::string phrase;
            if (r.Peek() != '"') return Status(-1, "hotwords must be an array of strings");
            if (!r.String(&phrase)) return NotObject();
            o.hotwords.push_back(phrase);
          } while (r.Eat(','));
          if (!r.Eat(']')) return NotObject();
        }
      } else if (!r.Skip(0)) {
        return NotObject();
      }
    } while (r.Eat(','));
    if (!r.Eat('}')) return NotObject();
  }
  if (!r.AtEnd()) return NotObject();
  *this = o;
  return Status();
}

}  // namespace orvane
