// Frames per second of CtcBeamSearch::Step with the recogniser's beam (10) over vocabularies of
// 1000 and 5000 units, on synthetic frames that alternate blank runs and peaked tokens.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "orvane/ctc_beam_search.h"

namespace {

// 200 frames (8 s of output at 40 ms); about a third peak on a non-blank token, the rest on blank.
std::vector<std::vector<float>> MakeFrames(int vocab) {
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 1.5f);
  std::uniform_int_distribution<int> token(1, vocab - 1);
  std::vector<std::vector<float>> frames(200, std::vector<float>(vocab));
  for (size_t f = 0; f < frames.size(); ++f) {
    for (float& v : frames[f]) v = noise(rng);
    frames[f][f % 3 == 0 ? token(rng) : 0] += 8.0f;
  }
  return frames;
}

void BM_CtcBeamSearchStep(benchmark::State& state) {
  const int vocab = static_cast<int>(state.range(0));
  const auto frames = MakeFrames(vocab);
  orvane::CtcBeamSearch search(orvane::CtcBeamSearchConfig{10, 0});
  size_t f = 0;
  for (auto _ : state) {
    search.Step(frames[f].data(), vocab);
    if (++f == frames.size()) {
      // A segment of 200 frames, then a commit as the endpoint would do.
      benchmark::DoNotOptimize(search.Hypothesis());
      search.Reset();
      f = 0;
    }
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_CtcBeamSearchStep)->Arg(1000)->Arg(4972)->Arg(5000);

// The normaliser alone (one double-precision exponential per score): the floor of Step's cost.
void BM_LogSoftmaxDenominator(benchmark::State& state) {
  const int vocab = static_cast<int>(state.range(0));
  const auto frames = MakeFrames(vocab);
  size_t f = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvane::CtcBeamSearch::LogSoftmaxDenominator(frames[f].data(), vocab));
    if (++f == frames.size()) f = 0;
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LogSoftmaxDenominator)->Arg(1000)->Arg(5000);

}  // namespace

BENCHMARK_MAIN();
