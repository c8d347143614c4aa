// check_stream: runs an exported model through ONNX Runtime chunk by chunk, the way the library's
// recogniser does (43 feature frames per run, caches fed back, offset advancing by 10 output frames,
// the last partial chunk zero-padded and cut to ceil(frames / 4) output frames), and compares the
// logits with a reference computed by PyTorch over the whole utterance.
//
//   check_stream MODEL.onnx FEATS.npy REF.npy [FEATS.npy REF.npy ...]
//
// Prints the largest absolute difference per pair; exit status 0 when all stay below 1e-3.
#include <onnxruntime_cxx_api.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Minimal reader of 2-D little-endian float32 C-order .npy files.
bool ReadNpy(const std::string& path, std::vector<float>* data, size_t* rows, size_t* cols) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 10 || bytes[1] != 'N') return false;
  const size_t header_len = static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
  const std::string header(bytes.data() + 10, header_len);
  if (header.find("'<f4'") == std::string::npos || header.find("True") != std::string::npos) return false;
  const size_t open = header.find('(');
  if (open == std::string::npos) return false;
  if (std::sscanf(header.c_str() + open, "(%zu, %zu)", rows, cols) != 2) return false;
  const size_t n = *rows * *cols;
  if (bytes.size() < 10 + header_len + n * 4) return false;
  data->resize(n);
  std::copy(bytes.begin() + 10 + header_len, bytes.begin() + 10 + header_len + n * 4,
            reinterpret_cast<char*>(data->data()));
  return true;
}

constexpr int64_t kChunk = 43;
constexpr int64_t kMel = 80;
constexpr int64_t kOut = 10;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: check_stream MODEL.onnx FEATS.npy REF.npy [FEATS.npy REF.npy ...]\n");
    return 2;
  }
  Ort::Env env(ORT_LOGGING_LEVEL_WARNING, "check_stream");
  Ort::SessionOptions opts;
  opts.SetIntraOpNumThreads(1);
  Ort::Session session(env, argv[1], opts);
  Ort::MemoryInfo mem = Ort::MemoryInfo::CreateCpu(OrtArenaAllocator, OrtMemTypeDefault);
  const char* in_names[] = {"chunk", "offset", "att_cache", "cnn_cache"};
  const char* out_names[] = {"output", "r_att_cache", "r_cnn_cache"};
  const std::array<int64_t, 3> chunk_shape{1, kChunk, kMel};
  const std::array<int64_t, 2> offset_shape{1, 1};
  const std::array<int64_t, 5> att_shape{1, 12, 4, 40, 224};
  const std::array<int64_t, 4> cnn_shape{1, 12, 448, 30};

  bool all_ok = true;
  double run_seconds = 0.0, audio_seconds = 0.0;
  for (int a = 2; a + 1 < argc; a += 2) {
    std::vector<float> feats, ref;
    size_t t = 0, f = 0, rt = 0, v = 0;
    if (!ReadNpy(argv[a], &feats, &t, &f) || f != kMel || !ReadNpy(argv[a + 1], &ref, &rt, &v)) {
      std::fprintf(stderr, "cannot read %s or %s\n", argv[a], argv[a + 1]);
      return 2;
    }
    std::vector<float> att(1 * 12 * 4 * 40 * 224, 0.0f), cnn(1 * 12 * 448 * 30, 0.0f);
    std::vector<float> logits;
    int64_t offset = 0;
    size_t pos = 0;
    while (pos < t) {
      const size_t avail = std::min<size_t>(kChunk, t - pos);
      std::vector<float> chunk(kChunk * kMel, 0.0f);
      std::copy(feats.begin() + pos * kMel, feats.begin() + (pos + avail) * kMel, chunk.begin());
      std::vector<Ort::Value> inputs;
      inputs.push_back(Ort::Value::CreateTensor<float>(mem, chunk.data(), chunk.size(), chunk_shape.data(), 3));
      inputs.push_back(Ort::Value::CreateTensor<int64_t>(mem, &offset, 1, offset_shape.data(), 2));
      inputs.push_back(Ort::Value::CreateTensor<float>(mem, att.data(), att.size(), att_shape.data(), 5));
      inputs.push_back(Ort::Value::CreateTensor<float>(mem, cnn.data(), cnn.size(), cnn_shape.data(), 4));
      const auto start = std::chrono::steady_clock::now();
      auto outputs = session.Run(Ort::RunOptions{nullptr}, in_names, inputs.data(), 4, out_names, 3);
      run_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const auto shape = outputs[0].GetTensorTypeAndShapeInfo().GetShape();
      const int64_t frames = shape[1], width = shape[2];
      if (static_cast<size_t>(width) != v) {
        std::fprintf(stderr, "output width %lld, reference %zu\n", static_cast<long long>(width), v);
        return 1;
      }
      const float* out = outputs[0].GetTensorData<float>();
      const int64_t keep = avail == static_cast<size_t>(kChunk)
                               ? frames
                               : std::min<int64_t>(frames, (static_cast<int64_t>(avail) + 3) / 4);
      logits.insert(logits.end(), out, out + keep * width);
      if (avail == static_cast<size_t>(kChunk)) {
        const float* ra = outputs[1].GetTensorData<float>();
        const float* rc = outputs[2].GetTensorData<float>();
        std::copy(ra, ra + att.size(), att.begin());
        std::copy(rc, rc + cnn.size(), cnn.begin());
        offset += kOut;
      }
      pos += avail;
    }
    audio_seconds += 0.01 * static_cast<double>(t);  // 10 ms feature shift
    double max_diff = 0.0;
    if (logits.size() != ref.size()) {
      std::printf("%s: %zu frames streamed, %zu in reference\n", argv[a], logits.size() / v, rt);
      all_ok = false;
      continue;
    }
    for (size_t i = 0; i < ref.size(); ++i) max_diff = std::max(max_diff, std::fabs(double(logits[i]) - ref[i]));
    std::printf("%s: %zu frames, max abs diff %.3g\n", argv[a], rt, max_diff);
    if (!(max_diff < 1e-3)) all_ok = false;
  }
  std::printf("model runs: %.3f s for %.2f s of audio (real-time factor %.4f, one intra-op thread)\n",
              run_seconds, audio_seconds, run_seconds / audio_seconds);
  std::printf(all_ok ? "OK\n" : "FAILED\n");
  return all_ok ? 0 : 1;
}
