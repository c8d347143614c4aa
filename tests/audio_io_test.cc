// AudioIo::ReadWav: canonical files, channel mix-down, chunk walking, and files whose headers
// cannot be trusted (sizes past the end of the file, truncated chunks, unsupported formats).
#include "orvane/audio_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;

void PutU16(Bytes* b, uint32_t v) {
  b->push_back(static_cast<unsigned char>(v));
  b->push_back(static_cast<unsigned char>(v >> 8));
}

void PutU32(Bytes* b, uint32_t v) {
  PutU16(b, v & 0xffff);
  PutU16(b, v >> 16);
}

void PutTag(Bytes* b, const char* tag) { b->insert(b->end(), tag, tag + 4); }

Bytes RiffHeader() {
  Bytes b;
  PutTag(&b, "RIFF");
  PutU32(&b, 0);  // never read
  PutTag(&b, "WAVE");
  return b;
}

// A "fmt " chunk of `size` bytes (at least 16; the rest is filler).
void PutFmt(Bytes* b, uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
            uint32_t size = 16) {
  PutTag(b, "fmt ");
  PutU32(b, size);
  PutU16(b, format);
  PutU16(b, channels);
  PutU32(b, rate);
  PutU32(b, rate * channels * bits / 8);
  PutU16(b, static_cast<uint16_t>(channels * bits / 8));
  PutU16(b, bits);
  for (uint32_t i = 16; i < size; ++i) b->push_back(0xAB);
  if (size & 1) b->push_back(0);
}

// A "data" chunk declaring `declared` bytes and holding the given samples.
void PutData(Bytes* b, const std::vector<int16_t>& samples, uint32_t declared) {
  PutTag(b, "data");
  PutU32(b, declared);
  for (int16_t s : samples) PutU16(b, static_cast<uint16_t>(s));
}

void PutData(Bytes* b, const std::vector<int16_t>& samples) {
  PutData(b, samples, static_cast<uint32_t>(samples.size() * 2));
}

// A "fmt " chunk of WAVE_FORMAT_EXTENSIBLE (40 bytes) whose sub-format GUID carries `sub_format`;
// `vendor_guid` spoils the GUID's fixed tail.
void PutExtensibleFmt(Bytes* b, uint16_t sub_format, uint16_t channels, uint32_t rate,
                      uint16_t bits, bool vendor_guid = false) {
  PutFmt(b, 0xFFFE, channels, rate, bits, 16);
  (*b)[b->size() - 20] = 40;  // the chunk size PutFmt wrote
  PutU16(b, 22);              // extension size
  PutU16(b, bits);            // valid bits
  PutU32(b, 0);               // channel mask
  PutU16(b, sub_format);
  const unsigned char tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  b->insert(b->end(), tail, tail + 14);
  if (vendor_guid) b->back() = 0x72;
}

// A "data" chunk of raw sample bytes.
void PutRawData(Bytes* b, const Bytes& bytes) {
  PutTag(b, "data");
  PutU32(b, static_cast<uint32_t>(bytes.size()));
  b->insert(b->end(), bytes.begin(), bytes.end());
}

// Little-endian integer samples of `bits` bits each.
Bytes IntSamples(const std::vector<int64_t>& values, int bits) {
  Bytes b;
  for (int64_t v : values) {
    for (int i = 0; i < bits / 8; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }
  return b;
}

Bytes FloatSamples(const std::vector<float>& values) {
  Bytes b;
  for (float v : values) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof(u));
    PutU32(&b, u);
  }
  return b;
}

Bytes Wav(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
  Bytes b = RiffHeader();
  PutFmt(&b, 1, channels, rate, 16);
  PutData(&b, samples);
  return b;
}

