// CtcEndpoint: the end rules, the blank probability of a frame and the resulting segment timing at
// 40 ms per model output frame.
#include "orvane/ctc_endpoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "orvane/ctc_beam_search.h"

namespace orvane {
namespace {

constexpr int kFrameMs = 40;

// Frame rows over three tokens (id 0 the blank) with a chosen blank probability.
std::vector<float> RowWithBlankProbability(double p) {
  const double other = (1.0 - p) / 2.0;
  return {static_cast<float>(std::log(p)), static_cast<float>(std::log(other)),
          static_cast<float>(std::log(other))};
}

const std::vector<float> kSilence = RowWithBlankProbability(0.95);
const std::vector<float> kSpeech = RowWithBlankProbability(0.10);

// Drives the endpoint frame by frame the way the recogniser counts: every frame lengthens the
// segment; a silence frame lengthens the trailing silence, a speech frame clears it and marks the
// segment as holding speech. Returns the 1-based frame at which the segment ends, or 0.
class SegmentDriver {
 public:
  explicit SegmentDriver(const CtcEndpoint& endpoint) : endpoint_(endpoint) {}

  bool Frame(const std::vector<float>& row) {
    ++segment_frames_;
    int silence_ms = 0;
    bool has_text = true;
    if (endpoint_.IsSilenceFrame(row.data(), static_cast<int>(row.size()))) {
      ++blank_run_frames_;
      silence_ms = blank_run_frames_ * kFrameMs;
      has_text = has_text_;
    } else {
      has_text_ = true;
      blank_run_frames_ = 0;
    }
    return endpoint_.Check(silence_ms, segment_frames_ * kFrameMs, has_text);
  }

  // Feeds `count` copies of `row`; returns the 1-based index of the first that ends the segment.
  int FeedUntilEnd(const std::vector<float>& row, int count) {
    for (int i = 1; i <= count; ++i) {
      if (Frame(row)) return i;
    }
    return 0;
  }

