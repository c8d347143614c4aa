// Pipeline: adding modules, building, rebuilding, presets and session creation.
#include "orvane/pipeline.h"

#include <gtest/gtest.h>

#include "orvane/logger.h"
#include "orvane/session.h"
#include "recording_module.h"

namespace orvane {
namespace {

using testing_support::CallLog;
using testing_support::RegisterRecorder;

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_shared<CallLog>();
    RegisterRecorder("test-ok", log_);
    RegisterRecorder("test-fail", log_, -6);
  }
  std::shared_ptr<CallLog> log_;
};

TEST_F(PipelineTest, UnknownModuleIsRefusedAndNothingIsAdded) {
  Pipeline pipeline;
  Status status = pipeline.AddModule("no-such", "{}");
  EXPECT_EQ(status.code, -2);
  EXPECT_EQ(status.message, "unknown module: no-such");
  ASSERT_TRUE(pipeline.Build().ok());
  auto session = pipeline.NewSession(16000.0f);
  ASSERT_TRUE(session);
  EXPECT_EQ(session->Final(), "{\"is_final\":true}");
}

TEST_F(PipelineTest, BuildInitialisesEveryModuleWithItsConfiguration) {
  Pipeline pipeline;
  ASSERT_TRUE(pipeline.AddModule("test-ok", "{\"a\":1}").ok());
  EXPECT_FALSE(pipeline.built());
  ASSERT_TRUE(pipeline.Build().ok());
  EXPECT_TRUE(pipeline.built());
  EXPECT_EQ(log_->inits, 1);
  EXPECT_EQ(log_->last_config, "{\"a\":1}");
  EXPECT_NE(log_->last_engine, nullptr);
}

TEST_F(PipelineTest, FailingModuleStopsTheBuild) {
  Pipeline pipeline;
  ASSERT_TRUE(pipeline.AddModule("test-ok", "{}").ok());
  ASSERT_TRUE(pipeline.AddModule("test-fail", "{}").ok());
  ASSERT_TRUE(pipeline.AddModule("test-ok", "{}").ok());
  Status status = pipeline.Build();
  EXPECT_EQ(status.code, -6);
  EXPECT_EQ(status.message, "module init failed [test-fail]: refused");
  EXPECT_EQ(log_->inits, 2);  // the third module is never initialised
  EXPECT_FALSE(pipeline.built());
  EXPECT_EQ(pipeline.NewSession(16000.0f), nullptr);
}

TEST_F(PipelineTest, NewSessionBuildsOnlyOnce) {
  Pipeline pipeline;
  ASSERT_TRUE(pipeline.AddModule("test-ok", "{}").ok());
  auto first = pipeline.NewSession(16000.0f);
  auto second = pipeline.NewSession(16000.0f);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(log_->inits, 1);
  EXPECT_EQ(log_->clones, 2);
}

TEST_F(PipelineTest, RebuildReplacesTheEngineAndReinitialises) {
  Pipeline pipeline;
  ASSERT_TRUE(pipeline.AddModule("test-ok", "{}").ok());
  ASSERT_TRUE(pipeline.Build().ok());
  ASSERT_TRUE(pipeline.Build().ok());
  EXPECT_EQ(log_->inits, 2);
}

TEST_F(PipelineTest, SessionOutlivingARebuildOrItsPipelineStaysUsable) {
  auto pipeline = std::make_unique<Pipeline>();
  ASSERT_TRUE(pipeline->AddModule("test-ok", "{}").ok());
  auto session = pipeline->NewSession(8000.0f);
  ASSERT_TRUE(session);
  ASSERT_TRUE(pipeline->Build().ok());
  pipeline.reset();  // a free-order mistake: the session must not touch freed memory
  std::vector<float> audio(800, 0.25f);
  session->AcceptWaveformF32(audio.data(), static_cast<int>(audio.size()));
  EXPECT_NE(session->Final().find("\"is_final\":true"), std::string::npos);
}

TEST_F(PipelineTest, UnusableRatesGiveNoSession) {
  Pipeline pipeline;
  for (float rate : {0.0f, -16000.0f, 0.5f, std::numeric_limits<float>::quiet_NaN(),
                     std::numeric_limits<float>::infinity(), 3e9f}) {
    EXPECT_EQ(pipeline.NewSession(rate), nullptr) << rate;
  }
  EXPECT_NE(pipeline.NewSession(1.0f), nullptr);
}

TEST_F(PipelineTest, FromPresetBuildsTheNamedPreset) {
  auto pipeline = Pipeline::FromPreset("transcribe");
  ASSERT_TRUE(pipeline);
  EXPECT_TRUE(pipeline->built());
}

TEST_F(PipelineTest, FromPresetWithUnknownNameLogsAndReturnsNothing) {
  testing::internal::CaptureStderr();
  auto pipeline = Pipeline::FromPreset("Transcribe");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(pipeline, nullptr);
  EXPECT_EQ(log, "[orvane][ERROR][pipeline] preset failed: unknown preset: Transcribe\n");
}

TEST_F(PipelineTest, EnsureModelsSucceedsWithoutBundles) {
  Pipeline pipeline;
  ASSERT_TRUE(pipeline.AddModule("test-ok", "{}").ok());
  EXPECT_TRUE(pipeline.EnsureModels().ok());
}

}  // namespace
}  // namespace orvane