class AudioIoTest : public ::testing::Test {
 protected:
  std::string Write(const Bytes& bytes) {
    const std::string path = dir_.Sub(std::to_string(count_++) + ".wav");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Reads `bytes` and expects a failure with code -3 and `message`; `out` must stay untouched.
  void ExpectFailure(const Bytes& bytes, const std::string& message) {
    AudioClip clip;
    clip.samples = {0.25f};
    clip.sample_rate = 123.0f;
    const Status st = AudioIo::ReadWav(Write(bytes), &clip);
    EXPECT_EQ(st.code, -3);
    EXPECT_EQ(st.message, message);
    EXPECT_EQ(clip.samples, std::vector<float>{0.25f});
    EXPECT_EQ(clip.sample_rate, 123.0f);
  }

  AudioClip ReadOk(const Bytes& bytes) {
    AudioClip clip;
    const Status st = AudioIo::ReadWav(Write(bytes), &clip);
    EXPECT_TRUE(st.ok()) << st.message;
    EXPECT_TRUE(st.message.empty());
    return clip;
  }

  testing_support::TempDir dir_;

 private:
  int count_ = 0;
};

TEST_F(AudioIoTest, CanonicalHeaderWithoutSamples) {
  const Bytes bytes = Wav(1, 22050, {});
  ASSERT_EQ(bytes.size(), 44u);
  const AudioClip clip = ReadOk(bytes);
  EXPECT_TRUE(clip.samples.empty());
  EXPECT_EQ(clip.sample_rate, 22050.0f);
  EXPECT_EQ(clip.channels, 1);
}

TEST_F(AudioIoTest, MonoSamplesScaleBy1Over32768) {
  const AudioClip clip = ReadOk(Wav(1, 16000, {-32768, 32767, 0, 1, -1}));
  EXPECT_EQ(clip.samples, (std::vector<float>{-1.0f, 0.999969482421875f, 0.0f, 1.0f / 32768, -1.0f / 32768}));
  EXPECT_EQ(clip.sample_rate, 16000.0f);
}

TEST_F(AudioIoTest, ChannelsAverageTruncatingTowardZero) {
  const AudioClip stereo = ReadOk(Wav(2, 8000, {1, 2, -1, -2, 32767, 32767, -32768, -32768}));
  EXPECT_EQ(stereo.samples, (std::vector<float>{1.0f / 32768, -1.0f / 32768, 0.999969482421875f, -1.0f}));
  EXPECT_EQ(stereo.channels, 2);

  const AudioClip three = ReadOk(Wav(3, 8000, {3, 3, 4, -5, 0, 0}));
  EXPECT_EQ(three.samples, (std::vector<float>{3.0f / 32768, -1.0f / 32768}));
}

TEST_F(AudioIoTest, IncompleteTrailingFrameAndOddByteAreIgnored) {
  // 10 bytes of stereo: two whole frames, the fifth value is dropped.
  const AudioClip stereo = ReadOk(Wav(2, 16000, {10, 20, 30, 40, 50}));
  EXPECT_EQ(stereo.samples, (std::vector<float>{15.0f / 32768, 35.0f / 32768}));

  Bytes odd = RiffHeader();
  PutFmt(&odd, 1, 1, 16000, 16);
  PutData(&odd, {7, 8}, 5);
  odd.push_back(0x55);  // the fifth byte
  EXPECT_EQ(ReadOk(odd).samples, (std::vector<float>{7.0f / 32768, 8.0f / 32768}));
}

TEST_F(AudioIoTest, SkipsUnknownChunksWithTheirPadByte) {
  Bytes b = RiffHeader();
  PutTag(&b, "LIST");
  PutU32(&b, 4);
  PutTag(&b, "INFO");
  PutFmt(&b, 1, 1, 16000, 16);
  PutTag(&b, "junk");
  PutU32(&b, 3);
  b.insert(b.end(), {'d', 'a', 't', 0});  // 3 bytes and the pad byte
  PutData(&b, {100, -100});
  // Nothing after the first "data" chunk is read.
  PutTag(&b, "data");
  PutU32(&b, 2);
  PutU16(&b, 5);
  EXPECT_EQ(ReadOk(b).samples, (std::vector<float>{100.0f / 32768, -100.0f / 32768}));
}

TEST_F(AudioIoTest, LongerFmtChunksAreSkippedPastTheFieldsUsed) {
  for (uint32_t size : {18u, 19u, 40u}) {
    Bytes b = RiffHeader();
    PutFmt(&b, 1, 1, 44100, 16, size);
    PutData(&b, {42});
    const AudioClip clip = ReadOk(b);
    EXPECT_EQ(clip.samples, std::vector<float>{42.0f / 32768}) << "fmt size " << size;
    EXPECT_EQ(clip.sample_rate, 44100.0f);
  }
}

TEST_F(AudioIoTest, ALaterFmtChunkReplacesTheEarlierOne) {
  Bytes b = RiffHeader();
  PutFmt(&b, 3, 1, 8000, 32);
  PutFmt(&b, 1, 2, 16000, 16);
  PutData(&b, {2, 4});
  const AudioClip clip = ReadOk(b);
  EXPECT_EQ(clip.samples, std::vector<float>{3.0f / 32768});
  EXPECT_EQ(clip.sample_rate, 16000.0f);
}

TEST_F(AudioIoTest, DataSizePastTheEndReadsToTheEndOfTheFile) {
  // Declares 1000 bytes, holds 100: the 50 samples there are, no invented silence.
  std::vector<int16_t> samples(50);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i + 1);
  Bytes short_data = RiffHeader();
  PutFmt(&short_data, 1, 1, 16000, 16);
  PutData(&short_data, samples, 1000);
  const AudioClip clip = ReadOk(short_data);
  ASSERT_EQ(clip.samples.size(), 50u);
  EXPECT_EQ(clip.samples.back(), 50.0f / 32768);

