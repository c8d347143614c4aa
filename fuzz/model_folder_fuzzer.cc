// The recogniser's model folders. Mode 0: ModelGeometry::FromDescription on declared shapes and
// metadata made from the input; whatever it accepts is a geometry the recogniser can run (positive
// chunk and frame counts, bounded chunk and states, a usable filterbank, one state per state input). Mode 1: a folder whose
// units.txt comes from the input and whose model.onnx is the tests' small model damaged by the
// input, loaded by OrvaneModule::Init on one ONNX engine: a load that succeeds streams a chunk and
// writes valid JSON; one that fails names the folder's file and leaves no model loaded.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/onnx_engine.h"
#include "fuzz_check.h"
#include "json_validator.h"
#include "orvane/feature_pipeline.h"
#include "orvane/file_system.h"
#include "orvane/json_writer.h"
#include "orvane/logger.h"
#include "orvane/model_geometry.h"
#include "orvane/orvane_module.h"
#include "orvane/result_builder.h"

namespace {

using orvane::ModelDescription;
using orvane::ModelGeometry;
using orvane::TensorInfo;

const char* const kNames[] = {"chunk", "offset", "att_cache", "cnn_cache", "output", "r", ""};
const char* const kKeys[] = {"sample_rate",   "num_mel_bins", "frame_length_ms", "frame_shift_ms",
                             "subsampling",   "chunk_frames", "output_frames",   "preemph_coeff",
                             "low_freq",      "high_freq",    "other"};
const char* const kValues[] = {"16000", "80", "4", "10", "0", "-3", "1e9", "2147483648", "0.97",
                               " 7 ", "nan", "inf", "", "4x", "-400", "1e40"};
const int64_t kDims[] = {-1, 0, 1, 2, 3, 4, 10, 12, 30, 40, 43, 80, 224, 448, 696, 100000,
                         INT32_MAX, INT64_MAX};

TensorInfo TakeTensor(FuzzedDataProvider* p) {
  TensorInfo info;
  info.name = p->PickValueInArray(kNames);
  const int rank = p->ConsumeIntegralInRange<int>(0, 6);
  for (int d = 0; d < rank; ++d) {
    info.shape.push_back(p->ConsumeBool() ? p->PickValueInArray(kDims)
                                          : p->ConsumeIntegralInRange<int64_t>(-2, 5000));
  }
  info.is_integer = p->ConsumeIntegralInRange<int>(0, 3) == 0;
  return info;
}

void CheckGeometry(FuzzedDataProvider* p) {
  ModelDescription model;
  const int inputs = p->ConsumeIntegralInRange<int>(0, 6);
  for (int i = 0; i < inputs; ++i) model.inputs.push_back(TakeTensor(p));
  const int outputs = p->ConsumeIntegralInRange<int>(0, 6);
  for (int i = 0; i < outputs; ++i) model.outputs.push_back(TakeTensor(p));
  const int keys = p->ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < keys; ++i) {
    model.metadata[p->PickValueInArray(kKeys)] =
        p->ConsumeBool() ? std::string(p->PickValueInArray(kValues)) : p->ConsumeRandomLengthString(12);
  }
  const size_t units = p->ConsumeBool() ? 696 : p->ConsumeIntegralInRange<size_t>(0, 100000);
  ModelGeometry g;
  const orvane::Status s = ModelGeometry::FromDescription(model, units, &g);
  if (!s.ok()) {
    FUZZ_CHECK(s.code == -6 && !s.message.empty());
    return;
  }
  FUZZ_CHECK(g.chunk_frames > 0 && g.output_frames > 0 && g.subsampling > 0);
  FUZZ_CHECK(static_cast<int64_t>(g.chunk_frames) * g.features.num_mel_bins <= (int64_t{1} << 22));
  FUZZ_CHECK(orvane::FeaturePipeline(g.features).valid());
  FUZZ_CHECK(static_cast<size_t>(g.vocab_size) == units);
  FUZZ_CHECK(g.state_shapes.size() + (g.has_offset ? 2 : 1) == model.inputs.size());
  FUZZ_CHECK(model.outputs.size() >= 1 + g.state_shapes.size());
  size_t state_values = 0;
  for (size_t k = 0; k < g.state_shapes.size(); ++k) {
    for (int64_t dim : g.state_shapes[k]) FUZZ_CHECK(dim >= 0);
    state_values += g.state_size(k);
  }
  FUZZ_CHECK(state_values <= (size_t{1} << 26));
}

