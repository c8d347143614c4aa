// SyllableScorer: the language-model part of the beam search's score. It follows each prefix unit
// by unit, knows which syllable is open (a word-initial unit opens one), and scores a syllable with
// weight * log p(syllable | previous syllables) + bonus.
#ifndef ORVANE_ASR_SYLLABLE_SCORER_H_
#define ORVANE_ASR_SYLLABLE_SCORER_H_

#include <cstdint>
#include <vector>
#include <memory>

#include "asr/syllable_lm.h"
#include "asr/unit_trie.h"
#include "orvane/status.h"
#include "orvane/units.h"

namespace orvane {

class UnitLexicon;

// Immutable once created; shared by all sessions of a pipeline.
class SyllableScorer {
 public:
  // Per prefix, 48 bytes, copied along with the prefix.
  struct State {
    int32_t history[SyllableLm::kMaxOrder - 1];  // closed syllables' word ids, oldest first
    int32_t length;                              // entries of history in use
    int32_t node;    // open syllable: 0 none, > 0 its spelling so far, -1 not a known spelling
    double closed;   // score of the closed syllables
    double open;     // score the open syllable gets if it is closed as it is (0 for a bare onset)
  };

  // Spells every word of `lm` with `units` (all spellings). Failure: code -1 when weight or bonus
  // is not finite.
  static Status Create(std::shared_ptr<const SyllableLm> lm, const Units& units, double weight,
                       double bonus, std::shared_ptr<const SyllableScorer>* out);

  // No syllable yet; the history is the start of a sentence.
  void Start(State* state) const;
  // `to` = `from` followed by `unit`. A word-initial unit closes the open syllable (an incomplete
  // or unknown one scores as "<unk>") and opens the next.
  void Advance(const State& from, int unit, State* to) const;
  static double Score(const State& state) { return state.closed + state.open; }

  double weight() const { return weight_; }
  double bonus() const { return bonus_; }
  const SyllableLm& lm() const { return *lm_; }
  size_t memory_bytes() const;

 private:
  SyllableScorer() = default;
  // Score of closing the syllable at `node` after `state`'s history; its word id in `word`.
  double Close(const State& state, int32_t node, int32_t* word) const;

  std::shared_ptr<const SyllableLm> lm_;
  std::shared_ptr<const UnitLexicon> lexicon_;
  UnitTrie spellings_;
  std::vector<int32_t> node_word_;  // per trie node: the word it spells, or -1
  double weight_ = 0.0;
  double bonus_ = 0.0;
};

}  // namespace orvane

#endif  // ORVANE_ASR_SYLLABLE_SCORER_H_
