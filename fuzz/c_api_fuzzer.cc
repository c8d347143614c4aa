// The C interface driven by a byte string that encodes a sequence of calls: pipelines from presets
// and by hand (unknown names, odd configuration texts and backends), sessions at odd rates (0,
// negative, NaN, infinite, huge, tiny), blocks of odd sizes and formats (negative counts, null
// pointers, NaN and infinite float samples), partial, final and reset in any order, and frees in
// either order. Every returned text must be valid JSON, every call must come back, and the final
// document must say it is final.
//
// Speed: building a pipeline loads a model and a session on the embedded model runs it once per 0.43 s
// of audio, which would hold the fuzzer to a few inputs per second. So the pipelines that load a
// model are built once (LLVMFuzzerInitialize) and shared by all inputs, which open sessions on them
// but never free them; pipelines an input builds itself give "orvane" the tests' small model folder
// (when the build generated it); and audio for the embedded model is rationed per input.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cfloat>
#include <climits>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json_validator.h"
#include "orvane.h"

namespace {

using orvane::testing_support::IsValidJson;

constexpr size_t kMaxPipelines = 4;
constexpr size_t kMaxSessions = 8;
constexpr int kMaxOps = 48;
// Work budget of one input, in 16 kHz samples handed to the modules: a rate of 1 Hz turns every
// input sample into 16000, so block sizes are scaled down to stay within it.
constexpr double kMaxOutputSamplesPerBlock = 1 << 15;

// 16 kHz samples one input may hand to the modules in all (the filterbank and the resampler,
// instrumented for coverage, cost about a millisecond per 1000), and of those to the embedded model
// (two chunks).
struct Budget {
  double samples = 16000;
  double real_model_samples = 2 * 43 * 160;
};

struct SessionSlot {
  orvane_session_t* handle;
  float rate;
  bool finalised;
  bool real_model;  // runs the embedded model
};

struct PipelineSlot {
  orvane_pipeline_t* handle;
  bool real_model;
  bool shared;  // built once for all inputs; never freed by one
};

#if defined(ORVANE_FUZZ_SMALL_MODEL_DIR)
const char* const kSmallModelConfig = "{\"model_dir\":\"" ORVANE_FUZZ_SMALL_MODEL_DIR "\"}";
#else
const char* const kSmallModelConfig = nullptr;
#endif

std::vector<PipelineSlot>& SharedPipelines() {
  static std::vector<PipelineSlot> pipelines;
  return pipelines;
}

void BuildSharedPipelines() {
  std::vector<PipelineSlot>& shared = SharedPipelines();
  std::atexit([] {
    for (PipelineSlot& slot : SharedPipelines()) orvane_pipeline_free(slot.handle);
    SharedPipelines().clear();
  });
  if (orvane_pipeline_t* p = orvane_pipeline_preset("transcribe")) shared.push_back({p, true, true});
  orvane_pipeline_t* noop = orvane_pipeline_new();
  orvane_pipeline_set_backend(noop, 2);
  for (const char* name : {"vad", "orvane", "punctuation", "diarization"}) {
    orvane_pipeline_add_module(noop, name, nullptr);
  }
  FUZZ_CHECK(orvane_pipeline_build(noop) == 0);
  shared.push_back({noop, false, true});
  if (kSmallModelConfig != nullptr) {
    orvane_pipeline_t* small = orvane_pipeline_new();
    orvane_pipeline_add_module(small, "vad", nullptr);
    orvane_pipeline_add_module(small, "orvane", kSmallModelConfig);
    FUZZ_CHECK(orvane_pipeline_build(small) == 0);
    shared.push_back({small, false, true});
  }
}

const char* const kPresets[] = {"transcribe", "transcribe-rich", "meeting", "analytics",
                                "Transcribe", "", "no-such-preset", "transcribe ", "vad"};
const char* const kModules[] = {"vad",   "orvane",  "punctuation", "itn",   "diarization",
                                "gender", "emotion", "dialect",    "noise", "",
                                "ORVANE", "unknown", "orvane\n"};
const char* const kConfigs[] = {nullptr, "{}", "", "{", "null", "[1,2,3]", "{\"beam\":-1}",
                                "\xff\xfe", "{\"a\":\"\\u0000\"}"};
const float kRates[] = {16000.0f, 8000.0f, 44100.0f, 48000.0f, 22050.0f, 11025.0f, 96000.0f,
                        16000.5f, 16000.6f, 15999.4f, 1.0f, 7.0f, 100.0f, 0.0f, -0.0f, -16000.0f,
                        std::numeric_limits<float>::quiet_NaN(),
                        std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(), 1e9f, 2147483520.0f,
                        2147483648.0f, 3e9f, FLT_MAX, FLT_MIN, 0.5f, 0.999f};
const int kCounts[] = {0, 1, 2, 3, 7, 159, 160, 161, 399, 400, 401, 1599, 1600, 1601, 4096, 16000};
const int kBadCounts[] = {-1, -2, -160, INT_MIN, INT_MIN + 1};

void CheckDocument(const char* text) {
  FUZZ_CHECK(text != nullptr);
  FUZZ_CHECK(IsValidJson(text));
}

float TakeRate(FuzzedDataProvider* p) {
  if (p->ConsumeBool()) return p->PickValueInArray(kRates);
  uint32_t bits = p->ConsumeIntegral<uint32_t>();
  float rate;
  std::memcpy(&rate, &bits, sizeof(rate));
  return rate;
}

// A block size for a session at `rate`, kept within the block's and the input's work budget;
// negative on request.
int TakeCount(FuzzedDataProvider* p, float rate, bool real_model, Budget* budget) {
  if (p->ConsumeIntegralInRange<int>(0, 7) == 0) return p->PickValueInArray(kBadCounts);
  int n = p->ConsumeBool() ? p->PickValueInArray(kCounts) : p->ConsumeIntegralInRange<int>(0, 8000);
  if (std::isfinite(rate) && rate >= 1.0f) {
    double left = std::min<double>(kMaxOutputSamplesPerBlock, budget->samples);
    if (real_model) left = std::min(left, budget->real_model_samples);
    const double limit = std::max(0.0, left) * rate / 16000.0;
    if (n > limit) n = static_cast<int>(limit);
    if (n > 0) {
      budget->samples -= n * 16000.0 / rate;
      if (real_model) budget->real_model_samples -= n * 16000.0 / rate;
    }
  }
  return n;
}

void FillFloats(FuzzedDataProvider* p, std::vector<float>* block) {
  const int kind = p->ConsumeIntegralInRange<int>(0, 5);
  const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), FLT_MAX, -FLT_MAX,
                           FLT_MIN, 1e30f, -1.0f, 1.0f, 0.0f};
  const float scale = p->ConsumeFloatingPointInRange<float>(-2.0f, 2.0f);
  for (size_t i = 0; i < block->size(); ++i) {
    float x;
    switch (kind) {
      case 0: x = 0.0f; break;
      case 1: x = scale * std::sin(0.05f * static_cast<float>(i)); break;
      case 2: x = special[i % (sizeof(special) / sizeof(special[0]))]; break;
      case 3: x = (i % 97 == 0) ? std::numeric_limits<float>::quiet_NaN() : 0.3f; break;
      default: {
        uint32_t bits = static_cast<uint32_t>(i * 2654435761u) ^ static_cast<uint32_t>(kind);
        std::memcpy(&x, &bits, sizeof(x));
        break;
      }
    }
    (*block)[i] = x;
  }
}

