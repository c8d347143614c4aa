// FeaturePipeline: values against an independent NumPy reference, streaming behaviour (frame
// counts, block-size invariance, PopFrames, Reset), sample scaling and the filter layout.
#include "orvane/feature_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace orvane {
namespace {

constexpr float kFloored = -23.02585f;  // ln(1e-10f)

// Deterministic 16-bit test audio: two tones over white noise, with a stretch of digital silence
// (all filters floored) and a loud stretch near full scale. Values are 16-bit integers.
std::vector<int16_t> TestPcm(size_t n) {
  std::vector<int16_t> pcm(n);
  uint32_t state = 12345;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 6000.0;
    const double t = static_cast<double>(i) / 16000.0;
    double v = noise + 3000.0 * std::sin(2 * M_PI * 440.0 * t) + 1200.0 * std::sin(2 * M_PI * 3100.0 * t);
    if (i >= 8000 && i < 12000) v = 0.0;
    if (i >= 20000 && i < 24000) v *= 4.0;
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    pcm[i] = static_cast<int16_t>(std::lround(v));
  }
  return pcm;
}

// What a session hands the recogniser: the 16-bit values divided by 32768.
std::vector<float> Normalised(const std::vector<int16_t>& pcm) {
  std::vector<float> out(pcm.size());
  for (size_t i = 0; i < pcm.size(); ++i) out[i] = static_cast<float>(pcm[i]) / 32768.0f;
  return out;
}

std::vector<float> FeedInBlocks(FeaturePipeline* fbank, const std::vector<float>& x, size_t block) {
  for (size_t i = 0; i < x.size(); i += block) {
    fbank->AcceptWaveform(x.data() + i, std::min(block, x.size() - i));
  }
  return fbank->PopFrames(fbank->num_frames_ready());
}

std::vector<float> Features(const std::vector<float>& x, size_t block) {
  FeaturePipeline fbank;
  return FeedInBlocks(&fbank, x, block);
}

TEST(FeaturePipelineTest, MatchesNumpyReferenceWithin1e3) {
  const char* source_dir = std::getenv("ORVANE_SOURCE_DIR");
  ASSERT_NE(source_dir, nullptr) << "run through ctest (ORVANE_SOURCE_DIR unset)";
  const std::vector<int16_t> pcm = TestPcm(32000);
  const testing_support::TempDir dir;
  const std::string in_path = dir.Sub("fbank_reference_in.s16");
  const std::string out_path = dir.Sub("fbank_reference_out.f32");
  {
    std::ofstream in(in_path, std::ios::binary);
    for (int16_t v : pcm) {
      const char bytes[2] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
      in.write(bytes, 2);
    }
  }
  std::remove(out_path.c_str());
  const std::string cmd = "/usr/bin/python3 '" + std::string(source_dir) + "/tests/fbank_reference.py' '" +
                          in_path + "' '" + out_path + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0)
      << "the NumPy reference failed; it needs /usr/bin/python3 with python3-numpy (scripts/bootstrap)";
  std::ifstream out(out_path, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  std::vector<float> expected(raw.size() / 4);
  for (size_t i = 0; i < expected.size(); ++i) {
    const uint32_t bits = static_cast<uint32_t>(static_cast<unsigned char>(raw[4 * i])) |
                          static_cast<uint32_t>(static_cast<unsigned char>(raw[4 * i + 1])) << 8 |
                          static_cast<uint32_t>(static_cast<unsigned char>(raw[4 * i + 2])) << 16 |
                          static_cast<uint32_t>(static_cast<unsigned char>(raw[4 * i + 3])) << 24;
    std::memcpy(&expected[i], &bits, 4);
  }
  ASSERT_EQ(expected.size(), size_t{198} * 80);

  // Odd blocks, so the comparison also covers the streaming path.
  const std::vector<float> got = Features(Normalised(pcm), 333);
  ASSERT_EQ(got.size(), expected.size());
  size_t floored = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_NEAR(got[i], expected[i], 1e-3) << "frame " << i / 80 << ", bin " << i % 80;
    if (got[i] == kFloored) ++floored;
  }
  // The silent stretch really reached the floor (frames 50..72 lie wholly inside it).
  EXPECT_GE(floored, size_t{20} * 80);
}

TEST(FeaturePipelineTest, FrameCountsAndLeftoverSamples) {
  FeaturePipeline fbank;
  const std::vector<float> zeros(560, 0.0f);
  fbank.AcceptWaveform(zeros.data(), 399);
  EXPECT_EQ(fbank.num_frames_ready(), 0u);
  fbank.AcceptWaveform(zeros.data(), 1);
  EXPECT_EQ(fbank.num_frames_ready(), 1u);
  EXPECT_EQ(fbank.num_samples_buffered(), 240u);
  fbank.AcceptWaveform(zeros.data(), 160);
  EXPECT_EQ(fbank.num_frames_ready(), 2u);
  EXPECT_EQ(fbank.num_samples_buffered(), 240u);

  FeaturePipeline one_block;
  one_block.AcceptWaveform(zeros.data(), 560);
  EXPECT_EQ(one_block.num_frames_ready(), 2u);
  EXPECT_EQ(one_block.num_samples_buffered(), 240u);
}