 private:
  const CtcEndpoint& endpoint_;
  int blank_run_frames_ = 0;
  int segment_frames_ = 0;
  bool has_text_ = false;
};

TEST(CtcEndpointTest, CheckRulesWithTheRecogniserConfiguration) {
  const CtcEndpoint endpoint(CtcEndpointConfig{5000, 1000, 20000, 0.8f});
  EXPECT_FALSE(endpoint.Check(999, 0, true));
  EXPECT_TRUE(endpoint.Check(1000, 0, true));
  EXPECT_FALSE(endpoint.Check(4999, 0, false));
  EXPECT_TRUE(endpoint.Check(5000, 0, false));
  EXPECT_TRUE(endpoint.Check(0, 20000, false));
  EXPECT_FALSE(endpoint.Check(0, 19999, true));
  EXPECT_FALSE(endpoint.Check(1000, 19999, false));  // the short silence needs speech
}

TEST(CtcEndpointTest, CheckIgnoresTheThreshold) {
  const CtcEndpoint endpoint(CtcEndpointConfig{300, 100, 900, 0.0f});
  EXPECT_TRUE(endpoint.Check(100, 0, true));
  EXPECT_FALSE(endpoint.Check(299, 0, false));
  EXPECT_TRUE(endpoint.Check(0, 900, true));
}

TEST(CtcEndpointTest, BlankProbabilityIsTheSoftmaxOfTokenZero) {
  const std::vector<float> row = {2.0f, 1.0f, 0.0f, -1.0f};
  const double expected = std::exp(2.0) / (std::exp(2.0) + std::exp(1.0) + 1.0 + std::exp(-1.0));
  EXPECT_NEAR(CtcEndpoint::BlankProbability(row.data(), 4), expected, 1e-15);
  // Raw scores far from zero are normalised without overflow.
  const std::vector<float> shifted = {502.0f, 501.0f, 500.0f, 499.0f};
  EXPECT_NEAR(CtcEndpoint::BlankProbability(shifted.data(), 4), expected, 1e-12);
  EXPECT_EQ(CtcEndpoint::BlankProbability(row.data(), 1), 1.0);
  EXPECT_EQ(CtcEndpoint::BlankProbability(nullptr, 4), 0.0);
  EXPECT_EQ(CtcEndpoint::BlankProbability(row.data(), 0), 0.0);
  // From the search's normaliser of the same row: the very same value.
  const double normaliser = CtcBeamSearch::LogSoftmaxDenominator(row.data(), 4);
  EXPECT_EQ(CtcEndpoint::BlankProbabilityFromNormaliser(row.data(), normaliser),
            CtcEndpoint::BlankProbability(row.data(), 4));
  EXPECT_EQ(CtcEndpoint::BlankProbabilityFromNormaliser(nullptr, normaliser), 0.0);
}

TEST(CtcEndpointTest, ThresholdIsStrictAndComparedAsSinglePrecision) {
  const CtcEndpoint endpoint(CtcEndpointConfig{});
  const double threshold = static_cast<double>(0.8f);  // 0.800000011920929
  // Search two-token rows {x, 0} for one whose blank probability lies in (0.8, 0.8f]: silence if
  // the threshold were read as the double 0.8, speech when read as the float 0.8f.
  bool found_window = false;
  bool found_above = false;
  for (float x = 1.3862f; x < 1.3865f; x = std::nextafter(x, 2.0f)) {
    const std::vector<float> row = {x, 0.0f};
    const double p = CtcEndpoint::BlankProbability(row.data(), 2);
    if (p > 0.8 && p <= threshold) {
      found_window = true;
      EXPECT_FALSE(endpoint.IsSilenceFrame(row.data(), 2)) << p;
    } else if (p > threshold && !found_above) {
      found_above = true;
      EXPECT_TRUE(endpoint.IsSilenceFrame(row.data(), 2)) << p;
    } else if (p <= 0.8) {
      EXPECT_FALSE(endpoint.IsSilenceFrame(row.data(), 2)) << p;
    }
  }
  EXPECT_TRUE(found_window);
  EXPECT_TRUE(found_above);
}

TEST(CtcEndpointTest, TwentyFifthSilentFrameAfterSpeechEndsTheSegment) {
  const CtcEndpoint endpoint(CtcEndpointConfig{});
  SegmentDriver driver(endpoint);
  EXPECT_EQ(driver.FeedUntilEnd(kSpeech, 3), 0);
  EXPECT_EQ(driver.FeedUntilEnd(kSilence, 30), 25);
}

TEST(CtcEndpointTest, SpeechRestartsTheSilenceCount) {
  const CtcEndpoint endpoint(CtcEndpointConfig{});
  SegmentDriver driver(endpoint);
  EXPECT_EQ(driver.FeedUntilEnd(kSpeech, 1), 0);
  EXPECT_EQ(driver.FeedUntilEnd(kSilence, 24), 0);
  // A frame with blank probability 0.8 (to float rounding, not above 0.8f) counts as speech.
  EXPECT_EQ(driver.FeedUntilEnd(RowWithBlankProbability(0.8), 1), 0);
  EXPECT_EQ(driver.FeedUntilEnd(kSilence, 30), 25);
}

TEST(CtcEndpointTest, SilenceWithoutSpeechEndsAfter125Frames) {
  const CtcEndpoint endpoint(CtcEndpointConfig{});
  SegmentDriver driver(endpoint);
  EXPECT_EQ(driver.FeedUntilEnd(kSilence, 200), 125);
}

TEST(CtcEndpointTest, LongSegmentEndsAt500Frames) {
  const CtcEndpoint endpoint(CtcEndpointConfig{});
  SegmentDriver driver(endpoint);
  EXPECT_EQ(driver.FeedUntilEnd(kSpeech, 600), 500);

  // Silence frames count towards the length too: 24 silent frames never end it after speech.
  SegmentDriver mixed(endpoint);
  int ended_at = 0;
  for (int i = 1; i <= 600 && ended_at == 0; ++i) {
    if (mixed.Frame(i % 20 == 1 ? kSpeech : kSilence)) ended_at = i;
  }
  EXPECT_EQ(ended_at, 500);
}

}  // namespace
}  // namespace orvane