void FillShorts(FuzzedDataProvider* p, std::vector<short>* block) {
  const int kind = p->ConsumeIntegralInRange<int>(0, 3);
  for (size_t i = 0; i < block->size(); ++i) {
    switch (kind) {
      case 0: (*block)[i] = 0; break;
      case 1: (*block)[i] = (i & 1) ? SHRT_MAX : SHRT_MIN; break;
      case 2: (*block)[i] = static_cast<short>(8000.0 * std::sin(0.03 * static_cast<double>(i))); break;
      default: (*block)[i] = static_cast<short>(i * 7919u); break;
    }
  }
}

// A pipeline for a session or a one-shot call. The embedded model's pipeline is taken one time in
// four when chosen: each session on it starts by zeroing 2.4 MB of model state.
const PipelineSlot& PickPipeline(FuzzedDataProvider* p, const std::vector<PipelineSlot>& pipelines) {
  size_t i = p->ConsumeIntegralInRange<size_t>(0, pipelines.size() - 1);
  if (pipelines[i].real_model && p->ConsumeIntegralInRange<int>(0, 3) != 0) {
    i = (i + 1) % pipelines.size();
  }
  return pipelines[i];
}

bool IsBuiltInPreset(const char* name) {
  for (const char* preset : {"transcribe", "transcribe-rich", "meeting", "analytics"}) {
    if (std::strcmp(name, preset) == 0) return true;
  }
  return false;
}

