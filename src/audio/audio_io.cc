// WAV reader: walks the RIFF chunks, takes the format from "fmt " and the samples from the first
// "data" chunk.
#include "orvane/audio_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

constexpr uint32_t kFmtBytesBasic = 16;  // tag, channels, rate, byte rate, block align, bits
constexpr uint32_t kFmtBytesExtensible = 40;  // + size, valid bits, channel mask, sub-format GUID

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
// Bytes 2..15 of the sub-format GUID of WAVE_FORMAT_EXTENSIBLE; bytes 0..1 hold the format tag.
constexpr unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

const char kSupported[] =
    "supported: 16-, 24- or 32-bit integer PCM and 32-bit float, plain or WAVE_FORMAT_EXTENSIBLE";

std::string TagName(uint16_t tag) {
  switch (tag) {
    case 2: return "MS ADPCM (compressed)";
    case 6: return "A-law (compressed)";
    case 7: return "mu-law (compressed)";
    case 0x11: return "IMA ADPCM (compressed)";
    case 0x31: return "GSM 6.10 (compressed)";
    case 0x50: return "MPEG (compressed)";
    case 0x55: return "MPEG layer 3 (compressed)";
    default: break;
  }
  char hex[40];
  std::snprintf(hex, sizeof(hex), "format tag 0x%04X", static_cast<unsigned>(tag));
  return hex;
}

// The sample encoding of a "fmt " chunk: `tag` is 1 (integer) or 3 (float) once a valid
// WAVE_FORMAT_EXTENSIBLE sub-format has replaced 0xFFFE; `problem` names an unsupported one.
struct Encoding {
  uint16_t tag = 0;
  uint16_t bits = 0;
  std::string problem;
};

Encoding ReadEncoding(const unsigned char* fmt, uint32_t fmt_bytes) {
  Encoding e;
  e.tag = ReadU16(fmt);
  e.bits = ReadU16(fmt + 14);
  std::string prefix;
  if (e.tag == kTagExtensible) {
    if (fmt_bytes < kFmtBytesExtensible) {
      e.problem = "WAVE_FORMAT_EXTENSIBLE without its sub-format";
      return e;
    }
    const uint16_t sub = ReadU16(fmt + 24);
    if (std::memcmp(fmt + 26, kSubFormatTail, sizeof(kSubFormatTail)) != 0) {
      e.problem = "WAVE_FORMAT_EXTENSIBLE with a sub-format GUID of another vendor";
      return e;
    }
    e.tag = sub;
    prefix = "WAVE_FORMAT_EXTENSIBLE with ";
  }
  const std::string bits = std::to_string(e.bits) + "-bit ";
  if (e.tag == kTagPcm) {
    if (e.bits != 16 && e.bits != 24 && e.bits != 32) e.problem = prefix + bits + "integer PCM";
  } else if (e.tag == kTagFloat) {
    if (e.bits != 32) e.problem = prefix + bits + "float";
  } else {
    e.problem = prefix + TagName(e.tag);
  }
  return e;
}

// One sample of `bytes` bytes at `p`, as an integer of that width (16, 24 or 32 bits, signed).
int32_t ReadInt(const unsigned char* p, size_t bytes) {
  if (bytes == 2) return static_cast<int16_t>(ReadU16(p));
  if (bytes == 3) {
    const uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(u ^ 0x800000u) - 0x800000;  // sign-extended from bit 23
  }
  return static_cast<int32_t>(ReadU32(p));
}

// A float sample, with NaN and infinities read as 0 and the rest clipped to -1..1.
float ReadFloat(const unsigned char* p) {
  const uint32_t bits = ReadU32(p);
  float x;
  std::memcpy(&x, &bits, sizeof(x));
  if (!std::isfinite(x)) return 0.0f;
  return std::max(-1.0f, std::min(1.0f, x));
}

// Frames of `channels` interleaved samples mixed down to mono: integer samples summed and divided
// by the channel count (truncating toward zero) before scaling by 2^-(bits-1); float samples
// averaged.
std::vector<float> MixDown(const std::vector<unsigned char>& bytes, size_t num_frames,
                           size_t channels, const Encoding& e) {
  const size_t width = e.bits / 8u;
  std::vector<float> samples(num_frames);
  const double scale = 1.0 / static_cast<double>(int64_t{1} << (e.bits - 1));
  for (size_t f = 0; f < num_frames; ++f) {
    const unsigned char* frame = bytes.data() + f * channels * width;
    if (e.tag == kTagFloat) {
      double sum = 0.0;
      for (size_t c = 0; c < channels; ++c) sum += ReadFloat(frame + c * width);
      samples[f] = static_cast<float>(sum / static_cast<double>(channels));
    } else {
      int64_t sum = 0;
      for (size_t c = 0; c < channels; ++c) sum += ReadInt(frame + c * width, width);
      const int64_t mean = sum / static_cast<int64_t>(channels);
      // 16-bit values are scaled in single precision, exactly as they always were.
      samples[f] = width == 2 ? static_cast<float>(mean) * (1.0f / 32768.0f)
                              : static_cast<float>(static_cast<double>(mean) * scale);
    }
  }
  return samples;
}

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
  Encoding encoding;
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
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
      if (size < kFmtBytesBasic) return Status(-3, "fmt chunk too small");
      unsigned char fmt[kFmtBytesExtensible] = {};
      in.read(reinterpret_cast<char*>(fmt), std::min(size, kFmtBytesExtensible));
      // A file that ends within the 16 basic bytes leaves the stream failed; the loop then reports
      // the missing data chunk. The extension is read as far as the file holds it.
      const uint32_t fmt_bytes = static_cast<uint32_t>(std::max<std::streamsize>(in.gcount(), 0));
      if (fmt_bytes < kFmtBytesBasic) continue;
      in.clear();
      encoding = ReadEncoding(fmt, fmt_bytes);
      channels = ReadU16(fmt + 2);
      sample_rate = ReadU32(fmt + 4);
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
  if (!encoding.problem.empty()) {
    return Status(-3, "unsupported WAV encoding: " + encoding.problem + "; " + kSupported);
  }
  if (channels == 0) return Status(-3, "channels=0");

  // Only what the file really holds is read: a declared size past the end (0xFFFFFFFF from a
  // streaming writer, or a cut-off file) yields the samples up to the end, never invented silence.
  const uint64_t available = file_size > pos ? file_size - pos : 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(data_size, available));
  std::vector<unsigned char> bytes(want);
  if (want > 0) in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(want));
  const size_t got = in.gcount() > 0 && want > 0 ? static_cast<size_t>(in.gcount()) : 0;

  const size_t width = encoding.bits / 8u;
  const size_t num_values = got / width;  // a trailing part of a sample is ignored
  const size_t num_frames = num_values / channels;  // a trailing incomplete frame is ignored
  std::vector<float> samples = MixDown(bytes, num_frames, channels, encoding);

  out->samples = std::move(samples);
  out->sample_rate = static_cast<float>(sample_rate);
  out->channels = channels;
  return Status();
}

}  // namespace orvane
