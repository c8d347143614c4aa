// UnitLexicon: spellings found by depth-first search over unit texts that match the word.
#include "asr/unit_lexicon.h"

#include <algorithm>

namespace orvane {
namespace {

const char kMarker[] = "\xE2\x96\x81";  // U+2581
constexpr size_t kMarkerBytes = 3;

bool IsSpecial(const std::string& text) {
  return text.empty() || (text.front() == '<' && text.back() == '>');
}

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

uint32_t Lower(uint32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  switch (c) {
    case 0x102: case 0x110: case 0x128: case 0x168: case 0x1A0: return c + 1;
    case 0x1AF: return 0x1B0;
    default: break;
  }
  if (c >= 0x1EA0 && c <= 0x1EF9 && c % 2 == 0) return c + 1;
  return c;
}

}  // namespace

UnitLexicon::UnitLexicon(const Units& units) : initial_(units.size(), false) {
  for (size_t id = 1; id < units.size(); ++id) {
    const std::string& text = units.At(static_cast<int>(id));
    if (IsSpecial(text)) continue;
    ids_.emplace(text, static_cast<int>(id));
    longest_ = std::max(longest_, text.size());
    initial_[id] = text.compare(0, kMarkerBytes, kMarker) == 0;
  }
}

std::vector<std::vector<int>> UnitLexicon::Spellings(const std::string& word, size_t limit) const {
  std::vector<std::vector<int>> out;
  if (word.empty() || word.find(' ') != std::string::npos) return out;
  std::vector<int> path;
  Extend(kMarker + word, 0, &path, &out, limit);
  return out;
}

void UnitLexicon::Extend(const std::string& text, size_t pos, std::vector<int>* path,
                         std::vector<std::vector<int>>* out, size_t limit) const {
  if (out->size() >= limit) return;
  if (pos == text.size()) {
    out->push_back(*path);
    return;
  }
  const size_t most = std::min(longest_, text.size() - pos);
  for (size_t len = 1; len <= most; ++len) {
    auto it = ids_.find(text.substr(pos, len));
    if (it == ids_.end()) continue;
    // Only the first unit may carry the marker; the word holds none after its first.
    if (IsWordInitial(it->second) != (pos == 0)) continue;
    path->push_back(it->second);
    Extend(text, pos + len, path, out, limit);
    path->pop_back();
  }
}

std::string UnitLexicon::LowerCase(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    auto cont = [&text](size_t k) {
      return k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0u) == 0x80u;
    };
    size_t len = 1;
    uint32_t c = b;
    if (b >= 0xC2 && b < 0xE0 && cont(i + 1)) {
      len = 2;
      c = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
    } else if (b >= 0xE1 && b < 0xF0 && cont(i + 1) && cont(i + 2)) {
      len = 3;
      c = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
          (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
    }
    const uint32_t lower = Lower(c);
    if (lower == c || (len == 1 && c >= 0x80)) {
      out.append(text, i, len);
    } else {
      AppendUtf8(lower, &out);
    }
    i += len;
  }
  return out;
}

}  // namespace orvane
