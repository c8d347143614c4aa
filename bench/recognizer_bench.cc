// Where the recogniser's time and memory go, printed as ratios that compare across machines:
//   1. real-time factor of a whole "transcribe" session on 60 s of audio (16 kHz and 44.1 kHz);
//   2. the share of each stage on the same minute, the stages driven directly: resampling
//      44.1 -> 16 kHz, log-mel features, engine runs of the embedded model (43-frame chunks, caches
//      fed back), beam search and endpointing over the rows the engine returned; the engine's time
//      alone and the library's own stages as a ratio to it;
//   3. throughput of 2 sessions on 2 threads against 1 session on 1 thread;
//   4. resident memory per additional open session;
//   5. resident memory of one session after 10 minutes of streaming against after 1 minute.
// A plain timing program (its own main), so it runs without Google Benchmark. A build without an
// embedded model falls back to the build-time test model (run it from the build tree, or set
// ORVANE_TEST_DATA, so that it finds tests/data/models/recognition.onnx).
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "orvane/audio_resampler.h"
#include "orvane/ctc_beam_search.h"
#include "orvane/ctc_endpoint.h"
#include "orvane/embedded_assets.h"
#include "orvane/engine_factory.h"
#include "orvane/feature_pipeline.h"
#include "orvane/logger.h"
#include "orvane/pipeline.h"
#include "orvane/session.h"

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChunkFrames = 43;   // feature frames per engine run
constexpr int kChunkStride = 43;   // chunks do not overlap, as in the recognition module
constexpr int kRowsPerChunk = 10;  // output rows (40 ms each) per run
constexpr double kSeconds = 60.0;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of the calling thread in seconds. The stages are timed with it, so that other jobs on a
// busy machine do not count (ONNX Runtime runs with one intra-op thread: on the caller's thread).
double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Resident set size in KiB, from /proc/self/status (0 when unavailable).
long RssKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// Speech-like test audio: a gliding voiced tone with harmonics, syllable-rate amplitude changes,
// pauses and a little noise; deterministic. Mono floats in -1..1.
std::vector<float> SpeechLike(int rate, double seconds) {
  std::vector<float> out(static_cast<size_t>(rate * seconds));
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 0.003f);
  double phase = 0.0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double pitch = 140.0 + 40.0 * std::sin(2 * M_PI * 0.7 * t);
    phase += 2 * M_PI * pitch / rate;
    const double syllable = std::max(0.0, std::sin(2 * M_PI * 4.0 * t));
    const bool pause = std::fmod(t, 6.0) > 4.5;
    double v = 0.0;
    for (int h = 1; h <= 5; ++h) v += std::sin(h * phase) / h;
    out[i] = static_cast<float>((pause ? 0.0 : 0.2 * syllable * v)) + noise(rng);
  }
  return out;
}

std::string TestModelPath(const char* argv0) {
  std::vector<std::string> candidates;
  if (const char* data = std::getenv("ORVANE_TEST_DATA")) candidates.push_back(data);
  candidates.push_back("tests/data");
  std::string exe = argv0;
  const size_t slash = exe.rfind('/');
  candidates.push_back((slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) +
                       "/../tests/data");
  for (const std::string& dir : candidates) {
    const std::string path = dir + "/models/recognition.onnx";
    if (std::ifstream(path).good()) return path;
  }
  return "";
}

// Twenty names a host might bias the recogniser towards.
const std::vector<std::string> kHotwords = {
    "nguyễn văn an", "trần thị bình", "lê hoàng cường", "phạm minh đức", "hoàng thu hà",
    "vũ quốc hùng", "đặng thanh hương", "bùi văn khoa", "đỗ thị lan", "hồ minh long",
    "ngô bảo ngọc", "dương văn phúc", "lý thị quỳnh", "mai xuân sơn", "tạ thu thảo",
    "chu văn thắng", "khúc thừa dụ", "mạc đĩnh chi", "quách tĩnh", "tôn thất thuyết"};

