// UnitLexicon: how words are written with a vocabulary's units: a word-initial unit (text starting
// with U+2581) followed by continuation units.
#ifndef ORVANE_ASR_UNIT_LEXICON_H_
#define ORVANE_ASR_UNIT_LEXICON_H_

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "orvane/units.h"

namespace orvane {

class UnitLexicon {
 public:
  // Special units (id 0, the blank, and texts in angle brackets) take part in no spelling.
  explicit UnitLexicon(const Units& units);

  bool IsWordInitial(int id) const {
    return id >= 0 && static_cast<size_t>(id) < initial_.size() && initial_[id];
  }

  // Every way (at most `limit`) to write `word` (UTF-8, no marker, no space) as one word-initial
  // unit and any continuation units; empty when it cannot be written.
  std::vector<std::vector<int>> Spellings(const std::string& word, size_t limit) const;

  // `text` with the capital letters of the Vietnamese alphabet (ASCII, Latin-1, Đ, Ă, Ĩ, Ũ, Ơ, Ư
  // and the precomposed letters U+1EA0..U+1EF9) made small; other bytes unchanged.
  static std::string LowerCase(const std::string& text);

 private:
  void Extend(const std::string& text, size_t pos, std::vector<int>* path,
              std::vector<std::vector<int>>* out, size_t limit) const;

  std::unordered_map<std::string, int> ids_;  // unit text -> id (the first id for duplicates)
  std::vector<bool> initial_;
  size_t longest_ = 0;  // bytes of the longest unit text
};

}  // namespace orvane

#endif  // ORVANE_ASR_UNIT_LEXICON_H_
