// SegmentTracker: frame bookkeeping behind the recogniser's segment times and confidence.
#include "asr/segment_tracker.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvane {

void SegmentTracker::AddFrame(int64_t start, int64_t end, bool non_blank, double best_prob) {
  if (first_start_ < 0) first_start_ = start;
  last_end_ = std::max(last_end_, end);
  if (!non_blank) return;
  if (first_non_blank_start_ < 0) first_non_blank_start_ = start;
  last_non_blank_end_ = std::max(last_non_blank_end_, end);
  ++non_blank_frames_;
  prob_sum_ += best_prob;
}

TextSegment SegmentTracker::Build(std::string text) const {
  TextSegment segment;
  segment.text = std::move(text);
  const bool spoken = non_blank_frames_ > 0;
  const int64_t start = spoken ? first_non_blank_start_ : std::max<int64_t>(first_start_, 0);
  const int64_t end = spoken ? last_non_blank_end_ : std::max<int64_t>(last_end_, start);
  segment.start = static_cast<double>(start) * seconds_per_feature_frame_;
  segment.end = static_cast<double>(end) * seconds_per_feature_frame_;
  if (spoken) {
    // A best posterior lies in [1/vocabulary, 1]; the clamp absorbs rounding, and scores that were
    // not numbers leave the confidence unknown.
    const double mean = prob_sum_ / static_cast<double>(non_blank_frames_);
    if (std::isfinite(mean) && mean > 0.0) segment.confidence = static_cast<float>(std::min(mean, 1.0));
  }
  return segment;
}

}  // namespace orvane
