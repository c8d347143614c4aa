// PostProcessor: detokenising unit texts and regular-expression word filtering.
#include "orvane/post_processor.h"

#include <regex>

namespace orvane {

namespace {
constexpr char kWordMarker[] = "\xE2\x96\x81";  // U+2581, three bytes in UTF-8
constexpr size_t kWordMarkerBytes = 3;
}  // namespace

std::string PostProcessor::Detokenize(const std::vector<std::string>& units) const {
  std::string out;
  out.reserve(units.size() * 4);
  for (const std::string& u : units) {
    if (u.compare(0, kWordMarkerBytes, kWordMarker) == 0) {
      if (!out.empty()) out.push_back(' ');
      out.append(u, kWordMarkerBytes, std::string::npos);
    } else if (u == "<unk>" || u == "<context>" || u == "</context>") {
      continue;
    } else {
      out += u;
    }
  }
  return out;
}

std::string PostProcessor::StripBadWords(const std::string& text, const std::string& pattern) const {
  if (pattern.empty()) return text;
  try {
    const std::regex re(pattern, std::regex::ECMAScript);
    return std::regex_replace(text, re, "");
  } catch (const std::regex_error&) {
    return text;
  }
}

}  // namespace orvane
