// orvane-fbank: the recogniser's filterbank features of 16 kHz mono 16-bit WAV files, written as
// float32 .npy arrays of shape (frames, 80), so that training sees exactly what inference sees.
//
//   orvane-fbank IN.wav OUT.npy
//   orvane-fbank --batch LIST       each line "IN.wav OUT.npy" (a tab separates paths that hold
//                                   spaces); empty lines and lines starting with '#' are skipped
//
// Exit status 0 when every file was written, 1 when any failed, 2 on a usage error.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/audio_io.h"
#include "orvane/feature_pipeline.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane-fbank IN.wav OUT.npy\n"
    "       orvane-fbank --batch LIST   (each line: IN.wav OUT.npy)\n";

// The recognition module's filterbank settings.
orvane::FbankOptions RecogniserOptions() {
  orvane::FbankOptions opts;
  opts.sample_rate = 16000;
  opts.num_mel_bins = 80;
  opts.frame_length_ms = 25;
  opts.frame_shift_ms = 10;
  opts.preemph_coeff = 0.97f;
  opts.low_freq = 20.0f;
  opts.high_freq = -400.0f;
  return opts;
}

// NPY format 1.0: magic, version, little-endian header length, a Python dict literal padded with
// spaces to a multiple of 64 bytes and ended by a newline, then the raw little-endian float32 data.
bool WriteNpy(const std::string& path, const std::vector<float>& values, size_t rows, size_t cols,
              std::string* error) {
  std::string dict = "{'descr': '<f4', 'fortran_order': False, 'shape': (" + std::to_string(rows) +
                     ", " + std::to_string(cols) + "), }";
  const size_t prefix = 10;  // magic (6) + version (2) + header length (2)
  size_t total = prefix + dict.size() + 1;
  dict.append((64 - total % 64) % 64, ' ');
  dict.push_back('\n');

  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      *error = "cannot write " + tmp;
      return false;
    }
    const uint16_t header_len = static_cast<uint16_t>(dict.size());
    const char magic[8] = {'\x93', 'N', 'U', 'M', 'P', 'Y', 1, 0};
    out.write(magic, sizeof(magic));
    const char len_le[2] = {static_cast<char>(header_len & 0xff), static_cast<char>(header_len >> 8)};
    out.write(len_le, 2);
    out.write(dict.data(), static_cast<std::streamsize>(dict.size()));
    std::vector<unsigned char> raw(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i) {
      uint32_t bits;
      std::memcpy(&bits, &values[i], 4);
      raw[4 * i] = static_cast<unsigned char>(bits);
      raw[4 * i + 1] = static_cast<unsigned char>(bits >> 8);
      raw[4 * i + 2] = static_cast<unsigned char>(bits >> 16);
      raw[4 * i + 3] = static_cast<unsigned char>(bits >> 24);
    }
    out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    out.close();
    if (!out) {
      std::remove(tmp.c_str());
      *error = "cannot write " + tmp;
      return false;
    }
  }
  // Renamed into place so that an interrupted run never leaves a truncated OUT.npy behind.
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

// One file; `fbank` is reused between files (reset first). Prints one error line on failure.
bool Extract(orvane::FeaturePipeline* fbank, const std::string& in_path, const std::string& out_path) {
  orvane::AudioClip clip;
  const orvane::Status st = orvane::AudioIo::ReadWav(in_path, &clip);
  if (!st.ok()) {
    std::cerr << "orvane-fbank: " << in_path << ": " << st.message << "\n";
    return false;
  }
  if (clip.sample_rate != 16000.0f || clip.channels != 1) {
    std::cerr << "orvane-fbank: " << in_path << ": need 16 kHz mono WAV, got "
              << clip.sample_rate << " Hz, " << clip.channels << " channel(s)\n";
    return false;
  }
  // The samples are the integer values divided by 2^(bits-1), exactly what a session feeds the
  // recogniser.
  fbank->Reset();
  fbank->AcceptWaveform(clip.samples.data(), clip.samples.size());
  const size_t cols = static_cast<size_t>(fbank->options().num_mel_bins);
  const size_t rows = fbank->num_frames_ready();
  const std::vector<float> features = fbank->PopFrames(rows);
  std::string error;
  if (!WriteNpy(out_path, features, rows, cols, &error)) {
    std::cerr << "orvane-fbank: " << out_path << ": " << error << "\n";
    return false;
  }
  return true;
}

bool SplitListLine(const std::string& line, std::string* in, std::string* out) {
  const size_t tab = line.find('\t');
  if (tab != std::string::npos) {
    *in = line.substr(0, tab);
    *out = line.substr(tab + 1);
    while (!out->empty() && (out->back() == '\t' || out->back() == ' ' || out->back() == '\r')) {
      out->pop_back();
    }
    return !in->empty() && !out->empty() && out->find('\t') == std::string::npos;
  }
  std::istringstream fields(line);
  std::string extra;
  return static_cast<bool>(fields >> *in >> *out) && !(fields >> extra);
}

int RunBatch(const std::string& list_path) {
  std::ifstream list(list_path);
  if (!list) {
    std::cerr << "orvane-fbank: cannot open list " << list_path << "\n";
    return 1;
  }
  orvane::FeaturePipeline fbank(RecogniserOptions());
  std::string line;
  size_t line_no = 0, done = 0, failed = 0;
  while (std::getline(list, line)) {
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::string in, out;
    if (!SplitListLine(line, &in, &out)) {
      std::cerr << "orvane-fbank: " << list_path << ":" << line_no
                << ": expected \"IN.wav OUT.npy\"\n";
      ++failed;
      continue;
    }
    if (Extract(&fbank, in, out)) {
      ++done;
    } else {
      ++failed;
    }
  }
  std::cerr << "orvane-fbank: " << done << " written, " << failed << " failed\n";
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--batch") == 0) return RunBatch(argv[2]);
  if (argc == 3 && argv[1][0] != '-') {
    orvane::FeaturePipeline fbank(RecogniserOptions());
    return Extract(&fbank, argv[1], argv[2]) ? 0 : 1;
  }
  std::cerr << kUsage;
  return 2;
}