  // Streaming writers leave 0xFFFFFFFF; nothing near 4 GiB may be allocated for it.
  Bytes streamed = RiffHeader();
  PutFmt(&streamed, 1, 2, 16000, 16);
  PutData(&streamed, {1, 3, 5, 7, 9}, 0xFFFFFFFFu);
  const AudioClip s = ReadOk(streamed);
  EXPECT_EQ(s.samples, (std::vector<float>{2.0f / 32768, 6.0f / 32768}));
}

TEST_F(AudioIoTest, HugeChunkSizesElsewhereEndInEof) {
  Bytes fmt_huge = RiffHeader();
  PutFmt(&fmt_huge, 1, 1, 16000, 16);
  fmt_huge[16] = fmt_huge[17] = fmt_huge[18] = 0xFF;  // fmt size 0xFFFFFFFF
  fmt_huge[19] = 0xFF;
  PutData(&fmt_huge, {1, 2});
  ExpectFailure(fmt_huge, "unexpected EOF while scanning chunks");

  Bytes other_huge = RiffHeader();
  PutFmt(&other_huge, 1, 1, 16000, 16);
  PutTag(&other_huge, "junk");
  PutU32(&other_huge, 0xFFFFFFFFu);
  PutData(&other_huge, {1, 2});
  ExpectFailure(other_huge, "unexpected EOF while scanning chunks");
}

TEST_F(AudioIoTest, MalformedHeaders) {
  Bytes eleven = RiffHeader();
  eleven.pop_back();
  AudioClip clip;
  const std::string path = Write(eleven);
  Status st = AudioIo::ReadWav(path, &clip);
  EXPECT_EQ(st.code, -3);
  EXPECT_EQ(st.message, "not a RIFF/WAVE file: " + path);

  for (const char* first : {"RIFX", "RIFF"}) {
    Bytes wrong = Wav(1, 16000, {1});
    std::copy(first, first + 4, wrong.begin());
    if (std::string(first) == "RIFF") std::copy("WAVf", "WAVf" + 4, wrong.begin() + 8);
    const std::string p = Write(wrong);
    st = AudioIo::ReadWav(p, &clip);
    EXPECT_EQ(st.message, "not a RIFF/WAVE file: " + p);
  }

  ExpectFailure(RiffHeader(), "unexpected EOF while scanning chunks");
  Bytes five = RiffHeader();
  five.insert(five.end(), {'f', 'm', 't', ' ', 16});
  ExpectFailure(five, "unexpected EOF while scanning chunks");

  Bytes no_data = RiffHeader();
  PutFmt(&no_data, 1, 1, 16000, 16);
  ExpectFailure(no_data, "unexpected EOF while scanning chunks");
}

