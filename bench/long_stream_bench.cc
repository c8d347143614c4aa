// One session of a preset streaming an hour (or more) of synthetic speech-like audio, fed faster
// than real time through the C interface in 100 ms blocks, as a host would. Reports resident
// memory, speed and the result document at 1, 10 and 60 minutes (and at the end): memory must stay
// flat while the document's segments keep growing.
//
//   long_stream_bench [minutes=60] [preset=transcribe] [rate=16000]
//
// Exits with status 1 when resident memory grows by more than 64 MiB between the 10-minute mark
// and the end, or when a result is not a document.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

// Resident set size of this process in KiB, from /proc/self/status (0 when unavailable).
long ResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

size_t CountOf(const std::string& text, const char* needle) {
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
    ++count;
  }
  return count;
}

// Length in bytes of the "text" member's value, 0 when there is none.
size_t TextBytes(const std::string& doc) {
  const std::string key = "{\"text\":\"";
  if (doc.rfind(key, 0) != 0) return 0;
  size_t i = key.size();
  while (i < doc.size() && doc[i] != '"') i += doc[i] == '\\' ? 2 : 1;
  return i - key.size();
}

// Speech-like audio: 2.4 s "utterances" of a gliding, amplitude-modulated harmonic voice with
// some noise, separated by 0.8 s of near silence, so that endpointing has pauses to cut at.
class SyntheticSpeech {
 public:
  explicit SyntheticSpeech(double rate) : rate_(rate) {}

  void Fill(std::vector<short>* block) {
    for (short& out : *block) {
      const double t = static_cast<double>(n_++) / rate_;
      const double cycle = std::fmod(t, 3.2);
      double x = 0.0;
      if (cycle < 2.4) {
        const double pitch = 110.0 + 40.0 * std::sin(2.0 * M_PI * 0.7 * t + 0.3 * std::floor(t / 3.2));
        phase_ += 2.0 * M_PI * pitch / rate_;
        if (phase_ > 2.0 * M_PI) phase_ -= 2.0 * M_PI;
        const double syllable = 0.5 + 0.5 * std::sin(2.0 * M_PI * 4.0 * t);
        for (int h = 1; h <= 8; ++h) x += std::sin(h * phase_) / h;
        x *= 0.25 * syllable * std::sin(M_PI * cycle / 2.4);
      }
      noise_ = noise_ * 1664525u + 1013904223u;
      x += 0.002 * (static_cast<double>(noise_ >> 8) / 16777216.0 - 0.5);
      out = static_cast<short>(std::lround(std::fmax(-1.0, std::fmin(1.0, x)) * 32767.0));
    }
  }

 private:
  double rate_;
  uint64_t n_ = 0;
  double phase_ = 0.0;
  uint32_t noise_ = 12345u;
};

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 60.0;
  const char* preset = argc > 2 ? argv[2] : "transcribe";
  const float rate = argc > 3 ? static_cast<float>(std::atof(argv[3])) : 16000.0f;
  if (!(minutes > 0.0) || !(rate >= 1.0f)) {
    std::fprintf(stderr, "usage: long_stream_bench [minutes=60] [preset=transcribe] [rate=16000]\n");
    return 2;
  }
  orvane_set_log_level(3);

  const long rss_start = ResidentKib();
  orvane_pipeline_t* pipeline = orvane_pipeline_preset(preset);
  if (pipeline == nullptr) {
    std::fprintf(stderr, "preset %s: %s\n", preset, orvane_last_error());
    return 2;
  }
  orvane_session_t* session = orvane_session_new(pipeline, rate);
  if (session == nullptr) {
    std::fprintf(stderr, "session: %s\n", orvane_last_error());
    return 2;
  }
  const long rss_ready = ResidentKib();
  std::printf("preset %s, %.0f Hz, %.0f min of audio in 100 ms blocks\n", preset, rate, minutes);
  std::printf("rss: %ld KiB at start, %ld KiB with the pipeline and session\n", rss_start, rss_ready);
  std::printf("%8s %10s %8s %10s %10s %9s %10s\n", "audio", "rss KiB", "rtf", "doc bytes",
              "text bytes", "segments", "wall s");

  const int block_samples = static_cast<int>(std::lround(rate / 10.0f));
  const int64_t total_blocks = static_cast<int64_t>(std::llround(minutes * 600.0));
  std::vector<short> block(static_cast<size_t>(block_samples));
  SyntheticSpeech speech(rate);
  const auto start = std::chrono::steady_clock::now();
  std::vector<int64_t> checkpoints;  // in blocks: 1, 10 and 60 minutes, then the end
  for (int64_t m : {1, 10, 60}) {
    if (m * 600 < total_blocks) checkpoints.push_back(m * 600);
  }
  checkpoints.push_back(total_blocks);

  long rss_at_10 = 0;
  bool ok = true;
  size_t next = 0;
  std::string doc;
  for (int64_t b = 1; b <= total_blocks; ++b) {
    speech.Fill(&block);
    orvane_accept_waveform_s16(session, block.data(), block_samples);
    if (b % 100 == 0 || b == checkpoints[next]) {
      const char* partial = orvane_partial_result(session);  // a host polls every 10 s
      if (partial == nullptr || partial[0] != '{') ok = false;
      if (partial != nullptr) doc = partial;
    }
    if (b == checkpoints[next]) {
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double audio_s = static_cast<double>(b) / 10.0;
      const long rss = ResidentKib();
      if (b == 6000) rss_at_10 = rss;
      std::printf("%6.0f m %10ld %8.4f %10zu %10zu %9zu %10.1f\n", audio_s / 60.0, rss,
                  wall / audio_s, doc.size(), TextBytes(doc), CountOf(doc, "{\"start\":"), wall);
      std::fflush(stdout);
      ++next;
    }
  }
  const char* final_doc = orvane_final_result(session);
  if (final_doc == nullptr || final_doc[0] != '{') ok = false;
  const std::string final_text = final_doc != nullptr ? final_doc : "";
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long rss_end = ResidentKib();
  std::printf("final: %zu bytes, %zu segments, %zu text bytes; rss %ld KiB; %.1f s for %.0f min "
              "(%.0fx real time)\n",
              final_text.size(), CountOf(final_text, "{\"start\":"), TextBytes(final_text), rss_end,
              wall, minutes, minutes * 60.0 / wall);
  orvane_session_free(session);
  orvane_pipeline_free(pipeline);

  if (rss_at_10 > 0 && rss_end - rss_at_10 > 64 * 1024) {
    std::printf("FAIL: resident memory grew by %ld KiB after the 10-minute mark\n",
                rss_end - rss_at_10);
    ok = false;
  }
  return ok ? 0 : 1;
}
