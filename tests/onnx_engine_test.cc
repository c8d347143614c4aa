// The ONNX Runtime engine: loading from a file and from memory, every failure status, type
// conversion of inputs and outputs, and concurrent runs on one engine.
#include "engine/onnx_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "orvane/logger.h"
#include "test_models.h"

namespace orvane {
namespace {

namespace tm = test_models;

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Inputs of recognition.onnx: every chunk value `level`, the given offset, caches of one value each.
std::vector<Tensor> RecognitionInputs(float level, float offset, float att, float cnn) {
  std::vector<Tensor> inputs(4);
  inputs[0].data.assign(tm::kChunkFrames * tm::kFeatureBins, level);
  inputs[0].shape = {1, tm::kChunkFrames, tm::kFeatureBins};
  inputs[1].data = {offset};
  inputs[1].shape = {1, 1};
  inputs[2].data.assign(tm::kAttCacheSize, att);
  inputs[2].shape = {1, 12, 4, 40, 224};
  inputs[3].data.assign(tm::kCnnCacheSize, cnn);
  inputs[3].shape = {1, 12, 448, 30};
  return inputs;
}

// The id whose score is kChosenScore in row t of "output", or -1 when the row is not one-hot.
int ChosenId(const Tensor& output, int t) {
  int chosen = -1;
  for (int v = 0; v < tm::kVocabSize; ++v) {
    const float score = output.data[t * tm::kVocabSize + v];
    if (score == tm::kChosenScore) {
      if (chosen != -1) return -1;
      chosen = v;
    } else if (score != tm::kOtherScore) {
      return -1;
    }
  }
  return chosen;
}

class OnnxEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::Instance().SetLevel(Info);
    engine_ = CreateOnnxEngine();
#if defined(ORVANE_TEST_EXPECT_ONNX)
    ASSERT_NE(engine_, nullptr) << "this build has ONNX Runtime but no engine came back";
#endif
    if (!engine_) GTEST_SKIP() << "built without ONNX Runtime";
    if (!tm::Available()) GTEST_SKIP() << "test models were not generated (no Python onnx)";
  }

  // Loads a generated model from its file, failing the test when that does not work.
  void Load(const std::string& name) {
    Status status = engine_->LoadModel(tm::Path(name));
    ASSERT_TRUE(status.ok()) << status.message;
  }

  std::unique_ptr<Engine> engine_;
};

TEST_F(OnnxEngineTest, NameIsOnnxBeforeAndAfterLoading) {
  EXPECT_STREQ(engine_->backend_name(), "onnx");
  Load("two_inputs.onnx");
  EXPECT_STREQ(engine_->backend_name(), "onnx");
  engine_->Reset();
  EXPECT_STREQ(engine_->backend_name(), "onnx");
}

TEST_F(OnnxEngineTest, RunBeforeLoadingFailsAndKeepsOutputs) {
  std::vector<Tensor> outputs(2, Tensor{{7.0f}, {1}});
  Status status = engine_->Run({Tensor{{1.0f}, {1}}}, &outputs);
  EXPECT_EQ(status.code, -6);
  EXPECT_EQ(status.message, "engine_onnx: model not loaded");
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(outputs[1].data, std::vector<float>{7.0f});
}

TEST_F(OnnxEngineTest, LoadFromFileLogsPathAndCounts) {
  const std::string path = tm::Path("recognition.onnx");
  testing::internal::CaptureStderr();
  Status status = engine_->LoadModel(path);
  const std::string log = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(status.message, "");
  EXPECT_EQ(log, "[orvane][INFO][engine_onnx] loaded " + path + " inputs=4 outputs=3\n");
}

TEST_F(OnnxEngineTest, LoadFromBufferLogsSizeAndCountsAndRuns) {
  const std::vector<char> bytes = ReadFile(tm::Path("two_inputs.onnx"));
  ASSERT_FALSE(bytes.empty());
  testing::internal::CaptureStderr();
  Status status = engine_->LoadModelFromBuffer(bytes.data(), bytes.size());
  const std::string log = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(log, "[orvane][INFO][engine_onnx] loaded model from buffer (" +
                     std::to_string(bytes.size()) + " bytes) inputs=2 outputs=2\n");

  std::vector<Tensor> outputs;
  ASSERT_TRUE(engine_->Run({Tensor{{5, 1}, {2}}, Tensor{{2, 3}, {2}}}, &outputs).ok());
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(outputs[0].data, (std::vector<float>{7, 4}));
  EXPECT_EQ(outputs[0].shape, std::vector<int64_t>{2});
  EXPECT_EQ(outputs[1].data, (std::vector<float>{3, -2}));
}

