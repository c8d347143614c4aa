// CtcBeamSearch: streaming CTC prefix beam search over per-frame token scores, optionally fused with
// a syllable language model and hotwords (shallow fusion: their scores are added to the acoustic
// score of each prefix when ranking). One instance decodes one stream (one session); no lock.
#ifndef ORVANE_CTC_BEAM_SEARCH_H_
#define ORVANE_CTC_BEAM_SEARCH_H_

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "orvane/export.h"

namespace orvane {

struct CtcBeamSearchConfig {
  // Prefixes kept after each frame; 2 * beam_size tokens (the best-scoring ones) are tried per frame.
  // Zero keeps nothing; a negative value is treated as zero.
  int32_t beam_size = 10;
  // Token id of the CTC blank; never part of a prefix.
  int32_t blank_id = 0;
};

class HotwordTrie;
class SyllableScorer;

class ORVANE_EXPORT CtcBeamSearch {
 public:
  // Natural-log probabilities; negative infinity is probability zero.
  struct Score {
    double log_blank;      // all alignments of the prefix whose last frame is a blank
    double log_non_blank;  // all alignments whose last frame is the prefix's last token
  };

  explicit CtcBeamSearch(const CtcBeamSearchConfig& config);
  ~CtcBeamSearch();
  CtcBeamSearch(CtcBeamSearch&&) noexcept;
  CtcBeamSearch& operator=(CtcBeamSearch&&) noexcept;
  CtcBeamSearch(const CtcBeamSearch&) = delete;
  CtcBeamSearch& operator=(const CtcBeamSearch&) = delete;

  // Back to the single empty prefix with score (0, -inf).
  void Reset();

  // Language model and hotwords; either may be null (none). The live prefixes are rescored from
  // their first unit, so this may be called mid-stream. With neither, or with a language model of
  // weight 0 and bonus 0 and no hotwords, the search ranks exactly as the acoustic scores alone do.
  void SetContext(std::shared_ptr<const SyllableScorer> lm, std::shared_ptr<const HotwordTrie> hotwords);

  // Advances every prefix by one frame. `logits` holds `num_tokens` raw (unnormalised) scores
  // indexed by token id; they are normalised here over all `num_tokens` values. A null pointer or
  // num_tokens <= 0 selects no token, which empties the search until the next Reset.
  // Buffers are reused from frame to frame; steady-state steps do not allocate.
  void Step(const float* logits, int num_tokens);

  // The prefix with the highest total score (ties: the lexicographically smaller prefix); empty when
  // there is no prefix with a finite score. The total is the acoustic score plus the language
  // model's and the hotwords' (without the bonus of an unfinished hotword match).
  std::vector<int> Hypothesis() const;

  // All current prefixes with their acoustic scores, in lexicographic prefix order. For inspection and
  // tests; allocates.
  std::vector<std::pair<std::vector<int>, Score>> Prefixes() const;
  int num_prefixes() const;
  // Language-model and hotword score of the best prefix as Hypothesis ranks it; 0 without either.
  double HypothesisContextScore() const;

  // About the frame of the last Step: the highest-scoring token (lowest id on equal scores) and its
  // log posterior under the same normalisation as the search. -1 and -inf before the first Step,
  // after Reset and after a Step without tokens. A caller can take a frame as non-blank when
  // frame_best_token() != blank_id and use exp(frame_best_log_prob()) as the frame's confidence.
  int frame_best_token() const;
  double frame_best_log_prob() const;
  // LogSoftmaxDenominator of the last Step's scores, so that a caller needing the same row's
  // posteriors (the endpoint's blank probability) does not compute it again; -inf when
  // frame_best_token() is -1.
  double frame_log_normaliser() const;

  const CtcBeamSearchConfig& config() const;

  // log(exp(a) + exp(b)), stable; returns the other operand exactly when one is -inf.
  static double LogSumExp(double a, double b);
  // log(sum_i exp(logits[i])) over n values: maximum in single precision, sum in double precision.
  // Returns -inf for n <= 0 (or a null pointer) without reading.
  static double LogSoftmaxDenominator(const float* logits, int n);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_CTC_BEAM_SEARCH_H_
