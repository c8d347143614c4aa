// Session: frame dispatch, conversion, resampling rules, finalisation and reset.
#include "orvane/session.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "orvane/pipeline.h"
#include "recording_module.h"

namespace orvane {
namespace {

using testing_support::CallLog;
using testing_support::RegisterRecorder;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_shared<CallLog>();
    RegisterRecorder("session-recorder", log_);
    ASSERT_TRUE(pipeline_.AddModule("session-recorder", "{}").ok());
    ASSERT_TRUE(pipeline_.Build().ok());
  }
  std::shared_ptr<CallLog> log_;
  Pipeline pipeline_;
};

TEST_F(SessionTest, DirectPathPassesBlocksWithRunningStartSample) {
  auto session = pipeline_.NewSession(16000.0f);
  std::vector<float> a(1600, 0.1f), b(800, 0.2f), c(10, 0.3f);
  session->AcceptWaveformF32(a.data(), 1600);
  session->AcceptWaveformF32(b.data(), 800);
  session->AcceptWaveformF32(c.data(), 10);
  ASSERT_EQ(log_->frames.size(), 3u);
  EXPECT_EQ(log_->frames[0].start_sample, 0u);
  EXPECT_EQ(log_->frames[1].start_sample, 1600u);
  EXPECT_EQ(log_->frames[2].start_sample, 2400u);
  EXPECT_EQ(log_->frames[1].num_samples, 800u);
  for (const auto& f : log_->frames) EXPECT_EQ(f.sample_rate, 16000.0f);
}

TEST_F(SessionTest, EmptyBlockStillReachesModulesWithoutResampling) {
  auto session = pipeline_.NewSession(16000.0f);
  session->AcceptWaveformF32(nullptr, 0);
  ASSERT_EQ(log_->frames.size(), 1u);
  EXPECT_EQ(log_->frames[0].num_samples, 0u);
}

TEST_F(SessionTest, NegativeCountsAreRefused) {
  auto session = pipeline_.NewSession(16000.0f);
  float x[2] = {0, 0};
  short y[2] = {0, 0};
  EXPECT_EQ(session->AcceptWaveformF32(x, -1), 0);
  EXPECT_EQ(session->AcceptWaveformS16(y, -7), 0);
  EXPECT_TRUE(log_->frames.empty());
}

TEST_F(SessionTest, SixteenBitSamplesAreScaledBy32768) {
  auto session = pipeline_.NewSession(16000.0f);
  short pcm[3] = {-32768, 0, 16384};
  session->AcceptWaveformS16(pcm, 3);
  ASSERT_EQ(log_->frames.size(), 1u);
  EXPECT_EQ(log_->frames[0].samples, (std::vector<float>{-1.0f, 0.0f, 0.5f}));
}

// Clipped normalised audio (the host's own samples at 1.0 or slightly beyond) is never taken for
// 16-bit values; floats that clearly carry 16-bit values are divided by 32768 from the first such
// block until Reset, and 16-bit input is never divided twice.
TEST_F(SessionTest, FloatScaleIsSettledPerStreamAndNeverPerSample) {
  auto session = pipeline_.NewSession(16000.0f);
  std::vector<float> clipped = {1.0f, -1.0f, 1.9f, 0.5f};
  session->AcceptWaveformF32(clipped.data(), 4);
  std::vector<float> pcm16 = {0.5f, 8192.0f, -16384.0f};
  session->AcceptWaveformF32(pcm16.data(), 3);
  session->AcceptWaveformF32(clipped.data(), 1);
  short s16[1] = {16384};
  session->AcceptWaveformS16(s16, 1);
  session->Reset();
  session->AcceptWaveformF32(clipped.data(), 4);
  ASSERT_EQ(log_->frames.size(), 5u);
  EXPECT_EQ(log_->frames[0].samples, clipped);
  EXPECT_EQ(log_->frames[1].samples, (std::vector<float>{0.5f / 32768, 0.25f, -0.5f}));
  EXPECT_EQ(log_->frames[2].samples, std::vector<float>{1.0f / 32768});
  EXPECT_EQ(log_->frames[3].samples, std::vector<float>{0.5f});
  EXPECT_EQ(log_->frames[4].samples, clipped);
}

// Garbage values (infinities, FLT_MAX) are no evidence of 16-bit scaling.
TEST_F(SessionTest, AbsurdFloatsDoNotSwitchTheScale) {
  auto session = pipeline_.NewSession(16000.0f);
  std::vector<float> block = {std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::max(), 70000.0f, 0.5f};
  session->AcceptWaveformF32(block.data(), 4);
  session->AcceptWaveformF32(block.data() + 3, 1);
  ASSERT_EQ(log_->frames.size(), 2u);
  EXPECT_EQ(log_->frames[1].samples, std::vector<float>{0.5f});
}

TEST_F(SessionTest, RateWithinHalfHertzIsNotResampled) {
  auto session = pipeline_.NewSession(16000.5f);
  std::vector<float> block(100, 0.5f);
  session->AcceptWaveformF32(block.data(), 100);
  ASSERT_EQ(log_->frames.size(), 1u);
  EXPECT_EQ(log_->frames[0].num_samples, 100u);
}