TEST_F(OnnxEngineTest, EmptyBufferIsRefused) {
  const char byte = 0;
  for (Status status : {engine_->LoadModelFromBuffer(nullptr, 10),
                        engine_->LoadModelFromBuffer(&byte, 0),
                        engine_->LoadModelFromBuffer(nullptr, 0)}) {
    EXPECT_EQ(status.code, -6);
    EXPECT_EQ(status.message, "engine_onnx: empty model buffer");
  }
  EXPECT_EQ(engine_->Run({}, nullptr).message, "engine_onnx: model not loaded");
}

TEST_F(OnnxEngineTest, FailedLoadsKeepThePreviousModel) {
  Load("two_inputs.onnx");

  Status missing = engine_->LoadModel(tm::Path("no_such_model.onnx"));
  EXPECT_EQ(missing.code, -6);
  EXPECT_TRUE(StartsWith(missing.message, "Ort::Session ctor failed: ")) << missing.message;
  EXPECT_GT(missing.message.size(), std::string("Ort::Session ctor failed: ").size());

  const std::string garbage = "this is not an ONNX model at all";
  Status bad = engine_->LoadModelFromBuffer(garbage.data(), garbage.size());
  EXPECT_EQ(bad.code, -6);
  EXPECT_TRUE(StartsWith(bad.message, "Ort::Session (buffer) ctor failed: ")) << bad.message;

  std::vector<Tensor> outputs;
  Status run = engine_->Run({Tensor{{1}, {1}}, Tensor{{1}, {1}}}, &outputs);
  ASSERT_TRUE(run.ok()) << run.message;
  EXPECT_EQ(outputs[0].data, std::vector<float>{2});
}

TEST_F(OnnxEngineTest, SecondLoadReplacesTheModel) {
  Load("two_inputs.onnx");
  Load("scalar_output.onnx");
  std::vector<Tensor> outputs;
  Status status = engine_->Run({Tensor{{1}, {1}}, Tensor{{1}, {1}}}, &outputs);
  EXPECT_EQ(status.code, -1);
  EXPECT_EQ(status.message, "engine_onnx: input count mismatch (got 2, model expects 1)");
}

TEST_F(OnnxEngineTest, WrongInputCountIsRefusedWithBothNumbers) {
  Load("recognition.onnx");
  std::vector<Tensor> inputs = RecognitionInputs(0, 0, 0, 0);
  inputs.pop_back();
  std::vector<Tensor> outputs(1);
  Status status = engine_->Run(inputs, &outputs);
  EXPECT_EQ(status.code, -1);
  EXPECT_EQ(status.message, "engine_onnx: input count mismatch (got 3, model expects 4)");
  EXPECT_EQ(outputs.size(), 1u);
  inputs.resize(5);
  EXPECT_EQ(engine_->Run(inputs, &outputs).message,
            "engine_onnx: input count mismatch (got 5, model expects 4)");
}

TEST_F(OnnxEngineTest, Int64InputsAreTruncatedTowardZero) {
  Load("int64_input.onnx");
  std::vector<Tensor> outputs;
  Status status =
      engine_->Run({Tensor{{2.9f, -2.9f, 0.5f, -0.5f, 7.0f, -1e6f}, {6}}}, &outputs);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(outputs[0].data, (std::vector<float>{2, -2, 0, 0, 7, -1e6f}));
}

TEST_F(OnnxEngineTest, Int64ConversionOfNanAndHugeValuesIsDefined) {
  Load("int64_input.onnx");
  std::vector<Tensor> outputs;
  Status status = engine_->Run(
      {Tensor{{std::nanf(""), 1e30f, -1e30f, INFINITY, -INFINITY}, {5}}}, &outputs);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(outputs[0].data.size(), 5u);
  EXPECT_EQ(outputs[0].data[0], 0.0f);
  EXPECT_EQ(outputs[0].data[1], 9223372036854775807.0f);
  EXPECT_EQ(outputs[0].data[2], -9223372036854775808.0f);
  EXPECT_EQ(outputs[0].data[3], 9223372036854775807.0f);
  EXPECT_EQ(outputs[0].data[4], -9223372036854775808.0f);
}

