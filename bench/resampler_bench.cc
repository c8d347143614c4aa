// Speed of AudioResampler (tabulated kernel) against the reference that evaluates the kernel for
// every tap, on ten seconds of audio converted to 16 kHz in blocks of 10 ms (the kernel table is
// built once per run, as it is once per session).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "../tests/reference_resampler.h"
#include "orvane/audio_resampler.h"

namespace {

std::vector<float> Tone(int rate) {
  std::vector<float> s(static_cast<size_t>(rate) * 10);
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 440.0 * i / rate));
  }
  return s;
}

template <typename Resampler>
void RunTenSeconds(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const std::vector<float> signal = Tone(rate);
  const size_t block = static_cast<size_t>(rate / 100);
  size_t outputs = 0;
  for (auto _ : state) {
    Resampler r(rate, 16000, 16);
    for (size_t pos = 0; pos < signal.size(); pos += block) {
      r.AcceptWaveform(signal.data() + pos, std::min(block, signal.size() - pos));
      outputs += r.PopAll().size();
    }
    r.Flush();
    outputs += r.PopAll().size();
  }
  state.counters["out_samples/s"] =
      benchmark::Counter(static_cast<double>(outputs), benchmark::Counter::kIsRate);
}

void BM_Tabulated(benchmark::State& state) { RunTenSeconds<orvane::AudioResampler>(state); }
void BM_Reference(benchmark::State& state) {
  RunTenSeconds<orvane::testing_reference::ReferenceResampler>(state);
}

BENCHMARK(BM_Tabulated)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