TEST_F(SessionTest, RateJustBeyondHalfHertzGoesThroughAnIdentityResampler) {
  // 16000.6 Hz is truncated to 16000 for the resampler, which then passes blocks through as is.
  auto session = pipeline_.NewSession(16000.6f);
  std::vector<float> block(100);
  for (int i = 0; i < 100; ++i) block[i] = 0.01f * static_cast<float>(i);
  session->AcceptWaveformF32(block.data(), 100);
  ASSERT_EQ(log_->frames.size(), 1u);
  EXPECT_EQ(log_->frames[0].samples, block);
}

TEST_F(SessionTest, EightKilohertzDoublesTheSampleCountAndSkipsEmptyOutput) {
  auto session = pipeline_.NewSession(8000.0f);
  std::vector<float> tiny(5, 0.5f);
  session->AcceptWaveformF32(tiny.data(), 5);  // all held back by the resampler
  EXPECT_TRUE(log_->frames.empty());
  std::vector<float> block(8000, 0.5f);
  session->AcceptWaveformF32(block.data(), 8000);
  session->Final();
  uint64_t total = 0;
  for (const auto& f : log_->frames) {
    EXPECT_EQ(f.start_sample, total);
    total += f.num_samples;
  }
  EXPECT_EQ(total, 16010u);
}

TEST_F(SessionTest, FinalFinalisesOnceAndRendersTheSameDocument) {
  auto session = pipeline_.NewSession(16000.0f);
  EXPECT_EQ(session->Partial(), "{\"is_final\":false}");
  EXPECT_EQ(session->Result(), "{\"is_final\":false}");
  std::vector<float> block(10, 0.0f);
  session->AcceptWaveformF32(block.data(), 10);
  const std::string first = session->Final();
  EXPECT_EQ(first, "{\"text\":\"done 10\",\"is_final\":true,\"samples_seen\":10}");
  EXPECT_EQ(session->Final(), first);
  EXPECT_EQ(log_->finalizes, 1);
  EXPECT_EQ(session->Partial(), first);  // the document stays final
  // The typed result is the document's source.
  const RecognitionResult typed = session->FinalResult();
  EXPECT_EQ(typed.text, "done 10");
  EXPECT_TRUE(typed.is_final);
  EXPECT_EQ(typed.fields.at("samples_seen"), "10");
  EXPECT_EQ(typed.ToJson(), first);
  EXPECT_EQ(session->PartialResult().ToJson(), first);
  EXPECT_EQ(log_->finalizes, 1);
}

TEST_F(SessionTest, ResetStartsAFreshStream) {
  auto session = pipeline_.NewSession(16000.0f);
  std::vector<float> block(10, 0.0f);
  session->AcceptWaveformF32(block.data(), 10);
  session->Final();
  session->Reset();
  EXPECT_EQ(session->Partial(), "{\"is_final\":false}");
  EXPECT_EQ(log_->resets, 1);
  session->AcceptWaveformF32(block.data(), 10);
  EXPECT_EQ(log_->frames.back().start_sample, 0u);
  session->Final();
  EXPECT_EQ(log_->finalizes, 2);
}

TEST_F(SessionTest, ModuleWithoutCloneIsSkippedWithAWarning) {
  auto log = std::make_shared<CallLog>();
  RegisterRecorder("no-clone", log, 0, false);
  Pipeline pipeline;
  ASSERT_TRUE(pipeline.AddModule("no-clone", "{}").ok());
  testing::internal::CaptureStderr();
  auto session = pipeline.NewSession(16000.0f);
  std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(session);
  EXPECT_EQ(err,
            "[orvane][WARN][session] module 'no-clone' has no Clone(); this session runs without "
            "it (its results will be missing)\n");
  float x = 0;
  session->AcceptWaveformF32(&x, 1);
  EXPECT_TRUE(log->frames.empty());
}

TEST_F(SessionTest, OneShotBufferEqualsAHostSessionFedInOneBlock) {
  std::vector<short> pcm(4410);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<short>((i * 37) % 2000 - 1000);
  const std::string one_shot = pipeline_.TranscribeBuffer(pcm.data(), 4410, 44100.0f);
  auto session = pipeline_.NewSession(44100.0f);
  session->AcceptWaveformS16(pcm.data(), 4410);
  EXPECT_EQ(session->Final(), one_shot);
}

TEST_F(SessionTest, OneShotErrorsComeBackAsDocuments) {
  EXPECT_EQ(pipeline_.TranscribeBuffer(nullptr, 0, 0.0f),
            "{\"is_final\":true,\"error\":\"session creation failed\"}");
  const std::string missing = pipeline_.TranscribeFile("/nonexistent/clip.wav");
  EXPECT_EQ(missing.rfind("{\"is_final\":true,\"error\":\"", 0), 0u) << missing;
  EXPECT_EQ(missing.find("\"text\""), std::string::npos);
}

TEST_F(SessionTest, SessionsOnManyThreadsShareOnePipeline) {
  constexpr int kThreads = 8;
  std::vector<std::thread> threads;
  std::vector<std::string> finals(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t, &finals] {
      auto session = pipeline_.NewSession(t % 2 ? 44100.0f : 16000.0f);
      std::vector<float> block(441, 0.1f);
      for (int i = 0; i < 20; ++i) {
        session->AcceptWaveformF32(block.data(), 441);
        session->Partial();
      }
      finals[t] = session->Final();
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_NE(finals[t].find("\"is_final\":true"), std::string::npos);
    if (t % 2 == 0) EXPECT_NE(finals[t].find("\"done 8820\""), std::string::npos);
  }
}

}  // namespace
}  // namespace orvane
