// PostProcessor: detokenising unit texts and regular-expression word filtering.
#include "orvane/post_processor.h"

#include <algorithm>
#include <regex>

namespace orvane {

namespace {
constexpr char kWordMarker[] = "\xE2\x96\x81";  // U+2581, three bytes in UTF-8
constexpr size_t kWordMarkerBytes = 3;

// Vietnamese syllable onsets in their written forms ("gi" and "qu" carry their vowel letter).
constexpr const char* kOnsets[] = {"",   "b",  "c",  "ch", "d",   "\xC4\x91" /* đ */,
                                   "g",  "gh", "gi", "h",  "k",   "kh",
                                   "l",  "m",  "n",  "ng", "ngh", "nh",
                                   "p",  "ph", "qu", "r",  "s",   "t",
                                   "th", "tr", "v",  "x"};

bool IsSpecialUnit(const std::string& u) {
  return u == "<unk>" || u == "<context>" || u == "</context>";
}
}  // namespace

bool PostProcessor::IsOnsetUnit(const std::string& unit) {
  if (unit.compare(0, kWordMarkerBytes, kWordMarker) != 0) return false;
  const std::string rest = unit.substr(kWordMarkerBytes);
  return std::any_of(std::begin(kOnsets), std::end(kOnsets),
                     [&rest](const char* onset) { return rest == onset; });
}

size_t PostProcessor::WholeSyllableUnits(const std::vector<std::string>& units) {
  size_t last = units.size();
  while (last > 0 && IsSpecialUnit(units[last - 1])) --last;
  if (last == 0 || !IsOnsetUnit(units[last - 1])) return units.size();
  return last - 1;
}

std::string PostProcessor::DetokenizeWholeSyllables(const std::vector<std::string>& units) const {
  const size_t kept = WholeSyllableUnits(units);
  if (kept == units.size()) return Detokenize(units);
  return Detokenize(std::vector<std::string>(units.begin(),
                                             units.begin() + static_cast<std::ptrdiff_t>(kept)));
}

std::string PostProcessor::Detokenize(const std::vector<std::string>& units) const {
  std::string out;
  out.reserve(units.size() * 4);
  for (const std::string& u : units) {
    if (u.compare(0, kWordMarkerBytes, kWordMarker) == 0) {
      if (!out.empty()) out.push_back(' ');
      out.append(u, kWordMarkerBytes, std::string::npos);
    } else if (IsSpecialUnit(u)) {
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
