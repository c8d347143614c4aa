// Tests of AudioResampler: output counts, pass-through, constant input, agreement with the
// untabulated reference over many rate pairs and block splittings, long streams, rate checks.
#include "orvane/audio_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "reference_resampler.h"

namespace orvane {
namespace {

using testing_reference::ReferenceResampler;

constexpr double kTolerance = 1e-6;

// A few tones plus deterministic noise, within -1..1.
std::vector<float> TestSignal(size_t n, int rate) {
  std::vector<float> s(n);
  uint32_t state = 12345u;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / (1 << 24)) * 2.0 - 1.0;
    s[i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 440.0 * t) +
                              0.25 * std::sin(2 * M_PI * 3150.0 * t + 0.3) +
                              0.15 * std::sin(2 * M_PI * 7300.0 * t) + 0.2 * noise);
  }
  return s;
}

// Feeds `signal` to both resamplers in blocks cycling through `blocks`, then flushes; checks that
// every call yields the same number of samples and values within kTolerance.
void ExpectMatchesReference(int in_rate, int out_rate, int hw, const std::vector<float>& signal,
                            const std::vector<size_t>& blocks) {
  SCOPED_TRACE(testing::Message() << in_rate << " -> " << out_rate << " hw " << hw
                                  << " first block " << blocks[0]);
  AudioResampler fast(in_rate, out_rate, hw);
  ReferenceResampler ref(in_rate, out_rate, hw);
  size_t pos = 0;
  size_t call = 0;
  double worst = 0.0;
  size_t total = 0;
  auto compare = [&](const std::vector<float>& a, const std::vector<float>& b) {
    ASSERT_EQ(a.size(), b.size()) << "call " << call;
    for (size_t i = 0; i < a.size(); ++i) {
      worst = std::max(worst, std::fabs(static_cast<double>(a[i]) - b[i]));
    }
    total += a.size();
  };
  while (pos < signal.size()) {
    const size_t n = std::min(blocks[call % blocks.size()], signal.size() - pos);
    fast.AcceptWaveform(signal.data() + pos, n);
    ref.AcceptWaveform(signal.data() + pos, n);
    pos += n;
    compare(fast.PopAll(), ref.PopAll());
    ++call;
  }
  fast.Flush();
  ref.Flush();
  compare(fast.PopAll(), ref.PopAll());
  EXPECT_LE(worst, kTolerance);
  EXPECT_GT(total, 0u);
}

size_t CountOutputs(AudioResampler& r, const std::vector<float>& signal, size_t block) {
  size_t total = 0;
  for (size_t pos = 0; pos < signal.size(); pos += block) {
    r.AcceptWaveform(signal.data() + pos, std::min(block, signal.size() - pos));
    total += r.PopAll().size();
  }
  r.Flush();
  return total + r.PopAll().size();
}

TEST(AudioResamplerTest, SincWindowValues) {
  EXPECT_EQ(AudioResampler::SincWindow(0.0, 16.0), 1.0);
  EXPECT_EQ(AudioResampler::SincWindow(16.0, 16.0), 0.0);
  EXPECT_EQ(AudioResampler::SincWindow(-16.5, 16.0), 0.0);
  EXPECT_NEAR(AudioResampler::SincWindow(1.0, 16.0), 0.0, 1e-15);
  EXPECT_NEAR(AudioResampler::SincWindow(0.5, 16.0),
              (0.5 * std::cos(M_PI * 0.5 / 16.0) + 0.5) * (std::sin(M_PI * 0.5) / (M_PI * 0.5)),
              1e-15);
  EXPECT_EQ(AudioResampler::SincWindow(-0.5, 16.0), AudioResampler::SincWindow(0.5, 16.0));
}

TEST(AudioResamplerTest, EqualRatesPassBlocksThroughAtOnce) {
  AudioResampler r(16000, 16000, 16);
  const std::vector<float> a = {0.1f, -0.2f, 0.3f};
  const std::vector<float> b = {0.7f};
  r.AcceptWaveform(a.data(), a.size());
  EXPECT_EQ(r.PopAll(), a);
  r.AcceptWaveform(b.data(), b.size());
  EXPECT_EQ(r.PopAll(), b);
  r.Flush();
  EXPECT_TRUE(r.PopAll().empty());
}

