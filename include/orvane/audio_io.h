// Loading of RIFF/WAVE files (integer PCM or float samples) into mono float audio.
#ifndef ORVANE_AUDIO_IO_H_
#define ORVANE_AUDIO_IO_H_

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

struct AudioClip {
  std::vector<float> samples;  // mono, -1..1 (an n-bit integer value / 2^(n-1))
  float sample_rate = 0.0f;    // Hz, as declared by the file
  int32_t channels = 0;        // channel count of the file before the mix-down to mono
};

class ORVANE_EXPORT AudioIo {
 public:
  // Reads the file at `path` into `*out`. Accepted encodings: 16-, 24- and 32-bit integer PCM
  // and 32-bit float, with format tag 1 or 3, or 0xFFFE (WAVE_FORMAT_EXTENSIBLE) with the PCM or
  // float sub-format. Any other file (compressed, 8-bit, 64-bit float, ...) is refused with
  // "unsupported WAV encoding: <what the file holds>; supported: ...". Channels are mixed into one:
  // integer samples summed and divided by the channel count (truncated toward zero), float samples
  // averaged; float samples beyond -1..1 are clipped and non-finite ones read as 0.
  //
  // No size in the file is trusted: memory is only ever allocated for bytes the file really holds,
  // so a "data" chunk that declares more than the rest of the file (streaming writers leave
  // 0xFFFFFFFF there) yields the samples up to the end of the file, and a huge "fmt " or unknown
  // chunk is skipped, not loaded.
  //
  // Codes: -1 null `out`; -3 unreadable or unsupported file. On failure `*out` is left untouched.
  // Stateless; callable from any thread.
  static Status ReadWav(const std::string& path, AudioClip* out);
};

}  // namespace orvane

#endif  // ORVANE_AUDIO_IO_H_
