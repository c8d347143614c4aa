// WAV reader: walks the RIFF chunks, takes the format from "fmt " and the samples from the first
// "data" chunk.
#include "orvane/audio_io.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

namespace orvane {
namespace {

uint16_t ReadU16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint64_t kFmtBytesUsed = 16;  // tag, channels, rate, byte rate, block align, bits

}  // namespace

Status AudioIo::ReadWav(const std::string& path, AudioClip* out) {
  if (out == nullptr) return Status(-1, "AudioIo::ReadWav: null out");

  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return Status(-3, "cannot open WAV: " + path);

  // The file's real size bounds every read and allocation below.
  in.seekg(0, std::ios::end);
  const std::streamoff end_pos = in.tellg();
  in.seekg(0, std::ios::beg);
  if (end_pos < 0 || !in) return Status(-3, "cannot open WAV: " + path);
  const uint64_t file_size = static_cast<uint64_t>(end_pos);

  unsigned char riff[12];
  in.read(reinterpret_cast<char*>(riff), sizeof(riff));
  if (in.gcount() != static_cast<std::streamsize>(sizeof(riff)) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return Status(-3, "not a RIFF/WAVE file: " + path);
  }
  uint64_t pos = sizeof(riff);

  bool have_fmt = false;
  uint16_t format_tag = 0;
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bits_per_sample = 0;
  uint32_t data_size = 0;

  for (;;) {
    if (!in) return Status(-3, "no data chunk found");
    unsigned char header[8];
    in.read(reinterpret_cast<char*>(header), sizeof(header));
    if (in.gcount() != static_cast<std::streamsize>(sizeof(header))) {
      return Status(-3, "unexpected EOF while scanning chunks");
    }
    pos += sizeof(header);
    const uint32_t size = ReadU32(header + 4);
    const uint64_t padded = static_cast<uint64_t>(size) + (size & 1u);

    if (std::memcmp(header, "fmt ", 4) == 0) {
      if (size < kFmtBytesUsed) return Status(-3, "fmt chunk too small");
      unsigned char fmt[kFmtBytesUsed];
      in.read(reinterpret_cast<char*>(fmt), sizeof(fmt));
      // A short read leaves the stream failed; the loop then reports the missing data chunk.
      if (in.gcount() != static_cast<std::streamsize>(sizeof(fmt))) continue;
      format_tag = ReadU16(fmt);
      channels = ReadU16(fmt + 2);
      sample_rate = ReadU32(fmt + 4);
      bits_per_sample = ReadU16(fmt + 14);
      have_fmt = true;
    } else if (std::memcmp(header, "data", 4) == 0) {
      data_size = size;
      break;
    }
    // Skip the rest of the body and its pad byte. Seeking is clamped to the end of the file, so a
    // chunk that claims more than the file holds makes the next header read hit end of file.
    pos = std::min(file_size, pos + padded);
    in.seekg(static_cast<std::streamoff>(pos), std::ios::beg);
  }

  if (!have_fmt) return Status(-3, "data chunk before fmt");
  if (format_tag != 1) return Status(-3, "only PCM WAV supported (format=1)");
  if (bits_per_sample != 16) return Status(-3, "only 16-bit PCM supported");
  if (channels == 0) return Status(-3, "channels=0");

  // Only what the file really holds is read: a declared size past the end (0xFFFFFFFF from a
  // streaming writer, or a cut-off file) yields the samples up to the end, never invented silence.
  const uint64_t available = file_size > pos ? file_size - pos : 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(data_size, available));
  std::vector<unsigned char> bytes(want);
  if (want > 0) in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(want));
  const size_t got = in.gcount() > 0 && want > 0 ? static_cast<size_t>(in.gcount()) : 0;

  const size_t num_values = got / 2;  // an odd last byte is ignored
  const size_t num_frames = num_values / channels;  // a trailing incomplete frame is ignored
  std::vector<float> samples(num_frames);
  constexpr float kScale = 1.0f / 32768.0f;
  for (size_t f = 0; f < num_frames; ++f) {
    const unsigned char* frame = bytes.data() + f * channels * 2;
    int32_t sum = 0;  // at most 65535 channels × 32768 fits
    for (size_t c = 0; c < channels; ++c) {
      sum += static_cast<int16_t>(ReadU16(frame + c * 2));
    }
    samples[f] = static_cast<float>(sum / static_cast<int32_t>(channels)) * kScale;
  }

  out->samples = std::move(samples);
  out->sample_rate = static_cast<float>(sample_rate);
  out->channels = channels;
  return Status();
}

}  // namespace orvane