TEST(AudioResamplerTest, UpsamplingHoldsBackOutputsNearTheBlockEnd) {
  AudioResampler r(8000, 16000, 16);
  const std::vector<float> block = TestSignal(100, 8000);
  r.AcceptWaveform(block.data(), block.size());
  // Positions 0, 0.5, ..., 81.5 lie below 100 - 18.
  EXPECT_EQ(r.PopAll().size(), 164u);
  r.Flush();
  EXPECT_EQ(r.PopAll().size(), 36u);
  r.Flush();
  EXPECT_TRUE(r.PopAll().empty());
}

TEST(AudioResamplerTest, OutputCountsOverOneSecond) {
  const std::vector<float> s48 = TestSignal(48000, 48000);
  const std::vector<float> s44 = TestSignal(44100, 44100);
  for (size_t block : {1u, 7u, 160u, 1000u, 48000u}) {
    AudioResampler r48(48000, 16000, 16);
    EXPECT_EQ(CountOutputs(r48, s48, block), 16000u) << block;
    // 16000 additions of 2.75625 stay just below 44100, so one more output is due.
    AudioResampler r44(44100, 16000, 16);
    EXPECT_EQ(CountOutputs(r44, s44, block), 16001u) << block;
  }
}

TEST(AudioResamplerTest, ConstantInputStaysExactlyConstant) {
  for (int in_rate : {8000, 22050, 44100, 44101, 48000}) {
    for (float value : {0.5f, 0.25f, -0.3f, 0.7071f}) {
      AudioResampler r(in_rate, 16000, 16);
      const std::vector<float> s(3000, value);
      std::vector<float> out;
      for (size_t pos = 0; pos < s.size(); pos += 333) {
        r.AcceptWaveform(s.data() + pos, std::min<size_t>(333, s.size() - pos));
        const std::vector<float> part = r.PopAll();
        out.insert(out.end(), part.begin(), part.end());
      }
      r.Flush();
      const std::vector<float> tail = r.PopAll();
      out.insert(out.end(), tail.begin(), tail.end());
      ASSERT_FALSE(out.empty());
      for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], value) << in_rate << " output " << i << " of " << out.size();
      }
    }
  }
}

TEST(AudioResamplerTest, MatchesReferenceForRatePairsAndSplittings) {
  // Session rates are declared as floats and truncated: 22050.9 Hz converts at 22050 and 16000.6 Hz
  // at 16000 (a pass-through).
  const std::vector<std::pair<int, int>> pairs = {
      {8000, 16000},  {22050, 16000}, {44100, 16000},
      {48000, 16000}, {11025, 16000}, {static_cast<int>(22050.9f), 16000},
      {static_cast<int>(16000.6f), 16000}, {16001, 16000}, {44101, 16000},
      {7, 16000},     {16000, 44100}, {16000, 8000}};
  const std::vector<std::vector<size_t>> splittings = {
      {1}, {37, 1, 500}, {160}, {4096}, {100000}};
  for (const auto& [in_rate, out_rate] : pairs) {
    const std::vector<float> signal = TestSignal(in_rate == 7 ? 30 : 20000, in_rate);
    for (const auto& blocks : splittings) {
      ExpectMatchesReference(in_rate, out_rate, 16, signal, blocks);
    }
  }
}

TEST(AudioResamplerTest, MatchesReferenceForOtherHalfWidths) {
  const std::vector<float> signal = TestSignal(5000, 44100);
  // 0 gives silence; 80 is beyond the tabulated range and is evaluated directly.
  for (int hw : {0, 1, 2, 8, 32, 64, 80}) {
    ExpectMatchesReference(44100, 16000, hw, signal, {333});
    ExpectMatchesReference(8000, 16000, hw, signal, {1000});
  }
}

