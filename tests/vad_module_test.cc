// VadModule: per-block energy decision at the 1e-6 floor, counts, clones, reset and its log line.
#include "orvane/vad_module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "orvane/logger.h"
#include "orvane/module_registry.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

class VadModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { Logger::Instance().SetLevel(Debug); }
  void TearDown() override { Logger::Instance().SetLevel(Info); }

  static void Feed(Module& m, const std::vector<float>& block) {
    AudioFrame frame;
    frame.samples = block.data();
    frame.num_samples = block.size();
    m.OnFrame(frame, nullptr);
  }

  static std::string Summary(Module& m) {
    testing::internal::CaptureStderr();
    m.OnFinalize(nullptr);
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(VadModuleTest, Identity) {
  VadModule vad;
  EXPECT_STREQ(vad.name(), "vad");
  EXPECT_STREQ(vad.version(), "1");
  EXPECT_FALSE(vad.produces_text());
  EXPECT_FALSE(vad.consumes_features());
}

TEST_F(VadModuleTest, FreshModuleReportsZeroCounts) {
  VadModule vad;
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=0/0\n");
}

TEST_F(VadModuleTest, ThresholdIsMinusSixtyDecibels) {
  VadModule vad;
  Feed(vad, std::vector<float>(1600, 0.0011f));  // voiced
  Feed(vad, std::vector<float>(1600, 0.0009f));  // unvoiced
  Feed(vad, std::vector<float>(800, -0.0011f));  // sign does not matter
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=2400/4000\n");
}

TEST_F(VadModuleTest, FloorIsTheFloatOneMillionth) {
  const float floor_value = 1e-6f;
  uint32_t bits;
  std::memcpy(&bits, &floor_value, sizeof(bits));
  EXPECT_EQ(bits, 0x358637BDu);
  // The neighbouring floats of an RMS of 0.001: the first whose square exceeds the floor and the
  // one below it.
  float above = std::sqrt(floor_value);
  while (above * above <= floor_value) above = std::nextafter(above, 1.0f);
  const float below = std::nextafter(above, 0.0f);
  ASSERT_LE(below * below, floor_value);
  VadModule vad;
  Feed(vad, {above});
  Feed(vad, {below});
  Feed(vad, {above, above, above});
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=4/5\n");
}

TEST_F(VadModuleTest, DecisionIsPerBlockNotPerSample) {
  std::vector<float> burst(1600, 0.0f);
  burst[800] = 0.5f;  // one loud sample makes the whole block voiced
  VadModule vad;
  Feed(vad, burst);
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=1600/1600\n");
}

TEST_F(VadModuleTest, SilenceAndEmptyBlocks) {
  VadModule vad;
  Feed(vad, std::vector<float>(480, 0.0f));
  Feed(vad, {});
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=0/480\n");
}

TEST_F(VadModuleTest, NaNBlockIsUnvoicedButCounted) {
  VadModule vad;
  std::vector<float> block(10, 0.5f);
  block[3] = std::numeric_limits<float>::quiet_NaN();
  Feed(vad, block);
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=0/10\n");
}

TEST_F(VadModuleTest, NullSamplesWithACountAreCountedWithoutReading) {
  VadModule vad;
  AudioFrame frame;
  frame.samples = nullptr;
  frame.num_samples = 5;
  vad.OnFrame(frame, nullptr);
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=0/5\n");
}

TEST_F(VadModuleTest, FinalizeKeepsCountsAndResetClearsThem) {
  VadModule vad;
  Feed(vad, std::vector<float>(100, 0.1f));
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=100/100\n");
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=100/100\n");
  vad.Reset();
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=0/0\n");
  Feed(vad, std::vector<float>(7, 0.0f));
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=0/7\n");
}

TEST_F(VadModuleTest, ClonesStartAtZeroAndCountSeparately) {
  VadModule vad;
  ASSERT_TRUE(vad.Init(ModuleConfig{"not json", 16000.0f}, nullptr, nullptr).ok());
  Feed(vad, std::vector<float>(50, 0.1f));
  std::unique_ptr<Module> a = vad.Clone();
  std::unique_ptr<Module> b = vad.Clone();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(a->name(), "vad");
  Feed(*a, std::vector<float>(30, 0.1f));
  Feed(*b, std::vector<float>(20, 0.0f));
  EXPECT_EQ(Summary(*a), "[orvane][DEBUG][vad] voiced=30/30\n");
  EXPECT_EQ(Summary(*b), "[orvane][DEBUG][vad] voiced=0/20\n");
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=50/50\n");
}

TEST_F(VadModuleTest, InitDoesNotTouchCounts) {
  VadModule vad;
  Feed(vad, std::vector<float>(10, 0.1f));
  const Status s = vad.Init(ModuleConfig{}, nullptr, nullptr);
  EXPECT_EQ(s.code, 0);
  EXPECT_EQ(s.message, "");
  EXPECT_EQ(Summary(vad), "[orvane][DEBUG][vad] voiced=10/10\n");
}

TEST_F(VadModuleTest, SummaryIsHiddenAtTheDefaultLevel) {
  Logger::Instance().SetLevel(Info);
  VadModule vad;
  EXPECT_EQ(Summary(vad), "");
}

TEST_F(VadModuleTest, WritesNothingIntoTheDocument) {
  std::unique_ptr<Module> vad = ModuleRegistry::Instance().Create("vad");
  ASSERT_NE(vad, nullptr);
  ResultBuilder doc;
  std::vector<float> block(160, 0.2f);
  AudioFrame frame;
  frame.samples = block.data();
  frame.num_samples = block.size();
  vad->OnFrame(frame, &doc);
  testing::internal::CaptureStderr();
  vad->OnFinalize(&doc);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[orvane][DEBUG][vad] voiced=160/160\n");
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}");
}

}  // namespace
}  // namespace orvane