// A pipeline of the input's own. The built-in presets are among the shared pipelines, so here a
// preset name only exercises the refusals. "orvane" with a text that would load the embedded model
// gets the small model folder instead, where there is one.
PipelineSlot MakePipeline(FuzzedDataProvider* p) {
  if (p->ConsumeBool()) {
    const char* name = p->PickValueInArray(kPresets);
    if (IsBuiltInPreset(name)) return {nullptr, false, false};
    FUZZ_CHECK(orvane_pipeline_preset(name) == nullptr);
    return {nullptr, false, false};
  }
  orvane_pipeline_t* pipeline = orvane_pipeline_new();
  FUZZ_CHECK(pipeline != nullptr);
  bool real_model = false;
  const int modules = p->ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < modules; ++i) {
    const char* name = p->PickValueInArray(kModules);
    std::string config;
    const char* config_ptr;
    if (p->ConsumeBool()) {
      config_ptr = p->PickValueInArray(kConfigs);
    } else {
      config = p->ConsumeRandomLengthString(64);
      config_ptr = config.c_str();
    }
    if (std::strcmp(name, "orvane") == 0) {
      const bool embedded = config_ptr == nullptr || std::strcmp(config_ptr, "{}") == 0 ||
                            config_ptr[0] == '\0';
      if (embedded && kSmallModelConfig != nullptr) {
        config_ptr = kSmallModelConfig;
      } else {
        real_model = true;  // whatever the text makes of it, ration its audio
      }
    }
    const int code = orvane_pipeline_add_module(pipeline, name, config_ptr);
    FUZZ_CHECK(code == 0 || code == -2);
  }
  FUZZ_CHECK(orvane_pipeline_set_backend(pipeline, p->ConsumeIntegral<int>()) == 0);
  if (p->ConsumeBool()) FUZZ_CHECK(orvane_pipeline_build(pipeline) <= 0);
  return {pipeline, real_model, false};
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane_set_log_level(5);  // failures are expected by the thousand; keep the output readable
  BuildSharedPipelines();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider p(data, size);
  std::vector<PipelineSlot> pipelines = SharedPipelines();  // the input's own follow
  const size_t shared = pipelines.size();
  Budget budget;
  std::vector<SessionSlot> sessions;
  std::vector<float> floats;
  std::vector<short> shorts;
  std::vector<unsigned char> bytes;

  for (int op_count = 0; op_count < kMaxOps && p.remaining_bytes() > 0; ++op_count) {
    const int op = p.ConsumeIntegralInRange<int>(0, 17);
    switch (op) {
      case 0:
      case 1:
        if (pipelines.size() < shared + kMaxPipelines) {
          const PipelineSlot pipeline = MakePipeline(&p);
          if (pipeline.handle != nullptr) pipelines.push_back(pipeline);
        }
        break;
      case 2:
        // Frees a pipeline, possibly while sessions made from it are still alive.
        if (pipelines.size() > shared) {
          const size_t i = p.ConsumeIntegralInRange<size_t>(shared, pipelines.size() - 1);
          orvane_pipeline_free(pipelines[i].handle);
          pipelines.erase(pipelines.begin() + static_cast<long>(i));
        }
        break;
      case 3:
      case 4:
        if (!pipelines.empty() && sessions.size() < kMaxSessions) {
          const PipelineSlot& pipeline = PickPipeline(&p, pipelines);
          const float rate = TakeRate(&p);
          orvane_session_t* session = orvane_session_new(pipeline.handle, rate);
          if (session != nullptr) sessions.push_back({session, rate, false, pipeline.real_model});
        }
        break;
      case 5:
        if (!sessions.empty()) {
          const size_t i = p.ConsumeIntegralInRange<size_t>(0, sessions.size() - 1);
          orvane_session_free(sessions[i].handle);
          sessions.erase(sessions.begin() + static_cast<long>(i));
        }
        break;
      case 6:
      case 7:
      case 8:
      case 9: {
        if (sessions.empty()) break;
        SessionSlot& s = sessions[p.ConsumeIntegralInRange<size_t>(0, sessions.size() - 1)];
        const int n = TakeCount(&p, s.rate, s.real_model, &budget);
        const bool null_pointer = p.ConsumeIntegralInRange<int>(0, 15) == 0;
        const size_t len = n > 0 ? static_cast<size_t>(n) : 0;
        int rc;
        if (op == 6) {
          floats.resize(len);
          FillFloats(&p, &floats);
          rc = orvane_accept_waveform_f32(s.handle, null_pointer ? nullptr : floats.data(), n);
        } else if (op == 7) {
          shorts.resize(len);
          FillShorts(&p, &shorts);
          rc = orvane_accept_waveform_s16(s.handle, null_pointer ? nullptr : shorts.data(), n);
        } else {
          // Raw bytes straight from the input, at any alignment (odd counts included).
          std::string raw = p.ConsumeBytesAsString(len);
          bytes.assign(raw.size() + 1, 0);
          if (!raw.empty()) std::memcpy(bytes.data() + 1, raw.data(), raw.size());
          const int count = n < 0 ? n : static_cast<int>(raw.size());
          rc = orvane_accept_waveform_bytes(s.handle, null_pointer ? nullptr : bytes.data() + 1,
                                            count);
        }
        FUZZ_CHECK(rc == 0);
        break;
      }
      case 10:
      case 11: {
        if (sessions.empty()) break;
        SessionSlot& s = sessions[p.ConsumeIntegralInRange<size_t>(0, sessions.size() - 1)];
        const char* doc = op == 10 ? orvane_partial_result(s.handle) : orvane_result(s.handle);
        CheckDocument(doc);
        FUZZ_CHECK((std::strstr(doc, "\"is_final\":true") != nullptr) == s.finalised);
        break;
      }
      case 12: {
        if (sessions.empty()) break;
        SessionSlot& s = sessions[p.ConsumeIntegralInRange<size_t>(0, sessions.size() - 1)];
        const char* doc = orvane_final_result(s.handle);
        CheckDocument(doc);
        FUZZ_CHECK(std::strstr(doc, "\"is_final\":true") != nullptr);
        s.finalised = true;
        break;
      }
      case 13: {
        if (sessions.empty()) break;
        SessionSlot& s = sessions[p.ConsumeIntegralInRange<size_t>(0, sessions.size() - 1)];
        orvane_session_reset(s.handle);
        s.finalised = false;
        FUZZ_CHECK(std::strcmp(orvane_partial_result(s.handle), "{\"is_final\":false}") == 0);
        break;
      }
      case 14: {
        // One-shot buffer at an odd rate.
        if (pipelines.empty()) break;
        const PipelineSlot& slot = PickPipeline(&p, pipelines);
        orvane_pipeline_t* pipeline = slot.handle;
        const float rate = TakeRate(&p);
        const int n = TakeCount(&p, rate, slot.real_model, &budget);
        shorts.resize(n > 0 ? static_cast<size_t>(n) : 0);
        FillShorts(&p, &shorts);
        shorts.push_back(0);  // a valid pointer also for n <= 0
        const char* doc = orvane_transcribe_buffer(pipeline, shorts.data(), n, rate);
        CheckDocument(doc);
        FUZZ_CHECK(std::strstr(doc, "\"is_final\":true") != nullptr);
        break;
      }
      case 15: {
        // One-shot file from input bytes (a WAV header or garbage), on a pipeline without the
        // embedded model: the header's rate may stretch a few bytes into minutes of audio.
        if (pipelines.empty()) break;
        const PipelineSlot& slot = PickPipeline(&p, pipelines);
        if (slot.real_model) break;
        orvane_pipeline_t* pipeline = slot.handle;
        static const std::string path =
            "/tmp/orvane_c_api_fuzzer_" + std::to_string(static_cast<long>(getpid())) + ".wav";
        WriteFile(path, p.ConsumeRandomLengthString(4096));
        const char* doc = orvane_transcribe_file(pipeline, path.c_str());
        CheckDocument(doc);
        std::remove(path.c_str());
        break;
      }
      case 16: {
        // Null handles and pointers everywhere: never a crash, documented results.
        FUZZ_CHECK(orvane_session_new(nullptr, 16000.0f) == nullptr);
        FUZZ_CHECK(orvane_accept_waveform_s16(nullptr, nullptr, 10) == 0);
        FUZZ_CHECK(std::strcmp(orvane_final_result(nullptr), "{}") == 0);
        FUZZ_CHECK(orvane_pipeline_add_module(nullptr, "vad", nullptr) == -1);
        FUZZ_CHECK(orvane_pipeline_build(nullptr) == -1);
        FUZZ_CHECK(orvane_transcribe_buffer(nullptr, nullptr, 5, 16000.0f) == nullptr);
        FUZZ_CHECK(orvane_transcribe_file(nullptr, nullptr) == nullptr);
        orvane_session_reset(nullptr);
        orvane_session_free(nullptr);
        orvane_pipeline_free(nullptr);
        break;
      }
      default: {
        // Catalogues and process-wide calls.
        CheckDocument(orvane_list_modules());
        CheckDocument(orvane_list_presets());
        FUZZ_CHECK(orvane_last_error() != nullptr);
        orvane_set_log_level(p.ConsumeIntegral<int>());
        orvane_set_log_level(5);
        break;
      }
    }
  }

  // Whatever is left, in an order chosen by the input: sessions and pipelines interleaved.
  const bool pipelines_first = p.ConsumeBool();
  auto free_own = [&pipelines, shared]() {
    for (size_t i = shared; i < pipelines.size(); ++i) orvane_pipeline_free(pipelines[i].handle);
  };
  if (pipelines_first) free_own();
  for (SessionSlot& s : sessions) {
    CheckDocument(orvane_final_result(s.handle));
    orvane_session_free(s.handle);
  }
  if (!pipelines_first) free_own();
  return 0;
}