struct Folder {
  std::string dir;
  std::string model;  // the undamaged small model; empty when the build made none
  std::unique_ptr<orvane::Engine> engine;
};

Folder& TheFolder() {
  static Folder folder = [] {
    Folder f;
    char pattern[] = "/tmp/orvane_model_folder_fuzzer_XXXXXX";
    if (mkdtemp(pattern) != nullptr) f.dir = pattern;
#if defined(ORVANE_FUZZ_SMALL_MODEL_DIR)
    std::vector<unsigned char> bytes;
    if (orvane::FileSystem::ReadFile(ORVANE_FUZZ_SMALL_MODEL_DIR "/model.onnx", &bytes)) {
      f.model.assign(bytes.begin(), bytes.end());
    }
#endif
    f.engine = orvane::CreateOnnxEngine();
    // At exit, when static objects may already be gone: the name is kept in a leaked copy.
    static const std::string* const kept = new std::string(f.dir);
    std::atexit([] {
      if (kept->empty()) return;
      std::remove((*kept + "/model.onnx").c_str());
      std::remove((*kept + "/units.txt").c_str());
      rmdir(kept->c_str());
    });
    return f;
  }();
  return folder;
}

void Write(const std::string& path, const std::string& bytes) {
  orvane::FileSystem::WriteFile(path, reinterpret_cast<const unsigned char*>(bytes.data()),
                                bytes.size());
}

void CheckFolder(FuzzedDataProvider* p) {
  Folder& folder = TheFolder();
  if (folder.dir.empty() || folder.model.empty() || !folder.engine) return;
  std::string model = folder.model;
  const int edits = p->ConsumeIntegralInRange<int>(0, 6);
  for (int i = 0; i < edits && !model.empty(); ++i) {
    const size_t at = p->ConsumeIntegralInRange<size_t>(0, model.size() - 1);
    switch (p->ConsumeIntegralInRange<int>(0, 3)) {
      case 0: model[at] = static_cast<char>(p->ConsumeIntegral<uint8_t>()); break;
      case 1: model.resize(at); break;
      case 2: model.insert(at, p->ConsumeRandomLengthString(8)); break;
      default: model.erase(at, p->ConsumeIntegralInRange<size_t>(1, 16)); break;
    }
  }
  const bool units_from_input = p->ConsumeBool();
  const std::string units = units_from_input ? p->ConsumeRandomLengthString(512)
                                             : std::string("<blank> 0\n<unk> 1\n\xE2\x96\x81xin 2\n"
                                                           "\xE2\x96\x81" "chao 3\na 4\nb 5\nc 6\nd 7\n");
  Write(folder.dir + "/model.onnx", model);
  Write(folder.dir + "/units.txt", units);

  orvane::OrvaneModule module;
  orvane::ModuleConfig config;
  config.json = "{\"model_dir\":" + orvane::JsonEscape(folder.dir) + "}";
  const orvane::Status s = module.Init(config, nullptr, folder.engine.get());
  if (!s.ok()) {
    FUZZ_CHECK(!module.model_loaded());
    FUZZ_CHECK(s.message.find(folder.dir + "/model.onnx") != std::string::npos ||
               s.message.find(folder.dir + "/units.txt") != std::string::npos);
    return;
  }
  FUZZ_CHECK(module.model_loaded());
  // A chunk and a half of noise, then the end of the stream.
  const ModelGeometry& g = module.geometry();
  const size_t shift = static_cast<size_t>(16 * g.features.frame_shift_ms);
  std::vector<float> audio(shift * static_cast<size_t>(g.chunk_frames) * 3 / 2 + 400);
  uint32_t state = 1;
  for (float& x : audio) {
    state = state * 1664525u + 1013904223u;
    x = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
  }
  orvane::ResultBuilder doc;
  module.OnFrame(orvane::AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, &doc);
  module.OnFinalize(&doc);
  FUZZ_CHECK(orvane::testing_support::IsValidJson(doc.FinalJson()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::Logger::Instance().SetLevel(orvane::Error);
  TheFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider p(data, size);
  if (p.ConsumeBool()) {
    CheckGeometry(&p);
  } else {
    CheckFolder(&p);
  }
  return 0;
}
