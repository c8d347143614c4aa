// orvane stream: raw PCM from standard input through one session in blocks of about 100 ms. The
// partial document is printed only when its transcript changes, then the final document at the end
// of the input (or on Ctrl-C, which ends the input rather than the program).
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "orvane/recognition_result.h"
#include "orvane/session.h"

namespace orvane {
namespace cli {
namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// Ctrl-C ends the input: read() returns EINTR (no SA_RESTART) and the final result is still
// printed.
void CatchInterrupt() {
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Decodes whole little-endian samples from `bytes` (any byte order of the host). Non-finite floats
// become silence, so nothing that arrives on stdin can put NaN into the recogniser.
std::vector<float> Decode(const std::vector<unsigned char>& bytes, size_t count, bool f32) {
  std::vector<float> out(count);
  for (size_t i = 0; i < count; ++i) {
    if (f32) {
      const unsigned char* p = bytes.data() + 4 * i;
      const uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                            static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
      float v;
      std::memcpy(&v, &bits, sizeof(v));
      out[i] = std::isfinite(v) ? v : 0.0f;
    } else {
      const unsigned char* p = bytes.data() + 2 * i;
      const int16_t v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
      out[i] = static_cast<float>(v) / 32768.0f;
    }
  }
  return out;
}

int TerminalColumns() {
  struct winsize ws;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

// The last `columns - 1` characters of a UTF-8 text (combining marks count as no column), so the
// live line never wraps and carriage return keeps rewriting one line.
std::string FitLine(const std::string& text, int columns) {
  const int room = columns > 1 ? columns - 1 : 1;
  int used = 0;
  size_t start = text.size();
  while (start > 0 && used < room) {
    size_t lead = start - 1;
    while (lead > 0 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
    const unsigned char b0 = static_cast<unsigned char>(text[lead]);
    const bool combining = b0 == 0xCC || (b0 == 0xCD && lead + 1 < text.size() &&
                                          static_cast<unsigned char>(text[lead + 1]) < 0xB0);
    if (!combining) ++used;
    start = lead;
  }
  return text.substr(start);
}

class Printer {
 public:
  Printer(bool text, bool live) : text_(text), live_(live) {}

  // The current result; prints it when its transcript differs from the last one printed.
  bool Partial(const RecognitionResult& result) {
    std::string transcript = result.partial;
    transcript += '\n';
    transcript += result.text;
    if (transcript == last_) return true;
    last_ = std::move(transcript);
    if (!text_) return WriteOut(result.ToJson() + "\n");
    const std::string& shown = result.partial.empty() ? result.text : result.partial;
    if (live_) return WriteOut("\r\033[K" + FitLine(shown, TerminalColumns()));
    return WriteOut(shown + "\n");
  }

  bool Final(const RecognitionResult& result) {
    if (!text_) return WriteOut(result.ToJson() + "\n");
    return WriteOut((live_ ? "\r\033[K" : "") + result.text + "\n");
  }

 private:
  bool text_;
  bool live_;
  std::string last_ = "\n";  // an empty partial and text: nothing is printed before speech
};

}  // namespace

int RunStream(const Options& options) {
  std::unique_ptr<Pipeline> pipeline = MakePipeline(options);
  if (!pipeline) return kExitFailure;
  std::unique_ptr<Session> session = pipeline->NewSession(static_cast<float>(options.rate));
  if (!session) {
    // Rates that pass the option check but not the library's (near the int limit once rounded
    // to float) are still a bad --rate.
    char rate[32];
    std::snprintf(rate, sizeof(rate), "%.10g", options.rate);
    PrintError(std::string("unsupported --rate ") + rate +
               ": the library cannot open a session at this rate");
    return kExitUsage;
  }
  if (!ApplyHotwords(options, session.get())) return kExitFailure;
  CatchInterrupt();

  const bool f32 = options.format == "f32le";
  const size_t sample_bytes = f32 ? 4 : 2;
  // ~100 ms of input per block: at least one sample, and at most 2^20 so that an absurd --rate
  // cannot ask for gigabytes of buffer.
  const size_t block_samples = std::min<size_t>(
      size_t{1} << 20, std::max<size_t>(1, static_cast<size_t>(options.rate / 10.0)));
  const size_t block_bytes = block_samples * sample_bytes;
  Printer printer(options.text, options.text && isatty(STDOUT_FILENO) == 1);

  std::vector<unsigned char> buffer(block_bytes);
  size_t filled = 0;
  bool input_failed = false;
  while (!g_interrupted) {
    const ssize_t got = read(STDIN_FILENO, buffer.data() + filled, block_bytes - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      PrintError(std::string("cannot read standard input: ") + std::strerror(errno));
      input_failed = true;
      break;
    }
    const bool eof = got == 0;
    filled += static_cast<size_t>(got);
    // Feed a full block, or what is left at the end (a trailing partial sample is dropped).
    if (filled == block_bytes || (eof && filled >= sample_bytes)) {
      const size_t count = filled / sample_bytes;
      const std::vector<float> samples = Decode(buffer, count, f32);
      session->AcceptWaveformF32(samples.data(), static_cast<int>(count));
      filled = 0;
      if (!printer.Partial(session->PartialResult())) return kExitFailure;
    }
    if (eof) break;
  }
  const RecognitionResult final_result = session->FinalResult();
  if (!printer.Final(final_result)) return kExitFailure;
  if (input_failed) return kExitFailure;
  if (final_result.fields.count("error") != 0) return kExitFailure;
  return kExitOk;
}

}  // namespace cli
}  // namespace orvane
