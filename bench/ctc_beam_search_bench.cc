// Frames per second of CtcBeamSearch::Step with the recogniser's beam (10) over vocabularies of
// 1000 and 5000 units, on synthetic frames that alternate blank runs and peaked tokens.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "asr/hotword_trie.h"
#include "asr/syllable_lm.h"
#include "asr/syllable_scorer.h"
#include "orvane/ctc_beam_search.h"
#include "orvane/embedded_assets.h"
#include "orvane/units.h"

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

// Steps through the frames for as long as the benchmark wants, a segment of 200 frames at a time
// followed by a commit as the endpoint would do.
void RunSteps(benchmark::State& state, orvane::CtcBeamSearch* search,
              const std::vector<std::vector<float>>& frames, int vocab) {
  size_t f = 0;
  for (auto _ : state) {
    search->Step(frames[f].data(), vocab);
    if (++f == frames.size()) {
      benchmark::DoNotOptimize(search->Hypothesis());
      search->Reset();
      f = 0;
    }
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CtcBeamSearchStep(benchmark::State& state) {
  const int vocab = static_cast<int>(state.range(0));
  const auto frames = MakeFrames(vocab);
  orvane::CtcBeamSearch search(orvane::CtcBeamSearchConfig{10, 0});
  RunSteps(state, &search, frames, vocab);
}

BENCHMARK(BM_CtcBeamSearchStep)->Arg(1000)->Arg(4972)->Arg(5000);

// The embedded vocabulary's shape: rows of 696 scores in which syllables (an onset unit, ids 2-29,
// then a rhyme unit, ids 30 and up) peak with blank frames between, as the trained model's output.
std::vector<std::vector<float>> MakeSyllableFrames(int vocab) {
  std::mt19937 rng(11);
  std::normal_distribution<float> noise(0.0f, 1.5f);
  std::uniform_int_distribution<int> onset(2, 29);
  std::uniform_int_distribution<int> rhyme(30, vocab - 1);
  std::vector<std::vector<float>> frames(200, std::vector<float>(vocab));
  for (size_t f = 0; f < frames.size(); ++f) {
    for (float& v : frames[f]) v = noise(rng);
    const int kind = static_cast<int>(f % 4);  // onset, blank, rhyme, blank
    frames[f][kind == 0 ? onset(rng) : kind == 2 ? rhyme(rng) : 0] += 6.0f;
  }
  return frames;
}

// Step with the embedded language model (range(0) = 1) and 20 hotwords (range(1) = 1); reported
// per frame; one chunk of the recogniser is 10 frames.
void BM_CtcBeamSearchStepWithContext(benchmark::State& state) {
  orvane::Units units;
  const auto vocab_text = orvane::EmbeddedAsrVocab();
  const auto lm_bytes = orvane::EmbeddedAsrLm();
  if (vocab_text.first == nullptr || lm_bytes.first == nullptr ||
      !units.LoadFromText(std::string(vocab_text.first, vocab_text.second)).ok()) {
    state.SkipWithError("needs the embedded vocabulary and language model");
    return;
  }
  std::shared_ptr<const orvane::SyllableLm> lm;
  std::shared_ptr<const orvane::SyllableScorer> scorer;
  std::shared_ptr<const orvane::HotwordTrie> hotwords;
  orvane::SyllableLm::Open(lm_bytes.first, lm_bytes.second, false, &lm);
  if (state.range(0)) orvane::SyllableScorer::Create(lm, units, 0.8, 4.0, &scorer);
  if (state.range(1)) {
    orvane::HotwordTrie::Create({"nguyễn văn an", "trần thị bình", "lê hoàng cường", "phạm minh đức",
                                 "hoàng thu hà", "vũ quốc hùng", "đặng thanh hương", "bùi văn khoa",
                                 "đỗ thị lan", "hồ minh long", "ngô bảo ngọc", "dương văn phúc",
                                 "lý thị quỳnh", "mai xuân sơn", "tạ thu thảo", "chu văn thắng",
                                 "khúc thừa dụ", "mạc đĩnh chi", "quách tĩnh", "tôn thất thuyết"},
                                units, 3.0, &hotwords);
  }
  const int vocab = static_cast<int>(units.size());
  const auto frames = MakeSyllableFrames(vocab);
  orvane::CtcBeamSearch search(orvane::CtcBeamSearchConfig{10, 0});
  search.SetContext(scorer, hotwords);
  RunSteps(state, &search, frames, vocab);
}

BENCHMARK(BM_CtcBeamSearchStepWithContext)->Args({0, 0})->Args({1, 0})->Args({1, 1});

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