// One session fed `audio` in ~100 ms blocks, asking for the partial result after each block as a
// streaming host does. Returns seconds of wall time; `final_text` gets the final document and
// `cpu` (when given) the seconds of CPU time of the calling thread. With `hotwords` the session
// gets kHotwords.
double StreamSession(Pipeline* pipeline, const std::vector<float>& audio, int rate,
                     std::string* final_document, double* cpu = nullptr, bool hotwords = false) {
  const auto start = Clock::now();
  const double cpu_start = ThreadCpuSeconds();
  std::unique_ptr<Session> session = pipeline->NewSession(static_cast<float>(rate));
  if (hotwords) session->SetHotwords(kHotwords, 3.0);
  const size_t block = static_cast<size_t>(rate / 10);
  for (size_t pos = 0; pos < audio.size(); pos += block) {
    const size_t n = std::min(block, audio.size() - pos);
    session->AcceptWaveformF32(audio.data() + pos, static_cast<int>(n));
    session->Partial();
  }
  std::string final_json = session->Final();
  if (final_document) *final_document = std::move(final_json);
  if (cpu) *cpu = ThreadCpuSeconds() - cpu_start;
  return Since(start);
}

struct StageTimes {
  double resample = 0, features = 0, engine = 0, beam = 0, endpoint = 0;
  int chunks = 0;
  int width = 0;  // scores per output row
  bool engine_ran = false;
  std::string engine_model;  // what the engine ran
  std::string engine_note;   // why it did not
};

// Loads the embedded model, or the test model when the build carries none. Returns what it loaded
// ("" on failure, with the reason in `note`).
std::string LoadBenchModel(Engine* engine, const std::string& test_model_path, std::string* note) {
  const std::pair<const void*, size_t> embedded = EmbeddedAsrModel();
  if (embedded.second > 0) {
    const Status s = engine->LoadModelFromBuffer(embedded.first, embedded.second);
    if (s.ok()) return "embedded model";
    *note = "cannot load the embedded model: " + s.message;
    return "";
  }
  if (test_model_path.empty()) {
    *note = "no embedded model, and the test model tests/data/models/recognition.onnx not found";
    return "";
  }
  const Status s = engine->LoadModel(test_model_path);
  if (s.ok()) return "test model";
  *note = "cannot load the test model: " + s.message;
  return "";
}

