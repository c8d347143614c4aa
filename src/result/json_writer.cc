// JsonWriter and JsonEscape: compact JSON output with no whitespace.
#include "orvane/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace orvane {
namespace {

// Significant digits for Number: "%g"'s six, widened from 1000 up so that a value keeps three
// decimals (times in seconds stay exact to the millisecond in recordings of days); from 1e9 on,
// six again with an exponent.
int NumberPrecision(double magnitude) {
  if (magnitude < 1e3 || magnitude >= 1e9) return 6;
  int digits = 4;
  for (double limit = 1e4; magnitude >= limit; limit *= 10.0) ++digits;
  return digits + 3;
}

}  // namespace

std::string JsonEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  out.push_back('"');
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned>(byte));
          out += buf;
        } else {
          out.push_back(c);  // 0x7F and UTF-8 bytes pass unchanged
        }
    }
  }
  out.push_back('"');
  return out;
}

JsonWriter::JsonWriter() = default;
JsonWriter::~JsonWriter() = default;

void JsonWriter::Comma() {
  if (has_element_.empty()) return;
  if (has_element_.back()) out_ << ',';
  has_element_.back() = true;
}

JsonWriter& JsonWriter::BeginObject() {
  Comma();
  out_ << '{';
  has_element_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_ << '}';
  if (!has_element_.empty()) has_element_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Comma();
  out_ << '[';
  has_element_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_ << ']';
  if (!has_element_.empty()) has_element_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(const std::string& key) {
  Comma();
  out_ << JsonEscape(key) << ':';
  // The value after a key takes no comma of its own.
  if (!has_element_.empty()) has_element_.back() = false;
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
  Comma();
  out_ << JsonEscape(value);
  return *this;
}

JsonWriter& JsonWriter::RawValue(const std::string& json) {
  Comma();
  out_ << json;
  return *this;
}

JsonWriter& JsonWriter::Number(double value) {
  Comma();
  if (!std::isfinite(value)) {
    out_ << "null";
  } else {
    // std::to_chars formats as "%g" does in the "C" locale, whatever locale the host set.
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof(buf), value,
                                                 std::chars_format::general,
                                                 NumberPrecision(std::fabs(value)));
    if (r.ec == std::errc()) {
      out_.write(buf, r.ptr - buf);
    } else {
      out_ << "null";  // cannot happen: 32 bytes hold any double at 12 digits
    }
  }
  return *this;
}

JsonWriter& JsonWriter::Integer(long long value) {
  Comma();
  char buf[24];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof(buf), value);
  out_.write(buf, r.ptr - buf);
  return *this;
}

JsonWriter& JsonWriter::Boolean(bool value) {
  Comma();
  out_ << (value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::Null() {
  Comma();
  out_ << "null";
  return *this;
}

std::string JsonWriter::Str() const { return out_.str(); }

}  // namespace orvane
