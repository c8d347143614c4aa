// HotwordTrie: phrases spelled with the units (every combination of their words' spellings).
#include "asr/hotword_trie.h"

#include <cmath>

#include "asr/unit_lexicon.h"

namespace orvane {
namespace {
constexpr size_t kSpellingsPerWord = 4;
constexpr size_t kSpellingsPerPhrase = 16;

std::vector<std::string> Words(const std::string& phrase) {
  std::vector<std::string> words;
  std::string word;
  for (char c : phrase) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}
}  // namespace

Status HotwordTrie::Create(const std::vector<std::string>& phrases, const Units& units, double score,
                           std::shared_ptr<const HotwordTrie>* out) {
  out->reset();
  if (!std::isfinite(score) || score < 0.0 || score > kMaxScore) {
    return Status(-1, "hotwords_score must be a number from 0 to 10");
  }
  const UnitLexicon lexicon(units);
  std::shared_ptr<HotwordTrie> trie(new HotwordTrie);
  trie->score_ = score;
  std::vector<int32_t> ends;
  std::string refused;
  for (const std::string& phrase : phrases) {
    const std::vector<std::string> words = Words(UnitLexicon::LowerCase(phrase));
    if (words.empty()) continue;
    std::vector<std::vector<int>> spellings(1);
    for (const std::string& word : words) {
      const std::vector<std::vector<int>> options = lexicon.Spellings(word, kSpellingsPerWord);
      std::vector<std::vector<int>> longer;
      for (const std::vector<int>& head : spellings) {
        for (const std::vector<int>& option : options) {
          if (longer.size() == kSpellingsPerPhrase) break;
          longer.push_back(head);
          longer.back().insert(longer.back().end(), option.begin(), option.end());
        }
      }
      spellings.swap(longer);
      if (spellings.empty()) break;
    }
    if (spellings.empty()) {
      refused += (refused.empty() ? "\"" : ", \"") + phrase + "\"";
      continue;
    }
    for (const std::vector<int>& spelling : spellings) ends.push_back(trie->tree_.Insert(spelling));
    ++trie->num_phrases_;
  }
  if (!refused.empty()) return Status(-1, "hotwords cannot be written with the units: " + refused);
  trie->tree_.Freeze();
  trie->phrase_end_.assign(trie->tree_.num_nodes(), false);
  for (int32_t node : ends) trie->phrase_end_[node] = true;
  *out = std::move(trie);
  return Status();
}

bool HotwordTrie::Step(int32_t node, int32_t matched, double kept, int unit, State* to) const {
  const int32_t child = tree_.Child(node, unit);
  if (child < 0) return false;
  *to = State{child, matched + 1, kept};
  if (phrase_end_[child]) {
    to->kept += to->matched * score_;
    to->matched = 0;
    if (!tree_.HasChildren(child)) to->node = 0;
  }
  return true;
}

void HotwordTrie::Advance(const State& from, int unit, State* to) const {
  if (Step(from.node, from.matched, from.kept, unit, to)) return;
  // The partial match failed: its bonus is taken back, and the unit may start a new match.
  if (from.node != 0 && Step(0, 0, from.kept, unit, to)) return;
  *to = State{0, 0, from.kept};
}

size_t HotwordTrie::memory_bytes() const { return tree_.memory_bytes() + phrase_end_.size() / 8; }

}  // namespace orvane
