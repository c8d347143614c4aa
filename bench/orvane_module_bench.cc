// Real-time factor of the recognition module on 60 s of audio with the generated recognition test
// model, and the cost of its stages on the same audio: filterbank, engine runs (with the state
// round trip), beam search and endpoint check. The test model's graph is trivial and its rows are
// 8 scores wide, so the engine and search figures are floors; the search is also measured on rows
// of 4972 scores, the width of the real vocabulary.
// Needs the generated test models: run from the build tree, or set ORVANE_TEST_DATA.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/onnx_engine.h"
#include "orvane/ctc_beam_search.h"
#include "orvane/ctc_endpoint.h"
#include "orvane/feature_pipeline.h"
#include "orvane/logger.h"
#include "orvane/orvane_module.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

constexpr double kAudioSeconds = 60.0;
constexpr size_t kBlock = 1600;  // 100 ms pushes, as a streaming host would

std::string ModelPath(const char* name) {
  const char* data = std::getenv("ORVANE_TEST_DATA");
  return std::string(data != nullptr ? data : "tests/data") + "/models/" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 60 s cycling through 1 s of loud noise, 0.5 s of quieter noise and 1.5 s of silence: the test
// model then emits words and the endpoint commits a segment every 3 s.
const std::vector<float>& Audio() {
  static const std::vector<float> audio = [] {
    std::vector<float> a(static_cast<size_t>(kAudioSeconds * 16000.0), 0.0f);
    uint32_t state = 1;
    for (size_t i = 0; i < a.size(); ++i) {
      const size_t in_cycle = i % 48000;
      const float amp = in_cycle < 16000 ? 0.5f : (in_cycle < 24000 ? 0.03f : 0.0f);
      state = state * 1664525u + 1013904223u;
      a[i] = amp * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    return a;
  }();
  return audio;
}

std::vector<std::vector<float>> Chunks() {
  FeaturePipeline fbank;
  const std::vector<float>& audio = Audio();
  fbank.AcceptWaveform(audio.data(), audio.size());
  std::vector<std::vector<float>> chunks;
  while (fbank.num_frames_ready() >= 43) chunks.push_back(fbank.PopFrames(43));
  return chunks;
}

// Seconds of work per second of audio.
void SetRealTimeFactor(benchmark::State& state) {
  state.counters["rtf"] = benchmark::Counter(kAudioSeconds * static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate |
                                                 benchmark::Counter::kInvert);
}

struct Loaded {
  std::unique_ptr<Engine> engine;
  std::unique_ptr<OrvaneModule> module;
};

Loaded Load(benchmark::State& state) {
  Loaded l;
  l.engine = CreateOnnxEngine();
  if (!l.engine) {
    state.SkipWithError("built without ONNX Runtime");
    return l;
  }
  const std::string model = ReadFile(ModelPath("recognition.onnx"));
  l.module = std::make_unique<OrvaneModule>();
  const Status s = l.module->InitWithModel(ModuleConfig{}, l.engine.get(), model.data(),
                                           model.size(), ReadFile(ModelPath("recognition_vocab.txt")));
  if (!s.ok()) {
    state.SkipWithError(("test model: " + s.message).c_str());
    l.module.reset();
  }
  return l;
}

void BM_ModuleWhole(benchmark::State& state) {
  Loaded l = Load(state);
  if (!l.module) return;
  const std::vector<float>& audio = Audio();
  for (auto _ : state) {
    std::unique_ptr<Module> session = l.module->Clone();
    ResultBuilder doc;
    for (size_t i = 0; i < audio.size(); i += kBlock) {
      const size_t n = std::min(kBlock, audio.size() - i);
      session->OnFrame(AudioFrame{audio.data() + i, n, 16000.0f, i}, &doc);
    }
    session->OnFinalize(&doc);
    benchmark::DoNotOptimize(doc.FinalJson());
  }
  SetRealTimeFactor(state);
}
BENCHMARK(BM_ModuleWhole)->Unit(benchmark::kMillisecond);

void BM_StageFeatures(benchmark::State& state) {
  const std::vector<float>& audio = Audio();
  for (auto _ : state) {
    FeaturePipeline fbank;
    for (size_t i = 0; i < audio.size(); i += kBlock) {
      fbank.AcceptWaveform(audio.data() + i, std::min(kBlock, audio.size() - i));
      while (fbank.num_frames_ready() >= 43) benchmark::DoNotOptimize(fbank.PopFrames(43));
    }
  }
  SetRealTimeFactor(state);
}
BENCHMARK(BM_StageFeatures)->Unit(benchmark::kMillisecond);

// One run per chunk with the states fed back, as the module does.
void BM_StageEngine(benchmark::State& state) {
  Loaded l = Load(state);
  if (!l.module) return;
  const std::vector<std::vector<float>> chunks = Chunks();
  for (auto _ : state) {
    std::vector<float> att(12 * 4 * 40 * 224, 0.0f);
    std::vector<float> cnn(12 * 448 * 30, 0.0f);
    for (size_t c = 0; c < chunks.size(); ++c) {
      std::vector<Tensor> in(4);
      in[0] = Tensor{chunks[c], {1, 43, 80}};
      in[1] = Tensor{{static_cast<float>(10 * c)}, {1, 1}};
      in[2] = Tensor{std::move(att), {1, 12, 4, 40, 224}};
      in[3] = Tensor{std::move(cnn), {1, 12, 448, 30}};
      std::vector<Tensor> out;
      l.engine->Run(in, &out);
      att = std::move(out[1].data);
      cnn = std::move(out[2].data);
    }
  }
  SetRealTimeFactor(state);
}
BENCHMARK(BM_StageEngine)->Unit(benchmark::kMillisecond);

// Output rows of the whole minute: from the test model (width 8), or of `width` scores shaped like
// them (the chosen id stands out by 20 over noise-free others).
std::vector<float> Rows(benchmark::State& state, int width) {
  Loaded l = Load(state);
  if (!l.module) return {};
  std::vector<float> rows;
  std::vector<float> att(12 * 4 * 40 * 224, 0.0f);
  std::vector<float> cnn(12 * 448 * 30, 0.0f);
  for (const std::vector<float>& chunk : Chunks()) {
    std::vector<Tensor> in = {Tensor{chunk, {1, 43, 80}}, Tensor{{0.0f}, {1, 1}},
                              Tensor{att, {1, 12, 4, 40, 224}}, Tensor{cnn, {1, 12, 448, 30}}};
    std::vector<Tensor> out;
    if (!l.engine->Run(in, &out).ok()) return {};
    for (size_t r = 0; r < 10; ++r) {
      int chosen = 0;
      for (int v = 0; v < 8; ++v) {
        if (out[0].data[r * 8 + v] == 0.0f) chosen = v;
      }
      std::vector<float> row(width, -20.0f);
      row[chosen == 0 ? 0 : (chosen * 997) % width] = 0.0f;
      rows.insert(rows.end(), row.begin(), row.end());
    }
  }
  return rows;
}

void BM_StageBeamSearch(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const std::vector<float> rows = Rows(state, width);
  if (rows.empty()) return;
  const size_t frames = rows.size() / width;
  for (auto _ : state) {
    CtcBeamSearch search(CtcBeamSearchConfig{10, 0});
    for (size_t f = 0; f < frames; ++f) {
      search.Step(rows.data() + f * width, width);
      if (f % 75 == 74) search.Reset();  // a commit every 3 s, as in the audio
    }
    benchmark::DoNotOptimize(search.Hypothesis());
  }
  SetRealTimeFactor(state);
}
BENCHMARK(BM_StageBeamSearch)->Arg(8)->Arg(4972)->Unit(benchmark::kMillisecond);

void BM_StageEndpoint(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const std::vector<float> rows = Rows(state, width);
  if (rows.empty()) return;
  const size_t frames = rows.size() / width;
  const CtcEndpoint endpoint(CtcEndpointConfig{});
  for (auto _ : state) {
    int silent = 0;
    for (size_t f = 0; f < frames; ++f) {
      silent += endpoint.IsSilenceFrame(rows.data() + f * width, width) ? 1 : 0;
      benchmark::DoNotOptimize(endpoint.Check(silent * 40, 1000, true));
    }
    benchmark::DoNotOptimize(silent);
  }
  SetRealTimeFactor(state);
}
BENCHMARK(BM_StageEndpoint)->Arg(8)->Arg(4972)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  orvane::Logger::Instance().SetLevel(orvane::Warn);  // loading is logged at Info, once per benchmark
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
