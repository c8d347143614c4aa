// SegmentTracker: frame bookkeeping behind the recogniser's segment and word times and confidence.
#include "asr/segment_tracker.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvane {

void SegmentTracker::AddFrame(int64_t start, int64_t end, int token, double best_prob) {
  if (first_start_ < 0) first_start_ = start;
  last_end_ = std::max(last_end_, end);
  const int previous = previous_token_;
  previous_token_ = token;
  if (token < 0) return;
  if (first_non_blank_start_ < 0) first_non_blank_start_ = start;
  last_non_blank_end_ = std::max(last_non_blank_end_, end);
  ++non_blank_frames_;
  prob_sum_ += best_prob;
  const double prob = std::isfinite(best_prob) ? best_prob : 0.0;
  if (token == previous && !emissions_.empty()) {
    TokenTime& time = emissions_.back().time;
    time.end = std::max(time.end, end);
    time.confidence = std::max(time.confidence, prob);
  } else {
    emissions_.push_back(Emission{token, TokenTime{start, end, prob}});
  }
}

std::vector<SegmentTracker::TokenTime> SegmentTracker::Align(
    const std::vector<int>& hypothesis) const {
  const size_t n = hypothesis.size();
  const size_t m = emissions_.size();
  std::vector<TokenTime> times(n);
  if (n == 0) return times;
  // Longest common subsequence of the hypothesis and the best path's emissions; the search and the
  // best path agree on almost every token, so most cells of the table lie on one diagonal path.
  // Beyond kMaxTable cells (segments far longer than the endpoint rules allow) each token takes
  // the next emission of its id instead.
  constexpr size_t kMaxTable = size_t{1} << 22;
  const bool exact = (n + 1) * (m + 1) <= kMaxTable;
  std::vector<uint32_t> table(exact ? (n + 1) * (m + 1) : 0, 0);
  auto at = [m, &table](size_t i, size_t j) -> uint32_t& { return table[i * (m + 1) + j]; };
  for (size_t i = n; exact && i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      at(i, j) = hypothesis[i] == emissions_[j].token ? at(i + 1, j + 1) + 1
                                                       : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  std::vector<bool> matched(n, false);
  for (size_t i = 0, j = 0; i < n && j < m;) {
    if (!exact) {
      size_t k = j;
      while (k < m && emissions_[k].token != hypothesis[i]) ++k;
      if (k < m) {
        times[i] = emissions_[k].time;
        matched[i] = true;
        j = k + 1;
      }
      ++i;
    } else if (hypothesis[i] == emissions_[j].token && at(i, j) == at(i + 1, j + 1) + 1) {
      times[i] = emissions_[j].time;
      matched[i] = true;
      ++i;
      ++j;
    } else if (at(i + 1, j) >= at(i, j + 1)) {
      ++i;
    } else {
      ++j;
    }
  }
  // Unmatched tokens share the gap between their matched neighbours (or the segment's edges).
  const int64_t first = std::max<int64_t>(first_start_, 0);
  const int64_t last = std::max<int64_t>(last_end_, first);
  for (size_t i = 0; i < n;) {
    if (matched[i]) {
      ++i;
      continue;
    }
    size_t k = i;
    while (k < n && !matched[k]) ++k;
    const int64_t from = i > 0 ? times[i - 1].end : first;
    const int64_t to = std::max(k < n ? times[k].start : last, from);
    const int64_t count = static_cast<int64_t>(k - i);
    for (size_t t = i; t < k; ++t) {
      const int64_t index = static_cast<int64_t>(t - i);
      times[t] = TokenTime{from + (to - from) * index / count, from + (to - from) * (index + 1) / count,
                           0.0};
    }
    i = k;
  }
  return times;
}

TextSegment SegmentTracker::Build(std::string text, std::vector<WordTiming> words) const {
  TextSegment segment;
  segment.text = std::move(text);
  segment.words = std::move(words);
  const bool spoken = non_blank_frames_ > 0;
  const int64_t start = spoken ? first_non_blank_start_ : std::max<int64_t>(first_start_, 0);
  const int64_t end = spoken ? last_non_blank_end_ : std::max<int64_t>(last_end_, start);
  segment.start = Seconds(start);
  segment.end = Seconds(end);
  if (spoken) {
    // A best posterior lies in [1/vocabulary, 1]; the clamp absorbs rounding, and scores that were
    // not numbers leave the confidence unknown.
    const double mean = prob_sum_ / static_cast<double>(non_blank_frames_);
    if (std::isfinite(mean) && mean > 0.0) segment.confidence = static_cast<float>(std::min(mean, 1.0));
  }
  return segment;
}

}  // namespace orvane