TEST(AudioResamplerTest, LongStreamFollowsTheAccumulatedPosition) {
  // After a million outputs the position accumulated by repeated addition of 2.75625 has drifted
  // about 5e-5 samples away from k * 2.75625; the outputs must follow the accumulated position.
  const size_t n = 2800000;
  const std::vector<float> signal = TestSignal(n, 44100);
  AudioResampler r(44100, 16000, 16);
  std::vector<float> out;
  for (size_t pos = 0; pos < n; pos += 4096) {
    r.AcceptWaveform(signal.data() + pos, std::min<size_t>(4096, n - pos));
    const std::vector<float> part = r.PopAll();
    out.insert(out.end(), part.begin(), part.end());
  }
  r.Flush();
  const std::vector<float> tail = r.PopAll();
  out.insert(out.end(), tail.begin(), tail.end());

  const double step = 44100.0 / 16000.0;
  double p = 0.0;
  size_t k = 0;
  double worst = 0.0;
  for (; p < static_cast<double>(n); p += step, ++k) {
    ASSERT_LT(k, out.size());
    if (k % 61 != 0 && k + 2000 < out.size()) continue;
    const double base = std::floor(p);
    double acc = 0.0;
    double wsum = 0.0;
    for (int i = -15; i <= 16; ++i) {
      const int64_t j = static_cast<int64_t>(base) + i;
      if (j < 0 || j >= static_cast<int64_t>(n)) continue;
      const double w = ReferenceResampler::Kernel(i - (p - base), 16.0);
      acc += signal[j] * w;
      wsum += w;
    }
    const float expected = static_cast<float>(acc / wsum);
    worst = std::max(worst, std::fabs(static_cast<double>(out[k]) - expected));
  }
  EXPECT_EQ(k, out.size());
  EXPECT_LE(worst, kTolerance);
}

TEST(AudioResamplerTest, AcceptAfterFlushContinuesLikeTheReference) {
  const std::vector<float> signal = TestSignal(3000, 22050);
  AudioResampler fast(22050, 16000, 16);
  ReferenceResampler ref(22050, 16000, 16);
  for (size_t pos : {0u, 1000u, 2000u}) {
    fast.AcceptWaveform(signal.data() + pos, 1000);
    ref.AcceptWaveform(signal.data() + pos, 1000);
    fast.Flush();
    ref.Flush();
    const std::vector<float> a = fast.PopAll();
    const std::vector<float> b = ref.PopAll();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], kTolerance);
  }
}

TEST(AudioResamplerTest, ResetStartsAFreshStream) {
  const std::vector<float> signal = TestSignal(5000, 44100);
  AudioResampler used(44100, 16000, 16);
  used.AcceptWaveform(signal.data(), 3210);
  used.Reset();
  EXPECT_TRUE(used.PopAll().empty());
  AudioResampler fresh(44100, 16000, 16);
  used.AcceptWaveform(signal.data(), signal.size());
  fresh.AcceptWaveform(signal.data(), signal.size());
  used.Flush();
  fresh.Flush();
  EXPECT_EQ(used.PopAll(), fresh.PopAll());
}

TEST(AudioResamplerTest, IsSupportedRate) {
  for (float ok : {1.0f, 1.9f, 8000.0f, 16000.5f, 16000.6f, 44100.0f, 2147483520.0f}) {
    EXPECT_TRUE(AudioResampler::IsSupportedRate(ok)) << ok;
  }
  for (float bad : {0.0f, -0.0f, 0.99f, -1.0f, -16000.0f, 2147483648.0f, 3e9f,
                    std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_FALSE(AudioResampler::IsSupportedRate(bad)) << bad;
  }
}

TEST(AudioResamplerTest, NonPositiveRatesProduceNothingAndReturn) {
  const std::vector<float> signal = TestSignal(1000, 8000);
  for (const auto& [in_rate, out_rate] :
       std::vector<std::pair<int, int>>{{0, 16000}, {-8000, 16000}, {8000, 0}, {0, 0}}) {
    AudioResampler r(in_rate, out_rate, 16);
    r.AcceptWaveform(signal.data(), signal.size());
    r.Flush();
    EXPECT_TRUE(r.PopAll().empty()) << in_rate << " -> " << out_rate;
  }
}

TEST(AudioResamplerTest, NullOrEmptyBlocksAreIgnored) {
  AudioResampler r(8000, 16000, 16);
  r.AcceptWaveform(nullptr, 100);
  r.AcceptWaveform(nullptr, 0);
  r.Flush();
  EXPECT_TRUE(r.PopAll().empty());
  AudioResampler same(16000, 16000, 16);
  same.AcceptWaveform(nullptr, 5);
  EXPECT_TRUE(same.PopAll().empty());
}

}  // namespace
}  // namespace orvane
