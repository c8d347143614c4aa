// CtcEndpoint: segment end rules and the per-frame blank probability they are fed with.
#include "orvane/ctc_endpoint.h"

#include <cmath>

#include "orvane/ctc_beam_search.h"

namespace orvane {

CtcEndpoint::CtcEndpoint(const CtcEndpointConfig& config) : config_(config) {}

void CtcEndpoint::Reset() {}

bool CtcEndpoint::Check(int silence_ms, int utterance_ms, bool has_text) const {
  if (utterance_ms >= config_.max_utterance_ms) return true;
  if (has_text && silence_ms >= config_.min_silence_ms_with_text) return true;
  return silence_ms >= config_.min_silence_ms_no_text;
}

double CtcEndpoint::BlankProbability(const float* row, int count) {
  if (row == nullptr || count <= 0) return 0.0;
  return BlankProbabilityFromNormaliser(row, CtcBeamSearch::LogSoftmaxDenominator(row, count));
}

double CtcEndpoint::BlankProbabilityFromNormaliser(const float* row, double log_normaliser) {
  if (row == nullptr) return 0.0;
  return std::exp(static_cast<double>(row[0]) - log_normaliser);
}

bool CtcEndpoint::IsSilenceFrame(const float* row, int count) const {
  return BlankProbability(row, count) > static_cast<double>(config_.blank_threshold);
}

}  // namespace orvane
