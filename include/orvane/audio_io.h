// Loading of RIFF/WAVE files with 16-bit PCM samples into mono float audio.
#ifndef ORVANE_AUDIO_IO_H_
#define ORVANE_AUDIO_IO_H_

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

struct AudioClip {
  std::vector<float> samples;  // mono, nominally -1..1 (16-bit value / 32768)
  float sample_rate = 0.0f;    // Hz, as declared by the file
  int32_t channels = 0;        // channel count of the file before the mix-down to mono
};

class ORVANE_EXPORT AudioIo {
 public:
  // Reads the file at `path` into `*out`. Channels are averaged into one (the sum of a frame
  // divided by the channel count, truncated toward zero). Only uncompressed 16-bit PCM is accepted.
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