TEST_F(AudioIoTest, FmtChunkProblems) {
  Bytes small = RiffHeader();
  PutTag(&small, "fmt ");
  PutU32(&small, 14);
  small.insert(small.end(), 14, 0);
  PutData(&small, {1});
  ExpectFailure(small, "fmt chunk too small");

  // The file ends inside the 16 format bytes.
  Bytes cut = RiffHeader();
  PutFmt(&cut, 1, 1, 16000, 16);
  cut.resize(cut.size() - 6);
  ExpectFailure(cut, "no data chunk found");

  Bytes data_first = RiffHeader();
  PutData(&data_first, {1, 2});
  PutFmt(&data_first, 1, 1, 16000, 16);
  ExpectFailure(data_first, "data chunk before fmt");
}

// Full scale, the largest value, half scale, and a stereo frame per width, written plain (format
// tag 1) and as WAVE_FORMAT_EXTENSIBLE with the PCM sub-format, as sox writes 24-bit files.
TEST_F(AudioIoTest, IntegerPcmOf16To32BitsPlainOrExtensible) {
  for (int bits : {16, 24, 32}) {
    for (bool extensible : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (extensible ? "-bit extensible" : "-bit plain"));
      const int64_t full = int64_t{1} << (bits - 1);
      Bytes mono = RiffHeader();
      if (extensible) {
        PutExtensibleFmt(&mono, 1, 1, 48000, static_cast<uint16_t>(bits));
      } else {
        PutFmt(&mono, 1, 1, 48000, static_cast<uint16_t>(bits));
      }
      PutRawData(&mono, IntSamples({-full, full - 1, full / 2, -1}, bits));
      const AudioClip clip = ReadOk(mono);
      EXPECT_EQ(clip.sample_rate, 48000.0f);
      ASSERT_EQ(clip.samples.size(), 4u);
      EXPECT_EQ(clip.samples[0], -1.0f);
      EXPECT_NEAR(clip.samples[1], 1.0f, 1.0 / 32768);
      EXPECT_LE(clip.samples[1], 1.0f);
      EXPECT_EQ(clip.samples[2], 0.5f);
      EXPECT_EQ(clip.samples[3], static_cast<float>(-1.0 / static_cast<double>(full)));

      Bytes stereo = RiffHeader();
      PutFmt(&stereo, 1, 2, 16000, static_cast<uint16_t>(bits));
      PutRawData(&stereo, IntSamples({1, 2, -1, -2, full / 2, full / 4, 7}, bits));
      const AudioClip mixed = ReadOk(stereo);  // the odd seventh value is no frame
      ASSERT_EQ(mixed.samples.size(), 3u);
      EXPECT_EQ(mixed.samples[0], static_cast<float>(1.0 / static_cast<double>(full)));
      EXPECT_EQ(mixed.samples[1], static_cast<float>(-1.0 / static_cast<double>(full)));
      EXPECT_EQ(mixed.samples[2], 0.375f);
    }
  }
}