StageTimes TimeStages(const std::vector<float>& audio44k, const std::string& model_path) {
  StageTimes t;
  // Resampling, in 100 ms blocks as a session receives them.
  std::vector<float> audio16k;
  double start = ThreadCpuSeconds();
  {
    AudioResampler resampler(44100, 16000, 16);
    for (size_t pos = 0; pos < audio44k.size(); pos += 4410) {
      resampler.AcceptWaveform(audio44k.data() + pos,
                               std::min<size_t>(4410, audio44k.size() - pos));
      std::vector<float> out = resampler.PopAll();
      audio16k.insert(audio16k.end(), out.begin(), out.end());
    }
    resampler.Flush();
    std::vector<float> out = resampler.PopAll();
    audio16k.insert(audio16k.end(), out.begin(), out.end());
  }
  t.resample = ThreadCpuSeconds() - start;

  // Features, 100 ms at a time, cut into non-overlapping 43-frame chunks.
  std::vector<std::vector<float>> chunks;
  start = ThreadCpuSeconds();
  {
    FeaturePipeline features;
    std::vector<float> pending;  // frame-major, 80 values per frame
    for (size_t pos = 0; pos < audio16k.size(); pos += 1600) {
      features.AcceptWaveform(audio16k.data() + pos, std::min<size_t>(1600, audio16k.size() - pos));
      std::vector<float> frames = features.PopFrames(features.num_frames_ready());
      pending.insert(pending.end(), frames.begin(), frames.end());
      while (pending.size() >= static_cast<size_t>(kChunkFrames) * 80) {
        chunks.emplace_back(pending.begin(), pending.begin() + kChunkFrames * 80);
        pending.erase(pending.begin(), pending.begin() + kChunkStride * 80);
      }
    }
  }
  t.features = ThreadCpuSeconds() - start;
  t.chunks = static_cast<int>(chunks.size());

  // Engine: the embedded model, as every session runs it. Its output rows feed the search and the
  // endpoint stages below.
  std::vector<float> rows;  // [chunks * 10][width]
  std::unique_ptr<Engine> engine = EngineFactory::Create(1);
  if (!engine || std::string(engine->backend_name()) == "noop") {
    t.engine_note = "no ONNX Runtime engine in this build";
  } else if ((t.engine_model = LoadBenchModel(engine.get(), model_path, &t.engine_note)).empty()) {
    // t.engine_note says why
  } else {
    std::vector<Tensor> inputs(4);
    inputs[2] = Tensor{std::vector<float>(12 * 4 * 40 * 224, 0.0f), {1, 12, 4, 40, 224}};
    inputs[3] = Tensor{std::vector<float>(12 * 448 * 30, 0.0f), {1, 12, 448, 30}};
    std::vector<Tensor> outputs;
    start = ThreadCpuSeconds();
    for (size_t c = 0; c < chunks.size(); ++c) {
      inputs[0] = Tensor{chunks[c], {1, kChunkFrames, 80}};
      inputs[1] = Tensor{{static_cast<float>(c * kRowsPerChunk)}, {1, 1}};
      Status s = engine->Run(inputs, &outputs);
      if (!s.ok() || outputs.size() < 3 || outputs[0].shape.size() < 3) {
        t.engine_note = "engine run failed: " + s.message;
        break;
      }
      t.width = static_cast<int>(outputs[0].shape.back());
      rows.insert(rows.end(), outputs[0].data.begin(), outputs[0].data.end());
      inputs[2] = std::move(outputs[1]);
      inputs[3] = std::move(outputs[2]);
    }
    t.engine = ThreadCpuSeconds() - start;
    t.engine_ran = t.engine_note.empty();
  }
  if (!t.engine_ran || t.width <= 0) return t;
  const int num_rows = static_cast<int>(rows.size() / static_cast<size_t>(t.width));

  // Beam search over the model's rows, as the recognition module runs it (beam 10), with the
  // hypothesis taken after every chunk as a partial result does.
  CtcBeamSearchConfig beam_config;
  CtcBeamSearch beam(beam_config);
  std::vector<double> normalisers(static_cast<size_t>(num_rows));
  start = ThreadCpuSeconds();
  for (int r = 0; r < num_rows; ++r) {
    beam.Step(rows.data() + static_cast<size_t>(r) * t.width, t.width);
    normalisers[static_cast<size_t>(r)] = beam.frame_log_normaliser();
    if (r % kRowsPerChunk == kRowsPerChunk - 1) beam.Hypothesis();
  }
  t.beam = ThreadCpuSeconds() - start;

  // Endpointing: the blank probability of every row from the search's softmax normaliser, and the
  // segment rules, as the module does.
  const double threshold = static_cast<double>(CtcEndpointConfig().blank_threshold);
  CtcEndpoint endpoint{CtcEndpointConfig()};
  int silence_ms = 0, utterance_ms = 0, endpoints = 0;
  start = ThreadCpuSeconds();
  for (int r = 0; r < num_rows; ++r) {
    const float* row = rows.data() + static_cast<size_t>(r) * t.width;
    const double blank =
        CtcEndpoint::BlankProbabilityFromNormaliser(row, normalisers[static_cast<size_t>(r)]);
    silence_ms = blank > threshold ? silence_ms + 40 : 0;
    utterance_ms += 40;
    if (endpoint.Check(silence_ms, utterance_ms, true)) {
      ++endpoints;
      silence_ms = utterance_ms = 0;
    }
  }
  t.endpoint = ThreadCpuSeconds() - start;
  if (endpoints < 0) std::printf("unreachable\n");  // keeps the loop observable
  return t;
}

