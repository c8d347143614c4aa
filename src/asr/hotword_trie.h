// HotwordTrie: contextual biasing. A prefix tree over the units of the hotword phrases is walked
// alongside each prefix of the beam search; every matched unit earns `score` (once the match holds
// three units, or the whole phrase), and the earned bonus is taken back when a partial match fails
// (it is kept once a whole phrase has matched).
#ifndef ORVANE_ASR_HOTWORD_TRIE_H_
#define ORVANE_ASR_HOTWORD_TRIE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "asr/unit_trie.h"
#include "orvane/status.h"
#include "orvane/units.h"

namespace orvane {

// Immutable once created; shared by the sessions it was given to.
class HotwordTrie {
 public:
  struct State {
    int32_t node;     // position in the tree; 0 no partial match
    int32_t matched;  // units matched in the current partial match
    double kept;      // bonus of whole phrases matched
  };

  static constexpr double kMaxScore = 10.0;
  static constexpr int32_t kMinPartialUnits = 3;

  // Phrases are words separated by spaces, capitals allowed; each word is spelled with the units in
  // every possible way. Empty phrases are skipped; an empty list is valid and biases nothing.
  // Failure: code -1 "hotwords_score must be a number from 0 to 10" for a score outside 0..10 (or
  // not finite), or "hotwords cannot be written with the units: " followed by the refused phrases,
  // quoted, separated by ", ".
  static Status Create(const std::vector<std::string>& phrases, const Units& units, double score,
                       std::shared_ptr<const HotwordTrie>* out);

  static void Start(State* state) { *state = State{0, 0, 0.0}; }
  void Advance(const State& from, int unit, State* to) const;
  // While searching: kept bonus plus the bonus of the partial match, which counts from its third
  // unit on, for most phrases the second syllable's onset (a lone onset, or one common syllable
  // such as "lý" of "lý thường kiệt", starts too many words: boosting every prefix that ends in one
  // pushed the ordinary reading out of the beam before the match failed, and changed ordinary
  // sentences).
  // At the end: kept bonus only.
  double Score(const State& state) const {
    return state.kept + (state.matched >= kMinPartialUnits ? state.matched * score_ : 0.0);
  }
  static double FinalScore(const State& state) { return state.kept; }

  size_t num_phrases() const { return num_phrases_; }
  double score() const { return score_; }
  size_t memory_bytes() const;

 private:
  HotwordTrie() = default;
  // From `node`, one step by `unit` (with a whole-phrase check); false when there is no edge.
  bool Step(int32_t node, int32_t matched, double kept, int unit, State* to) const;

  UnitTrie tree_;
  std::vector<bool> phrase_end_;  // per node
  double score_ = 0.0;
  size_t num_phrases_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_ASR_HOTWORD_TRIE_H_
