// SegmentTracker: times and confidence of the recogniser's current segment, gathered frame by frame.
#ifndef ORVANE_ASR_SEGMENT_TRACKER_H_
#define ORVANE_ASR_SEGMENT_TRACKER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/module.h"

namespace orvane {

// Positions are feature frames from the start of the stream. The segment spans its non-blank output
// frames: from the start of the first to the end of the last. Owned by one OrvaneModule.
class SegmentTracker {
 public:
  // Time of one token of a hypothesis: feature frames [start, end) and its best posterior there.
  struct TokenTime {
    int64_t start = 0;
    int64_t end = 0;
    double confidence = 0.0;  // 0: the token was not the best of any frame (time interpolated)
  };

  explicit SegmentTracker(double seconds_per_feature_frame)
      : seconds_per_feature_frame_(seconds_per_feature_frame) {}

  void Reset() { *this = SegmentTracker(seconds_per_feature_frame_); }

  // One decoded output frame covering feature frames [start, end). `token` is its best-scoring
  // token, or -1 for the blank; `best_prob` that token's posterior. Consecutive frames with the same
  // token form one emission of it (the CTC best path).
  void AddFrame(int64_t start, int64_t end, int token, double best_prob);

  // Times of the tokens of `hypothesis` (blank-free ids, in order): each token matched in order to
  // an emission of the same id on the best path takes its frames and peak posterior; a token the
  // best path lacks gets the gap between its matched neighbours and confidence 0.
  std::vector<TokenTime> Align(const std::vector<int>& hypothesis) const;

  double Seconds(int64_t feature_frame) const {
    return static_cast<double>(feature_frame) * seconds_per_feature_frame_;
  }

  // The segment so far with `text` and `words`: start/end in seconds; confidence the mean best
  // posterior of its non-blank frames. Without a non-blank frame it spans all frames seen,
  // confidence 0 (unknown).
  TextSegment Build(std::string text, std::vector<WordTiming> words) const;

 private:
  struct Emission {
    int token;
    TokenTime time;
  };

  double seconds_per_feature_frame_;
  int64_t first_start_ = -1;  // any frame
  int64_t last_end_ = -1;
  int64_t first_non_blank_start_ = -1;
  int64_t last_non_blank_end_ = -1;
  int64_t non_blank_frames_ = 0;
  double prob_sum_ = 0.0;
  int previous_token_ = -1;          // of the last frame; -1 blank or none
  std::vector<Emission> emissions_;  // best path, blank-free
};

}  // namespace orvane

#endif  // ORVANE_ASR_SEGMENT_TRACKER_H_
