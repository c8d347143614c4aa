// CtcEndpoint: the rules that end a recognition segment, from trailing silence and segment length.
// Stateless apart from its configuration; the caller keeps the per-segment counters.
#ifndef ORVANE_CTC_ENDPOINT_H_
#define ORVANE_CTC_ENDPOINT_H_

#include <cstdint>

#include "orvane/export.h"

namespace orvane {

// Times in milliseconds. The defaults are the recogniser's values.
struct CtcEndpointConfig {
  int32_t min_silence_ms_no_text = 5000;    // silence that ends a segment with no speech in it
  int32_t min_silence_ms_with_text = 1000;  // silence that ends a segment holding speech
  int32_t max_utterance_ms = 20000;         // length that ends any segment
  float blank_threshold = 0.8f;             // blank probability above which a frame is silence
};

class ORVANE_EXPORT CtcEndpoint {
 public:
  explicit CtcEndpoint(const CtcEndpointConfig& config);

  // No state to clear; kept so owners can reset all their stream objects alike.
  void Reset();

  // True when the segment has ended: `utterance_ms` reached max_utterance_ms, or `silence_ms`
  // (trailing silence) reached min_silence_ms_with_text while `has_text`, or reached
  // min_silence_ms_no_text. blank_threshold is not used here.
  bool Check(int silence_ms, int utterance_ms, bool has_text) const;

  // Softmax probability of token id 0 in one frame of `count` raw scores: normaliser as
  // CtcBeamSearch::LogSoftmaxDenominator over all `count` values, result exp(row[0] - normaliser) in
  // double precision. Token 0 is taken as the blank whatever id a search uses. Returns 0 for a null
  // row or count <= 0.
  static double BlankProbability(const float* row, int count);
  // The same from a normaliser already computed for the row (CtcBeamSearch::frame_log_normaliser
  // after a Step over the whole row): exp(row[0] - log_normaliser). Returns 0 for a null row.
  static double BlankProbabilityFromNormaliser(const float* row, double log_normaliser);

  // Whether BlankProbability(row, count) is strictly above blank_threshold (widened to double, so
  // 0.8f compares as 0.800000011920929). A frame at or below the threshold is speech.
  bool IsSilenceFrame(const float* row, int count) const;

  const CtcEndpointConfig& config() const { return config_; }

 private:
  CtcEndpointConfig config_;
};

}  // namespace orvane

#endif  // ORVANE_CTC_ENDPOINT_H_