TEST_F(OnnxEngineTest, ScalarOutputHasNoDimensionsAndOneValue) {
  Load("scalar_output.onnx");
  std::vector<Tensor> outputs;
  ASSERT_TRUE(engine_->Run({Tensor{{1.5f, 2.0f, -0.5f}, {3}}}, &outputs).ok());
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_TRUE(outputs[0].shape.empty());
  EXPECT_EQ(outputs[0].data, std::vector<float>{3.0f});
}

TEST_F(OnnxEngineTest, WeightsStoredInSixteenAndEightBitsAreRestored) {
  // The embedded model may keep its weight matrices in float16 or int8 to stay small.
  Load("stored_weights.onnx");
  std::vector<Tensor> outputs;
  Status status = engine_->Run({Tensor{{1.0f, 2.0f}, {1, 2}}}, &outputs);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(outputs[0].shape, (std::vector<int64_t>{1, 3}));
  // x Wh = [0.75, 4.75, 0.5]; Wq = [[0.5, -0.5, 6], [2, 1.25, -12]], x Wq = [4.5, 2, -18]
  EXPECT_EQ(outputs[0].data, (std::vector<float>{5.25f, 6.75f, -17.5f}));
}

TEST_F(OnnxEngineTest, InputOfAnotherElementTypeIsRefusedWithItsNameAndId) {
  Load("double_input.onnx");
  std::vector<Tensor> outputs(1, Tensor{{9}, {1}});
  Status status = engine_->Run({Tensor{{1, 2}, {2}}}, &outputs);
  EXPECT_EQ(status.code, -6);
  EXPECT_EQ(status.message, "engine_onnx: input x has unsupported dtype id=11");
  EXPECT_EQ(outputs[0].data, std::vector<float>{9});
}

TEST_F(OnnxEngineTest, DataShorterThanShapeIsATensorBuildFailure) {
  Load("two_inputs.onnx");
  std::vector<Tensor> outputs(1);
  Status status = engine_->Run({Tensor{{1, 2}, {5}}, Tensor{{1, 2, 3, 4, 5}, {5}}}, &outputs);
  EXPECT_EQ(status.code, -6);
  EXPECT_TRUE(StartsWith(status.message, "engine_onnx: input tensor build failed: "))
      << status.message;
  EXPECT_EQ(outputs.size(), 1u);

  Load("int64_input.onnx");
  status = engine_->Run({Tensor{{1}, {3}}}, &outputs);
  EXPECT_EQ(status.code, -6);
  EXPECT_TRUE(StartsWith(status.message, "engine_onnx: input tensor build failed: "))
      << status.message;
}

TEST_F(OnnxEngineTest, ShapeTheModelRejectsIsARunFailure) {
  Load("recognition.onnx");
  std::vector<Tensor> inputs = RecognitionInputs(0, 0, 0, 0);
  inputs[0].data.resize(42 * 80);
  inputs[0].shape = {1, 42, 80};
  std::vector<Tensor> outputs(2);
  Status status = engine_->Run(inputs, &outputs);
  EXPECT_EQ(status.code, -6);
  EXPECT_TRUE(StartsWith(status.message, "engine_onnx: Run failed: ")) << status.message;
  EXPECT_EQ(outputs.size(), 2u);
}

TEST_F(OnnxEngineTest, NonFloatOutputsAreConvertedOrRefused) {
  Load("int64_output.onnx");
  std::vector<Tensor> outputs;
  ASSERT_TRUE(engine_->Run({Tensor{{3.7f, -3.7f, 40000.0f}, {3}}}, &outputs).ok());
  EXPECT_EQ(outputs[0].data, (std::vector<float>{3, -3, 40000}));

  Load("string_output.onnx");
  outputs.assign(1, Tensor{{4}, {1}});
  Status status = engine_->Run({Tensor{{1}, {1}}}, &outputs);
  EXPECT_EQ(status.code, -6);
  EXPECT_EQ(status.message, "engine_onnx: output y has unsupported dtype id=8");
  EXPECT_EQ(outputs[0].data, std::vector<float>{4});
}

TEST_F(OnnxEngineTest, NullOutputsIsRefusedInsteadOfCrashing) {
  Load("two_inputs.onnx");
  Status status = engine_->Run({Tensor{{1}, {1}}, Tensor{{1}, {1}}}, nullptr);
  EXPECT_EQ(status.code, -1);
  EXPECT_EQ(status.message, "engine_onnx: outputs is null");
}