TEST(FeaturePipelineTest, BlockSizeDoesNotChangeFeatures) {
  const std::vector<float> x = Normalised(TestPcm(16000));
  const std::vector<float> whole = Features(x, 16000);
  ASSERT_EQ(whole.size(), size_t{98} * 80);
  for (size_t block : {1, 7, 160}) {
    EXPECT_EQ(Features(x, block), whole) << "block size " << block;
  }
}

TEST(FeaturePipelineTest, SilenceGivesTheFloorEverywhere) {
  const std::vector<float> zeros(1600, 0.0f);
  const std::vector<float> feats = Features(zeros, 1600);
  ASSERT_EQ(feats.size(), size_t{8} * 80);
  for (float v : feats) ASSERT_EQ(v, kFloored);
}

TEST(FeaturePipelineTest, FiltersOneAndSixAreAlwaysFloored) {
  const std::vector<float> feats = Features(Normalised(TestPcm(4000)), 4000);
  ASSERT_FALSE(feats.empty());
  for (size_t f = 0; f < feats.size() / 80; ++f) {
    EXPECT_EQ(feats[f * 80 + 1], kFloored);
    EXPECT_EQ(feats[f * 80 + 6], kFloored);
    EXPECT_GT(feats[f * 80 + 0], kFloored);
    EXPECT_GT(feats[f * 80 + 7], kFloored);
  }
}

TEST(FeaturePipelineTest, ScalesOnlySamplesWithinUnitRange) {
  // 0.5 and 16384.0 both end up as 16384; 1.0 and -1.0 are scaled to +-32768.
  const std::vector<int16_t> pcm = TestPcm(800);
  std::vector<float> normalised = Normalised(pcm);
  std::vector<float> raw(pcm.begin(), pcm.end());
  normalised[200] = 0.5f;
  raw[200] = 16384.0f;
  normalised[300] = 1.0f;
  raw[300] = 32768.0f;
  normalised[301] = -1.0f;
  raw[301] = -32768.0f;
  // The test is per sample: a block may mix normalised and 16-bit-range values.
  std::vector<float> mixed = normalised;
  for (size_t i = 0; i < mixed.size(); i += 2) mixed[i] = raw[i];
  const std::vector<float> expected = Features(raw, 800);
  ASSERT_EQ(expected.size(), size_t{3} * 80);
  EXPECT_EQ(Features(normalised, 800), expected);
  EXPECT_EQ(Features(mixed, 800), expected);
}

// Normalised input is scaled whatever its size: an overshoot to 1.5 is 49152, not 1.5.
TEST(FeaturePipelineTest, NormalisedInputIsScaledWhateverItsSize) {
  const std::vector<int16_t> pcm = TestPcm(800);
  std::vector<float> normalised = Normalised(pcm);
  std::vector<float> raw(pcm.begin(), pcm.end());
  normalised[250] = 1.5f;
  raw[250] = 49152.0f;
  FeaturePipeline fbank;
  fbank.AcceptWaveformNormalized(normalised.data(), normalised.size());
  EXPECT_EQ(fbank.PopFrames(3), Features(raw, 800));
}

TEST(FeaturePipelineTest, PopFramesTakesTheOldestFirst) {
  const std::vector<float> x = Normalised(TestPcm(720));  // 3 frames
  const std::vector<float> all = Features(x, 720);
  ASSERT_EQ(all.size(), size_t{3} * 80);

  FeaturePipeline fbank;
  fbank.AcceptWaveform(x.data(), x.size());
  EXPECT_TRUE(fbank.PopFrames(0).empty());
  EXPECT_EQ(fbank.num_frames_ready(), 3u);
  const std::vector<float> first = fbank.PopFrames(1);
  EXPECT_EQ(first, std::vector<float>(all.begin(), all.begin() + 80));
  EXPECT_EQ(fbank.num_frames_ready(), 2u);
  const std::vector<float> rest = fbank.PopFrames(1000);
  EXPECT_EQ(rest, std::vector<float>(all.begin() + 80, all.end()));
  EXPECT_EQ(fbank.num_frames_ready(), 0u);
  EXPECT_TRUE(fbank.PopFrames(5).empty());

  FeaturePipeline big;
  big.AcceptWaveform(x.data(), x.size());
  EXPECT_EQ(big.PopFrames(1000).size(), 240u);
  EXPECT_EQ(big.num_frames_ready(), 0u);
}

TEST(FeaturePipelineTest, ResetReproducesAFreshPipeline) {
  const std::vector<float> x = Normalised(TestPcm(5000));
  const std::vector<float> fresh = Features(x, 5000);

  FeaturePipeline fbank;
  const std::vector<float> other = Normalised(TestPcm(1234));
  fbank.AcceptWaveform(other.data() + 500, 734);  // leaves samples buffered and frames queued
  ASSERT_GT(fbank.num_frames_ready(), 0u);
  fbank.Reset();
  EXPECT_EQ(fbank.num_frames_ready(), 0u);
  EXPECT_EQ(fbank.num_samples_buffered(), 0u);
  EXPECT_EQ(FeedInBlocks(&fbank, x, 5000), fresh);
}

