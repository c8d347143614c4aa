// Units: reading the vocabulary text format.
#include "orvane/units.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace orvane {

namespace {

// Length of the well-formed UTF-8 sequence at text[i] (overlong forms, surrogates and code points
// past U+10FFFF excluded), or 0 when there is none. Units end up in JSON text, which must be UTF-8.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(text[i + k]);
    if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
  }
  return n;
}

// 1-based number of the first line that is not well-formed UTF-8, or 0 when all are.
size_t FirstBadUtf8Line(const std::string& text) {
  size_t line = 1;
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceLength(text, i);
    if (n == 0) return line;
    if (text[i] == '\n') ++line;
    i += n;
  }
  return 0;
}

}  // namespace

void Units::Parse(const std::string& text) {
  tokens_.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t len = end - start;
    if (len > 0 && text[start + len - 1] == '\r') --len;
    if (len > 0) {
      const size_t space = text.find(' ', start);
      const size_t stop = (space != std::string::npos && space < start + len) ? space : start + len;
      tokens_.emplace_back(text, start, stop - start);
    }
    start = end + 1;
  }
}

Status Units::Load(const std::string& path) {
  // A directory opens as a stream whose first read fails; it is not a units file.
  std::error_code ec;
  const bool is_directory = std::filesystem::is_directory(path, ec);
  std::ifstream in(path);
  if (is_directory || !in.is_open()) return Status(-3, "cannot open units file: " + path);
  // A read error surfaces as an exception from the stream buffer; report it like an open failure.
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return Status(-3, "cannot open units file: " + path);
  }
  if (in.bad()) return Status(-3, "cannot open units file: " + path);
  Parse(text);
  return Status();
}

Status Units::LoadFromText(const std::string& text) {
  if (const size_t line = FirstBadUtf8Line(text)) {
    tokens_.clear();
    return Status(-3, "units text line " + std::to_string(line) + " is not valid UTF-8");
  }
  Parse(text);
  if (tokens_.empty()) return Status(-3, "units text is empty");
  return Status();
}

const std::string& Units::At(int id) const {
  if (id < 0 || static_cast<size_t>(id) >= tokens_.size()) return fallback_;
  return tokens_[static_cast<size_t>(id)];
}

}  // namespace orvane