void PrintShare(const char* name, double seconds, double total) {
  std::printf("  %-22s %8.1f ms  %5.1f %%   RTF %.5f\n", name, seconds * 1e3,
              total > 0 ? 100.0 * seconds / total : 0.0, seconds / kSeconds);
}

void PrintStages(const StageTimes& t) {
  const double total = t.resample + t.features + t.engine + t.beam + t.endpoint;
  std::printf(
      "\n2. stages driven directly on 60 s at 44.1 kHz (%d engine chunks of 43 frames), thread CPU "
      "time\n",
      t.chunks);
  PrintShare("resampling 44.1->16k", t.resample, total);
  PrintShare("features (log-mel)", t.features, total);
  if (t.engine_ran) {
    PrintShare(("engine (" + t.engine_model + ")").c_str(), t.engine, total);
    PrintShare(("beam search (" + std::to_string(t.width) + ")").c_str(), t.beam, total);
    PrintShare("endpointing", t.endpoint, total);
    std::printf(
        "  engine alone: %.3f ms per chunk; the library's own stages / engine = %.3f "
        "(target at most 0.10)\n",
        t.engine * 1e3 / std::max(1, t.chunks), (total - t.engine) / t.engine);
  } else {
    std::printf("  engine, beam search and endpointing skipped: %s\n", t.engine_note.c_str());
  }
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  using namespace orvane;
  Logger::Instance().SetLevel(LogLevel::Warn);
  // "recognizer_bench stages" runs section 2 alone.
  const bool stages_only = argc > 1 && std::string(argv[1]) == "stages";
  const bool model_embedded = EmbeddedAsrModel().second > 0;
  std::printf("liborvane recogniser benchmark (%u hardware threads)\n",
              std::thread::hardware_concurrency());
  if (!model_embedded) {
    std::printf(
        "NOTE: no acoustic model is embedded in this build: sessions run the front end "
        "only (resampling, voice activity, the recogniser's placeholder), so the whole-"
        "recogniser figures measure the library's front end, not recognition.\n");
  }

  const std::vector<float> audio16k = SpeechLike(16000, kSeconds);
  const std::vector<float> audio44k = SpeechLike(44100, kSeconds);

  if (stages_only) {
    PrintStages(TimeStages(audio44k, TestModelPath(argv[0])));
    return 0;
  }

  // 1. Whole recogniser, one session.
  std::unique_ptr<Pipeline> pipeline = Pipeline::FromPreset("transcribe");
  if (!pipeline) {
    std::printf("cannot build the \"transcribe\" preset\n");
    return 1;
  }
  std::string final_document;
  StreamSession(pipeline.get(), audio16k, 16000, nullptr);  // warm-up
  double cpu16 = 0, cpu44 = 0;
  const double whole16 = StreamSession(pipeline.get(), audio16k, 16000, &final_document, &cpu16);
  const double whole44 = StreamSession(pipeline.get(), audio44k, 44100, nullptr, &cpu44);
  std::printf(
      "\n1. whole session, \"transcribe\" preset, 60 s in 100 ms blocks, partial after each\n");
  std::printf("  16 kHz input:   %8.1f ms   RTF %.5f  (%.0fx faster than real time); CPU RTF %.5f\n",
              whole16 * 1e3, whole16 / kSeconds, kSeconds / whole16, cpu16 / kSeconds);
  std::printf("  44.1 kHz input: %8.1f ms   RTF %.5f  (%.0fx faster than real time); CPU RTF %.5f\n",
              whole44 * 1e3, whole44 / kSeconds, kSeconds / whole44, cpu44 / kSeconds);
  std::printf("  final document: %.120s\n", final_document.c_str());
  double cpu_hot = 0, cpu_nolm = 0;
  const double hot16 = StreamSession(pipeline.get(), audio16k, 16000, nullptr, &cpu_hot, true);
  std::printf("  16 kHz, %zu session hotwords: %8.1f ms   RTF %.5f   CPU RTF %.5f\n", kHotwords.size(),
              hot16 * 1e3, hot16 / kSeconds, cpu_hot / kSeconds);
  Pipeline plain;
  plain.AddModule("vad", "{}");
  plain.AddModule("orvane", "{\"lm\": false}");
  if (plain.Build().ok()) {
    const double nolm16 = StreamSession(&plain, audio16k, 16000, nullptr, &cpu_nolm);
    std::printf("  16 kHz, language model off:  %8.1f ms   RTF %.5f   CPU RTF %.5f\n", nolm16 * 1e3,
                nolm16 / kSeconds, cpu_nolm / kSeconds);
  }

  // 2. Stages.
  PrintStages(TimeStages(audio44k, TestModelPath(argv[0])));

  // 3. Two sessions on two threads against one.
  const double one = StreamSession(pipeline.get(), audio44k, 44100, nullptr);
  double two_a = 0, two_b = 0;
  const auto start = std::chrono::steady_clock::now();
  std::thread a([&] { two_a = StreamSession(pipeline.get(), audio44k, 44100, nullptr); });
  std::thread b([&] { two_b = StreamSession(pipeline.get(), audio44k, 44100, nullptr); });
  a.join();
  b.join();
  const double two_wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "\n3. throughput, 44.1 kHz sessions: 1 thread %.1f ms for 60 s; 2 threads %.1f ms for "
      "2 x 60 s\n  throughput ratio (2 threads / 1) = %.2f (ideal 2.00)\n",
      one * 1e3, two_wall * 1e3, 2.0 * one / two_wall);

  // 4. Memory per additional session (each fed 1 s so its buffers exist, each with its own
  // hotwords; the language model is shared).
  std::vector<std::unique_ptr<Session>> sessions;
  const std::vector<float> second(audio44k.begin(), audio44k.begin() + 44100);
  sessions.push_back(pipeline->NewSession(44100.0f));
  sessions.back()->SetHotwords(kHotwords, 3.0);
  sessions.back()->AcceptWaveformF32(second.data(), static_cast<int>(second.size()));
  const long before = RssKib();
  constexpr int kExtra = 50;
  for (int i = 0; i < kExtra; ++i) {
    sessions.push_back(pipeline->NewSession(44100.0f));
    sessions.back()->SetHotwords(kHotwords, 3.0);
    sessions.back()->AcceptWaveformF32(second.data(), static_cast<int>(second.size()));
  }
  const long after = RssKib();
  std::printf(
      "\n4. memory per additional 44.1 kHz session with 20 hotwords: %.1f KiB (RSS %ld -> %ld KiB over %d "
      "sessions)\n",
      static_cast<double>(after - before) / kExtra, before, after, kExtra);
  sessions.clear();

  // 5. One session streaming 10 minutes: RSS after 1 minute and after 10.
  std::unique_ptr<Session> session = pipeline->NewSession(44100.0f);
  long rss_1min = 0;
  for (int minute = 1; minute <= 10; ++minute) {
    for (size_t pos = 0; pos < audio44k.size(); pos += 4410) {
      session->AcceptWaveformF32(audio44k.data() + pos, 4410);
      session->Partial();
    }
    if (minute == 1) rss_1min = RssKib();
  }
  const long rss_10min = RssKib();
  std::printf(
      "\n5. one 44.1 kHz session streaming: RSS %ld KiB after 1 min, %ld KiB after 10 min "
      "(ratio %.3f, growth %ld KiB)\n",
      rss_1min, rss_10min, rss_1min > 0 ? static_cast<double>(rss_10min) / rss_1min : 0.0,
      rss_10min - rss_1min);
  std::printf("  partial document after 10 min: %zu bytes\n", session->Partial().size());
  return 0;
}
