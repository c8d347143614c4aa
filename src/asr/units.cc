// Units: reading the vocabulary text format.
#include "orvane/units.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orvane {

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
  Parse(text);
  if (tokens_.empty()) return Status(-3, "units text is empty");
  return Status();
}

const std::string& Units::At(int id) const {
  if (id < 0 || static_cast<size_t>(id) >= tokens_.size()) return fallback_;
  return tokens_[static_cast<size_t>(id)];
}

}  // namespace orvane