TEST(FeaturePipelineTest, CopyCarriesTheStreamingState) {
  const std::vector<float> x = Normalised(TestPcm(3000));
  FeaturePipeline a;
  a.AcceptWaveform(x.data(), 1000);
  FeaturePipeline b = a;
  a.AcceptWaveform(x.data() + 1000, 2000);
  b.AcceptWaveform(x.data() + 1000, 2000);
  EXPECT_EQ(a.PopFrames(100), b.PopFrames(100));
}

TEST(FeaturePipelineTest, IntegerBinFilterLayout) {
  FeaturePipeline fbank;
  const std::vector<float>& banks = fbank.mel_banks();
  ASSERT_EQ(banks.size(), size_t{80} * 257);
  auto w = [&](size_t m, size_t j) { return banks[m * 257 + j]; };
  auto nonzero = [&](size_t m) {
    size_t n = 0;
    for (size_t j = 0; j < 257; ++j) n += w(m, j) != 0.0f;
    return n;
  };
  // Edge bins start 0, 1, 2, 2, 3, 4, 5, 6, 6, 7: filters 1 and 6 have no weight at all.
  EXPECT_EQ(nonzero(1), 0u);
  EXPECT_EQ(nonzero(6), 0u);
  EXPECT_EQ(w(0, 1), 1.0f);
  EXPECT_EQ(nonzero(0), 1u);
  EXPECT_EQ(w(2, 2), 1.0f);
  EXPECT_EQ(w(3, 3), 1.0f);
  EXPECT_EQ(w(7, 6), 1.0f);
  for (size_t m = 0; m < 80; ++m) {
    if (m != 1 && m != 6) EXPECT_GT(nonzero(m), 0u) << "filter " << m;
  }
  // ... and end 228, 235, 243: the last filter rises over 228..234 and falls over 235..242.
  EXPECT_EQ(w(79, 228), 0.0f);
  EXPECT_FLOAT_EQ(w(79, 229), 1.0f / 7.0f);
  EXPECT_EQ(w(79, 235), 1.0f);
  EXPECT_FLOAT_EQ(w(79, 242), 1.0f / 8.0f);
  EXPECT_EQ(w(79, 243), 0.0f);
  EXPECT_EQ(w(78, 235), 0.0f);
  EXPECT_EQ(w(78, 228), 1.0f);
}

TEST(FeaturePipelineTest, MelScale) {
  EXPECT_NEAR(FeaturePipeline::HzToMel(700.0f), 1127.0f * std::log(2.0f), 1e-3);
  EXPECT_EQ(FeaturePipeline::HzToMel(0.0f), 0.0f);
  for (float hz : {20.0f, 1000.0f, 7600.0f}) {
    EXPECT_NEAR(FeaturePipeline::MelToHz(FeaturePipeline::HzToMel(hz)), hz, hz * 1e-5f);
  }
}

TEST(FeaturePipelineTest, FftSizeIsAPowerOfTwoAtLeastTheFrame) {
  auto fft_size_for = [](int32_t frame_length_ms) {
    FbankOptions opts;
    opts.sample_rate = 1000;  // 1 sample per millisecond
    opts.frame_length_ms = frame_length_ms;
    return FeaturePipeline(opts).fft_size();
  };
  EXPECT_EQ(fft_size_for(400), 512);
  EXPECT_EQ(fft_size_for(512), 512);
  EXPECT_EQ(fft_size_for(513), 1024);
  EXPECT_EQ(fft_size_for(100), 512);
  FeaturePipeline defaults;
  EXPECT_EQ(defaults.frame_length(), 400);
  EXPECT_EQ(defaults.frame_shift(), 160);
}

TEST(FeaturePipelineTest, UnusableOptionsGiveAnInertPipeline) {
  FbankOptions no_bins;
  no_bins.num_mel_bins = 0;
  FbankOptions no_shift;
  no_shift.frame_shift_ms = 0;
  FbankOptions one_sample_frame;
  one_sample_frame.sample_rate = 1000;
  one_sample_frame.frame_length_ms = 1;
  FbankOptions overflow;
  overflow.sample_rate = 1 << 30;
  const std::vector<float> x(4000, 0.25f);
  for (const FbankOptions& opts : {no_bins, no_shift, one_sample_frame, overflow}) {
    testing::internal::CaptureStderr();
    FeaturePipeline fbank(opts);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(fbank.valid());
    fbank.AcceptWaveform(x.data(), x.size());
    EXPECT_EQ(fbank.num_frames_ready(), 0u);
    EXPECT_TRUE(fbank.PopFrames(10).empty());
  }
  EXPECT_TRUE(FeaturePipeline().valid());
}

TEST(FeaturePipelineTest, NullSamplesAreIgnored) {
  FeaturePipeline fbank;
  fbank.AcceptWaveform(nullptr, 1000);
  EXPECT_EQ(fbank.num_samples_buffered(), 0u);
  EXPECT_EQ(fbank.num_frames_ready(), 0u);
}

}  // namespace
}  // namespace orvane