TEST_F(OnnxEngineTest, RecognitionModelFollowsItsDocumentedFunction) {
  Load("recognition.onnx");
  // Feature frames 4t..4t+3 of output frame t: t = 1 loud, t = 2 moderate, the rest quiet.
  std::vector<Tensor> inputs = RecognitionInputs(-15.0f, 30.0f, 0.5f, -1.0f);
  for (int frame = 4; frame < 8; ++frame) {
    for (int bin = 0; bin < tm::kFeatureBins; ++bin) {
      inputs[0].data[frame * tm::kFeatureBins + bin] = tm::kLoudThreshold + 1.0f;
      inputs[0].data[(frame + 4) * tm::kFeatureBins + bin] = tm::kModerateThreshold + 1.0f;
    }
  }
  // Only the mean counts: frames 12..15 average 13 (moderate) with half of the bins at 26.
  for (int frame = 12; frame < 16; ++frame) {
    for (int bin = 0; bin < tm::kFeatureBins; ++bin) {
      inputs[0].data[frame * tm::kFeatureBins + bin] = bin % 2 == 0 ? 26.0f : 0.0f;
    }
  }
  // Frames 40..42 take part in no output frame.
  for (int i = 40 * tm::kFeatureBins; i < 43 * tm::kFeatureBins; ++i) inputs[0].data[i] = 100.0f;

  std::vector<Tensor> outputs;
  Status status = engine_->Run(inputs, &outputs);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(outputs.size(), 3u);
  EXPECT_EQ(outputs[0].shape, (std::vector<int64_t>{1, tm::kOutputFrames, tm::kVocabSize}));
  const int expected[tm::kOutputFrames] = {0, tm::kLoudId, tm::kModerateId, tm::kModerateId, 0,
                                           0, 0,           0,               0,               0};
  for (int t = 0; t < tm::kOutputFrames; ++t) {
    EXPECT_EQ(ChosenId(outputs[0], t), expected[t]) << "output frame " << t;
  }
  EXPECT_EQ(outputs[1].shape, (std::vector<int64_t>{1, 12, 4, 40, 224}));
  EXPECT_EQ(outputs[2].shape, (std::vector<int64_t>{1, 12, 448, 30}));
  ASSERT_EQ(outputs[1].data.size(), static_cast<size_t>(tm::kAttCacheSize));
  ASSERT_EQ(outputs[2].data.size(), static_cast<size_t>(tm::kCnnCacheSize));
  EXPECT_EQ(outputs[1].data.front(), 1.5f);
  EXPECT_EQ(outputs[1].data.back(), 1.5f);
  EXPECT_EQ(outputs[2].data.front(), 29.0f);
  EXPECT_EQ(outputs[2].data.back(), 29.0f);
}

TEST_F(OnnxEngineTest, RecognitionCachesAccumulateWhenFedBack) {
  Load("recognition.onnx");
  std::vector<Tensor> inputs = RecognitionInputs(0, 0, 0, 0);
  std::vector<Tensor> outputs;
  float offset_sum = 0;
  for (int chunk = 0; chunk < 3; ++chunk) {
    inputs[1].data[0] = static_cast<float>(chunk * tm::kOutputFrames);
    offset_sum += inputs[1].data[0];
    ASSERT_TRUE(engine_->Run(inputs, &outputs).ok());
    inputs[2] = outputs[1];
    inputs[3] = outputs[2];
  }
  EXPECT_EQ(inputs[2].data[12345], 3.0f);
  EXPECT_EQ(inputs[3].data[6789], offset_sum);
}

TEST_F(OnnxEngineTest, ConcurrentRunsOnOneEngineGiveEachThreadItsOwnResult) {
  Load("two_inputs.onnx");
  constexpr int kThreads = 4;
  constexpr int kRuns = 200;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int id = 0; id < kThreads; ++id) {
    threads.emplace_back([this, id, &failures] {
      for (int run = 0; run < kRuns; ++run) {
        const float a = static_cast<float>(id * 1000 + run);
        std::vector<Tensor> inputs = {Tensor{std::vector<float>(64, a), {64}},
                                      Tensor{std::vector<float>(64, 1.0f), {64}}};
        std::vector<Tensor> outputs;
        Status status = engine_->Run(inputs, &outputs);
        if (!status.ok() || outputs.size() != 2 || outputs[0].data != std::vector<float>(64, a + 1) ||
            outputs[1].data != std::vector<float>(64, a - 1)) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace orvane
