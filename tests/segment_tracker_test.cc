// SegmentTracker: segment times, and the times of a hypothesis's tokens read off the best path.
#include "asr/segment_tracker.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

// Output frames of 4 feature frames; `path` holds each frame's best token (-1 blank).
SegmentTracker Track(const std::vector<int>& path, double prob = 0.5) {
  SegmentTracker tracker(0.01);
  for (size_t t = 0; t < path.size(); ++t) {
    const int64_t start = 4 * static_cast<int64_t>(t);
    tracker.AddFrame(start, start + 4, path[t], path[t] == 7 ? 0.9 : prob);
  }
  return tracker;
}

TEST(SegmentTrackerTest, TokensOnTheBestPathTakeTheirFrames) {
  // Repeats of a token are one emission; a blank between two equal tokens makes two.
  const SegmentTracker tracker = Track({-1, 5, 5, -1, 7, -1, 5, -1});
  const std::vector<SegmentTracker::TokenTime> times = tracker.Align({5, 7, 5});
  ASSERT_EQ(times.size(), 3u);
  EXPECT_EQ(times[0].start, 4);
  EXPECT_EQ(times[0].end, 12);
  EXPECT_DOUBLE_EQ(times[0].confidence, 0.5);
  EXPECT_EQ(times[1].start, 16);
  EXPECT_DOUBLE_EQ(times[1].confidence, 0.9);
  EXPECT_EQ(times[2].start, 24);
  EXPECT_EQ(times[2].end, 28);
  const TextSegment segment = tracker.Build("a b", {WordTiming{"a", 0.04, 0.12, 0.5f}});
  EXPECT_DOUBLE_EQ(segment.start, 0.04);
  EXPECT_DOUBLE_EQ(segment.end, 0.28);
  ASSERT_EQ(segment.words.size(), 1u);
}

TEST(SegmentTrackerTest, TokensTheBestPathLacksShareTheGapBetweenTheirNeighbours) {
  // The search kept 5 3 4 7 where the best path says 5 6 7: 6 is skipped, 3 and 4 split the gap.
  const SegmentTracker tracker = Track({5, -1, 6, -1, -1, 7});
  const std::vector<SegmentTracker::TokenTime> times = tracker.Align({5, 3, 4, 7});
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[0].end, 4);
  EXPECT_EQ(times[1].start, 4);
  EXPECT_EQ(times[1].end, 12);
  EXPECT_EQ(times[2].start, 12);
  EXPECT_EQ(times[2].end, 20);
  EXPECT_DOUBLE_EQ(times[2].confidence, 0.0);
  EXPECT_EQ(times[3].start, 20);
  // Unmatched at the edges: from the segment's first frame, up to its last.
  const std::vector<SegmentTracker::TokenTime> edges = tracker.Align({9, 5, 7, 9});
  EXPECT_EQ(edges[0].start, 0);
  EXPECT_EQ(edges[0].end, 0);
  EXPECT_EQ(edges[3].start, 24);
  EXPECT_EQ(edges[3].end, 24);
  EXPECT_TRUE(Track({}).Align({}).empty());
}

}  // namespace
}  // namespace orvane
