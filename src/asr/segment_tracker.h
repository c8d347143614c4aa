// SegmentTracker: times and confidence of the recogniser's current segment, gathered frame by frame.
#ifndef ORVANE_ASR_SEGMENT_TRACKER_H_
#define ORVANE_ASR_SEGMENT_TRACKER_H_

#include <cstdint>
#include <string>

#include "orvane/module.h"

namespace orvane {

// Positions are feature frames (10 ms) from the start of the stream. The segment spans its non-blank
// output frames: from the start of the first to the end of the last. Owned by one OrvaneModule.
class SegmentTracker {
 public:
  explicit SegmentTracker(double seconds_per_feature_frame)
      : seconds_per_feature_frame_(seconds_per_feature_frame) {}

  void Reset() { *this = SegmentTracker(seconds_per_feature_frame_); }

  // One decoded output frame covering feature frames [start, end). `best_prob` is the posterior of
  // its best-scoring token; it counts towards the confidence only for a non-blank frame.
  void AddFrame(int64_t start, int64_t end, bool non_blank, double best_prob);

  // The segment so far with `text`: start/end in seconds; confidence the mean best posterior of its
  // non-blank frames. Without a non-blank frame it spans all frames seen, confidence 0 (unknown).
  TextSegment Build(std::string text) const;

 private:
  double seconds_per_feature_frame_;
  int64_t first_start_ = -1;  // any frame
  int64_t last_end_ = -1;
  int64_t first_non_blank_start_ = -1;
  int64_t last_non_blank_end_ = -1;
  int64_t non_blank_frames_ = 0;
  double prob_sum_ = 0.0;
};

}  // namespace orvane

#endif  // ORVANE_ASR_SEGMENT_TRACKER_H_
