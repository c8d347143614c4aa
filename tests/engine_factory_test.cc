// EngineFactory: back-end numbers, the no-op fallback and its log lines.
#include "orvane/engine_factory.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/onnx_engine.h"
#include "orvane/logger.h"

namespace orvane {
namespace {

class EngineFactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::Instance().SetLevel(Info);
    // ONNX support depends on the build; the expectations below follow it.
    onnx_available_ = CreateOnnxEngine() != nullptr;
  }

  // Creates an engine and returns its back-end name, with everything logged meanwhile in `log`.
  static std::string CreateLogged(int backend, std::string* log) {
    testing::internal::CaptureStderr();
    std::unique_ptr<Engine> engine = EngineFactory::Create(backend);
    *log = testing::internal::GetCapturedStderr();
    EXPECT_NE(engine, nullptr);
    return engine ? engine->backend_name() : "";
  }

  bool onnx_available_ = false;
};

TEST_F(EngineFactoryTest, CoreMlYieldsNoopWithOneWarning) {
  std::string log;
  EXPECT_EQ(CreateLogged(2, &log), "noop");
  EXPECT_EQ(log, "[orvane][WARN][engine] CoreML backend not yet implemented; using noop\n");
}

TEST_F(EngineFactoryTest, OnnxNumberGivesOnnxOrWarnsAndFallsBack) {
  std::string log;
  const std::string name = CreateLogged(1, &log);
  if (onnx_available_) {
    EXPECT_EQ(name, "onnx");
    EXPECT_EQ(log, "");
  } else {
    EXPECT_EQ(name, "noop");
    EXPECT_EQ(log, "[orvane][WARN][engine] ONNX backend not available; using noop\n");
  }
}

TEST_F(EngineFactoryTest, AutomaticChoiceIsSilent) {
  testing::internal::CaptureStderr();
  std::unique_ptr<Engine> engine = EngineFactory::CreateAuto();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_NE(engine, nullptr);
  EXPECT_STREQ(engine->backend_name(), onnx_available_ ? "onnx" : "noop");
}

TEST_F(EngineFactoryTest, ZeroAndUnknownNumbersBehaveLikeAutomatic) {
  const std::string expected = onnx_available_ ? "onnx" : "noop";
  for (int backend : {0, 3, 7, -1, 1000}) {
    std::string log;
    EXPECT_EQ(CreateLogged(backend, &log), expected) << "backend " << backend;
    EXPECT_EQ(log, "") << "backend " << backend;
  }
}

#if defined(ORVANE_TEST_EXPECT_ONNX)
TEST_F(EngineFactoryTest, ThisBuildHasOnnxSupport) { EXPECT_TRUE(onnx_available_); }
#endif

}  // namespace
}  // namespace orvane
