// SyllableScorer: syllable spellings in a unit trie, scores from the n-gram model.
#include "asr/syllable_scorer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "asr/unit_lexicon.h"

namespace orvane {
namespace {
// A word rarely has more than two spellings ("gia": "▁gi" "a" or "▁g" "ia").
constexpr size_t kSpellingsPerWord = 8;
}  // namespace

Status SyllableScorer::Create(std::shared_ptr<const SyllableLm> lm, const Units& units,
                              double weight, double bonus,
                              std::shared_ptr<const SyllableScorer>* out) {
  out->reset();
  if (!lm) return Status(-1, "language model: none");
  if (!std::isfinite(weight) || !std::isfinite(bonus)) {
    return Status(-1, "language model: weight and bonus must be finite");
  }
  std::shared_ptr<SyllableScorer> scorer(new SyllableScorer);
  scorer->lm_ = std::move(lm);
  scorer->lexicon_ = std::make_shared<UnitLexicon>(units);
  scorer->weight_ = weight;
  scorer->bonus_ = bonus;
  std::vector<std::pair<int32_t, int32_t>> ends;  // (node, word)
  for (int32_t w = 0; w < scorer->lm_->vocab_size(); ++w) {
    if (w == SyllableLm::kUnk || w == SyllableLm::kBos || w == SyllableLm::kEos) continue;
    for (const std::vector<int>& spelling :
         scorer->lexicon_->Spellings(scorer->lm_->Word(w), kSpellingsPerWord)) {
      ends.emplace_back(scorer->spellings_.Insert(spelling), w);
    }
  }
  scorer->spellings_.Freeze();
  scorer->node_word_.assign(scorer->spellings_.num_nodes(), -1);
  for (const auto& end : ends) scorer->node_word_[end.first] = end.second;
  *out = std::move(scorer);
  return Status();
}

void SyllableScorer::Start(State* state) const {
  state->history[0] = SyllableLm::kBos;
  state->length = 1;
  state->node = 0;
  state->closed = 0.0;
  state->open = 0.0;
}

double SyllableScorer::Close(const State& state, int32_t node, int32_t* word) const {
  *word = node > 0 ? node_word_[node] : -1;
  if (*word < 0) *word = SyllableLm::kUnk;
  return weight_ * lm_->LogProb(state.history, state.length, *word) + bonus_;
}

void SyllableScorer::Advance(const State& from, int unit, State* to) const {
  *to = from;
  if (lexicon_->IsWordInitial(unit)) {
    if (from.node != 0) {
      int32_t word = 0;
      // The open score of a known spelling is its closing score; recomputing it is not needed.
      to->closed += from.node > 0 && node_word_[from.node] >= 0 ? from.open : Close(from, from.node, &word);
      if (from.node > 0 && node_word_[from.node] >= 0) word = node_word_[from.node];
      const int keep = std::max(lm_->order() - 1, 1);
      if (to->length == keep) {
        std::copy(to->history + 1, to->history + keep, to->history);
        to->history[keep - 1] = word;
      } else {
        to->history[to->length++] = word;
      }
    }
    to->node = spellings_.Child(0, unit);
  } else {
    to->node = from.node > 0 ? spellings_.Child(from.node, unit) : -1;
  }
  if (to->node > 0 && node_word_[to->node] < 0) {
    to->open = 0.0;  // an onset waiting for its rhyme
  } else {
    int32_t word = 0;
    to->open = Close(*to, to->node, &word);
  }
}

size_t SyllableScorer::memory_bytes() const {
  return spellings_.memory_bytes() + node_word_.capacity() * sizeof(int32_t);
}

}  // namespace orvane
