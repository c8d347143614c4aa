// orvane transcribe: each WAV file through its own session, fed in one-second blocks so that long
// files can show progress; one final document (or transcript) per file on stdout.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "commands.h"
#include "orvane/audio_io.h"
#include "orvane/json_writer.h"
#include "orvane/recognition_result.h"
#include "orvane/session.h"

namespace orvane {
namespace cli {
namespace {

// Files shorter than this (seconds of audio) finish too fast for a progress line to help.
constexpr double kProgressMinSeconds = 30.0;

// The final result of one file, or an error (`error` not empty) with its document
// {"is_final":true,"error":"..."}.
struct FileResult {
  RecognitionResult result;
  std::string error;
};

FileResult Failed(const std::string& message) {
  FileResult out;
  out.error = message;
  out.result.is_final = true;
  out.result.fields["error"] = JsonEscape(message);
  return out;
}

// Samples go in blocks of one second of input, which also keeps every count far below the int
// limit of the session calls.
FileResult TranscribeOne(Pipeline* pipeline, const Options& options, const std::string& path,
                         bool show_progress) {
  AudioClip clip;
  const Status read = AudioIo::ReadWav(path, &clip);
  if (!read.ok()) return Failed(read.message);
  std::unique_ptr<Session> session = pipeline->NewSession(clip.sample_rate);
  if (!session) return Failed("session creation failed");
  if (!ApplyHotwords(options, session.get())) return Failed("hotwords refused");

  const size_t total = clip.samples.size();
  const size_t block = std::max<size_t>(1, static_cast<size_t>(clip.sample_rate));
  show_progress = show_progress && total > kProgressMinSeconds * clip.sample_rate;
  int shown = -1;
  for (size_t pos = 0; pos < total; pos += block) {
    const size_t n = std::min(block, total - pos);
    session->AcceptWaveformF32(clip.samples.data() + pos, static_cast<int>(n));
    if (show_progress) {
      const int percent = static_cast<int>(100.0 * static_cast<double>(pos + n) / total);
      if (percent != shown) {
        std::fprintf(stderr, "\r\033[K%s: %d%%", path.c_str(), percent);
        std::fflush(stderr);
        shown = percent;
      }
    }
  }
  if (show_progress) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
  FileResult out;
  out.result = session->FinalResult();
  return out;
}

}  // namespace

int RunTranscribe(const Options& options) {
  std::unique_ptr<Pipeline> pipeline = MakePipeline(options);
  if (!pipeline) return kExitFailure;
  const bool progress = isatty(STDERR_FILENO) == 1;
  int status = kExitOk;
  for (const std::string& path : options.files) {
    const FileResult file = TranscribeOne(pipeline.get(), options, path, progress);
    const bool failed = !file.error.empty();
    if (failed) {
      // The reader's messages usually name the file already.
      PrintError(file.error.find(path) != std::string::npos ? file.error : path + ": " + file.error);
      status = kExitFailure;
    }
    // JSON output keeps one line per file, error documents included, so lines match the files.
    if (options.text) {
      if (failed) continue;
      if (!WriteOut(file.result.text + "\n")) return kExitFailure;
    } else if (!WriteOut(file.result.ToJson() + "\n")) {
      return kExitFailure;
    }
  }
  return status;
}

}  // namespace cli
}  // namespace orvane
