// Cost of one engine Run on the recognition-contract test model: the engine's own work (wrapping
// 4 inputs, converting the offset, copying 3 outputs of ~2.4 MB back) plus a trivial graph.
// Needs the generated test models: run from the build tree, or set ORVANE_TEST_DATA.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/onnx_engine.h"

namespace orvane {
namespace {

std::string ModelPath(const char* name) {
  const char* data = std::getenv("ORVANE_TEST_DATA");
  return std::string(data != nullptr ? data : "tests/data") + "/models/" + name;
}

std::vector<Tensor> RecognitionInputs() {
  std::vector<Tensor> inputs(4);
  inputs[0] = Tensor{std::vector<float>(43 * 80, 1.0f), {1, 43, 80}};
  inputs[1] = Tensor{{10.0f}, {1, 1}};
  inputs[2] = Tensor{std::vector<float>(12 * 4 * 40 * 224, 0.0f), {1, 12, 4, 40, 224}};
  inputs[3] = Tensor{std::vector<float>(12 * 448 * 30, 0.0f), {1, 12, 448, 30}};
  return inputs;
}

void BM_RecognitionChunkRun(benchmark::State& state) {
  std::unique_ptr<Engine> engine = CreateOnnxEngine();
  if (!engine) {
    state.SkipWithError("built without ONNX Runtime");
    return;
  }
  Status status = engine->LoadModel(ModelPath("recognition.onnx"));
  if (!status.ok()) {
    state.SkipWithError(status.message.c_str());
    return;
  }
  const std::vector<Tensor> inputs = RecognitionInputs();
  std::vector<Tensor> outputs;
  for (auto _ : state) {
    status = engine->Run(inputs, &outputs);
    benchmark::DoNotOptimize(outputs.data());
  }
  if (!status.ok()) state.SkipWithError(status.message.c_str());
}
BENCHMARK(BM_RecognitionChunkRun)->Unit(benchmark::kMicrosecond);

void BM_SmallModelRun(benchmark::State& state) {
  std::unique_ptr<Engine> engine = CreateOnnxEngine();
  if (!engine || !engine->LoadModel(ModelPath("two_inputs.onnx")).ok()) {
    state.SkipWithError("no ONNX engine or no test model");
    return;
  }
  const std::vector<Tensor> inputs = {Tensor{std::vector<float>(64, 1.0f), {64}},
                                      Tensor{std::vector<float>(64, 2.0f), {64}}};
  std::vector<Tensor> outputs;
  for (auto _ : state) {
    engine->Run(inputs, &outputs);
    benchmark::DoNotOptimize(outputs.data());
  }
}
BENCHMARK(BM_SmallModelRun)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
