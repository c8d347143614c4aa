// One-shot transcription of a WAV file or a buffer of 16-bit samples through a temporary session.
#include <cstddef>
#include <limits>
#include <utility>

#include "orvane/audio_io.h"
#include "orvane/json_writer.h"
#include "orvane/pipeline.h"
#include "orvane/result_builder.h"
#include "orvane/session.h"

namespace orvane {
namespace {

constexpr size_t kMaxBlock = static_cast<size_t>(std::numeric_limits<int>::max());

std::string ErrorDocument(const std::string& message) {
  ResultBuilder result;
  result.SetField("error", JsonEscape(message));
  return result.FinalJson();
}

}  // namespace

std::string Pipeline::TranscribeFile(const std::string& path) {
  if (!built()) {
    Status status = Build();
    if (!status.ok()) return ErrorDocument(status.message);
  }
  AudioClip clip;
  Status status = AudioIo::ReadWav(path, &clip);
  if (!status.ok()) return ErrorDocument(status.message);
  std::unique_ptr<Session> session = NewSession(clip.sample_rate);
  if (!session) return ErrorDocument("session creation failed");
  // One block, as a host would push it; a recording longer than an int can count goes in blocks of
  // at most kMaxBlock samples rather than being cut short.
  const float* data = clip.samples.data();
  size_t remaining = clip.samples.size();
  do {
    const size_t block = remaining < kMaxBlock ? remaining : kMaxBlock;
    session->AcceptWaveformF32(data, static_cast<int>(block));
    data += block;
    remaining -= block;
  } while (remaining > 0);
  return session->Final();
}

std::string Pipeline::TranscribeBuffer(const short* samples, int n, float sample_rate) {
  if (!built()) {
    Status status = Build();
    if (!status.ok()) return ErrorDocument(status.message);
  }
  std::unique_ptr<Session> session = NewSession(sample_rate);
  if (!session) return ErrorDocument("session creation failed");
  session->AcceptWaveformS16(samples, n);
  return session->Final();
}

}  // namespace orvane
