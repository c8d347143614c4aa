// AudioIo::ReadWav on arbitrary file contents: the bytes are written to a private temporary file
// and read back. Checks that a success yields samples in -1..1, never more samples than the file
// holds values, and that a failure leaves the output untouched. Samples may reach 1.0 itself: the
// largest 32-bit integer rounds to it in single precision, and float files are clipped to -1..1.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_check.h"
#include "orvane/audio_io.h"

namespace {

std::string TempPath() {
  static const std::string path =
      "/tmp/orvane_wav_fuzzer_" + std::to_string(static_cast<long>(getpid())) + ".wav";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = TempPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  orvane::AudioClip clip;
  clip.samples.assign(3, 0.25f);  // a failure must leave these alone
  clip.sample_rate = 1234.0f;
  const orvane::Status status = orvane::AudioIo::ReadWav(path, &clip);
  if (status.ok()) {
    FUZZ_CHECK(status.message.empty());
    FUZZ_CHECK(clip.samples.size() <= size / 2);
    for (float x : clip.samples) FUZZ_CHECK(std::isfinite(x) && x >= -1.0f && x <= 1.0f);
    FUZZ_CHECK(clip.sample_rate >= 0.0f);
  } else {
    FUZZ_CHECK(status.code == -3);
    FUZZ_CHECK(!status.message.empty());
    FUZZ_CHECK(clip.samples.size() == 3 && clip.samples[0] == 0.25f);
    FUZZ_CHECK(clip.sample_rate == 1234.0f);
  }
  std::remove(path.c_str());
  return 0;
}