TEST_F(AudioIoTest, FloatSamplesPlainOrExtensibleAreClippedAndCleaned) {
  for (bool extensible : {false, true}) {
    SCOPED_TRACE(extensible ? "extensible" : "plain");
    Bytes mono = RiffHeader();
    if (extensible) {
      PutExtensibleFmt(&mono, 3, 1, 44100, 32);
    } else {
      PutFmt(&mono, 3, 1, 44100, 32);
    }
    PutRawData(&mono, FloatSamples({0.25f, -0.5f, 1.5f, -3.0f, std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity()}));
    const AudioClip clip = ReadOk(mono);
    EXPECT_EQ(clip.sample_rate, 44100.0f);
    EXPECT_EQ(clip.samples, (std::vector<float>{0.25f, -0.5f, 1.0f, -1.0f, 0.0f, 0.0f}));
  }
  Bytes stereo = RiffHeader();
  PutFmt(&stereo, 3, 2, 16000, 32);
  PutRawData(&stereo, FloatSamples({0.25f, 0.75f, -1.0f, 0.5f}));
  EXPECT_EQ(ReadOk(stereo).samples, (std::vector<float>{0.5f, -0.25f}));
}

TEST_F(AudioIoTest, UnsupportedEncodingsAreNamed) {
  const std::string supported =
      "; supported: 16-, 24- or 32-bit integer PCM and 32-bit float, plain or "
      "WAVE_FORMAT_EXTENSIBLE";
  struct Case {
    uint16_t tag;
    uint16_t bits;
    bool extensible;  // tag is then the sub-format
    const char* holds;
  };
  const Case cases[] = {
      {1, 8, false, "8-bit integer PCM"},
      {1, 20, false, "20-bit integer PCM"},
      {3, 64, false, "64-bit float"},
      {6, 8, false, "A-law (compressed)"},
      {0x55, 16, false, "MPEG layer 3 (compressed)"},
      {0x1234, 16, false, "format tag 0x1234"},
      {1, 8, true, "WAVE_FORMAT_EXTENSIBLE with 8-bit integer PCM"},
      {3, 64, true, "WAVE_FORMAT_EXTENSIBLE with 64-bit float"},
      {2, 4, true, "WAVE_FORMAT_EXTENSIBLE with MS ADPCM (compressed)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.holds);
    Bytes b = RiffHeader();
    if (c.extensible) {
      PutExtensibleFmt(&b, c.tag, 1, 16000, c.bits);
    } else {
      PutFmt(&b, c.tag, 1, 16000, c.bits);
    }
    PutData(&b, {0, 0});
    ExpectFailure(b, std::string("unsupported WAV encoding: ") + c.holds + supported);
  }

  Bytes short_extensible = RiffHeader();
  PutFmt(&short_extensible, 0xFFFE, 1, 16000, 16);
  PutData(&short_extensible, {0, 0});
  ExpectFailure(short_extensible,
                "unsupported WAV encoding: WAVE_FORMAT_EXTENSIBLE without its sub-format" + supported);
  Bytes vendor = RiffHeader();
  PutExtensibleFmt(&vendor, 1, 1, 16000, 16, true);
  PutData(&vendor, {0, 0});
  ExpectFailure(vendor,
                "unsupported WAV encoding: WAVE_FORMAT_EXTENSIBLE with a sub-format GUID of another "
                "vendor" + supported);

  Bytes no_channels = RiffHeader();
  PutFmt(&no_channels, 1, 0, 16000, 16);
  PutData(&no_channels, {1, 2});
  ExpectFailure(no_channels, "channels=0");
}

TEST_F(AudioIoTest, CallerErrors) {
  Status st = AudioIo::ReadWav(Write(Wav(1, 16000, {1})), nullptr);
  EXPECT_EQ(st.code, -1);
  EXPECT_EQ(st.message, "AudioIo::ReadWav: null out");

  AudioClip clip;
  const std::string missing = dir_.Sub("no_such_file.wav");
  st = AudioIo::ReadWav(missing, &clip);
  EXPECT_EQ(st.code, -3);
  EXPECT_EQ(st.message, "cannot open WAV: " + missing);
}

}  // namespace
}  // namespace orvane
