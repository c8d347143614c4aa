// The exported orvane_* functions: null checks, per-thread last error and returned text, and a
// catch-all so that no exception ever reaches the host.
#include "orvane.h"

#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "orvane/json_writer.h"
#include "orvane/logger.h"
#include "orvane/model_manager.h"
#include "orvane/module_registry.h"
#include "orvane/pipeline.h"
#include "orvane/preset_registry.h"
#include "orvane/session.h"

struct orvane_pipeline {};  // never defined as an object: handles are Pipeline/Session addresses
struct orvane_session {};

namespace orvane {
namespace {

thread_local std::string t_last_error;
thread_local std::string t_returned_text;

const char kEmptyDocument[] = "{}";

void SetLastError(std::string message) {
  t_last_error = std::move(message);
  if (!t_last_error.empty()) Logger::Instance().Log(Error, "api", t_last_error);
}

const char* ReturnText(std::string text) {
  t_returned_text = std::move(text);
  return t_returned_text.c_str();
}

// Runs `body`; an exception becomes the last error (logging it), and `failure` is returned.
template <typename T, typename F>
T Guard(T failure, F&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    try {
      SetLastError(std::string("internal error: ") + e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      SetLastError("internal error");
    } catch (...) {
    }
  }
  return failure;
}

template <typename F>
void GuardVoid(F&& body) {
  Guard(0, [&] {
    body();
    return 0;
  });
}

Pipeline* AsPipeline(orvane_pipeline_t* p) { return reinterpret_cast<Pipeline*>(p); }
Session* AsSession(orvane_session_t* s) { return reinterpret_cast<Session*>(s); }

std::string NameArray(const std::vector<std::string>& names) {
  JsonWriter writer;
  writer.BeginArray();
  for (const std::string& name : names) writer.String(name);
  writer.EndArray();
  return writer.Str();
}

}  // namespace
}  // namespace orvane

using orvane::AsPipeline;
using orvane::AsSession;
using orvane::Guard;
using orvane::GuardVoid;
using orvane::ReturnText;
using orvane::SetLastError;

extern "C" {

orvane_pipeline_t* orvane_pipeline_new(void) {
  return Guard<orvane_pipeline_t*>(nullptr, [] {
    return reinterpret_cast<orvane_pipeline_t*>(new orvane::Pipeline);
  });
}

orvane_pipeline_t* orvane_pipeline_preset(const char* preset_name) {
  return Guard<orvane_pipeline_t*>(nullptr, [&]() -> orvane_pipeline_t* {
    if (preset_name == nullptr) {
      SetLastError("preset name is null");
      return nullptr;
    }
    std::string name(preset_name);
    std::unique_ptr<orvane::Pipeline> pipeline = orvane::Pipeline::FromPreset(name);
    if (!pipeline) {
      SetLastError("preset not found or build failed: " + name);
      return nullptr;
    }
    return reinterpret_cast<orvane_pipeline_t*>(pipeline.release());
  });
}

int orvane_pipeline_add_module(orvane_pipeline_t* pipeline, const char* module_name,
                               const char* config_json) {
  if (pipeline == nullptr || module_name == nullptr) return -1;
  return Guard(-1, [&] {
    orvane::Status status = AsPipeline(pipeline)->AddModule(
        module_name, config_json != nullptr ? config_json : "{}");
    if (!status.ok()) SetLastError(status.message);
    return static_cast<int>(status.code);
  });
}

int orvane_pipeline_set_backend(orvane_pipeline_t* pipeline, int backend) {
  if (pipeline == nullptr) return -1;
  return Guard(-1, [&] { return static_cast<int>(AsPipeline(pipeline)->SetBackend(backend).code); });
}

int orvane_pipeline_set_model_dir(orvane_pipeline_t* pipeline, const char* dir) {
  if (pipeline == nullptr || dir == nullptr) return -1;
  return Guard(-1, [&] { return static_cast<int>(AsPipeline(pipeline)->SetModelDir(dir).code); });
}

int orvane_pipeline_build(orvane_pipeline_t* pipeline) {
  if (pipeline == nullptr) return -1;
  return Guard(-6, [&] {
    orvane::Status status = AsPipeline(pipeline)->Build();
    if (!status.ok()) SetLastError(status.message);
    return static_cast<int>(status.code);
  });
}

void orvane_pipeline_free(orvane_pipeline_t* pipeline) {
  GuardVoid([&] { delete AsPipeline(pipeline); });
}

orvane_session_t* orvane_session_new(orvane_pipeline_t* pipeline, float sample_rate) {
  if (pipeline == nullptr) return nullptr;
  return Guard<orvane_session_t*>(nullptr, [&]() -> orvane_session_t* {
    std::unique_ptr<orvane::Session> session = AsPipeline(pipeline)->NewSession(sample_rate);
    if (!session) {
      SetLastError("session creation failed");
      return nullptr;
    }
    return reinterpret_cast<orvane_session_t*>(session.release());
  });
}

void orvane_session_free(orvane_session_t* session) {
  GuardVoid([&] { delete AsSession(session); });
}

void orvane_session_reset(orvane_session_t* session) {
  if (session == nullptr) return;
  GuardVoid([&] { AsSession(session)->Reset(); });
}

int orvane_session_set_hotwords(orvane_session_t* session, const char* phrases, float score) {
  if (session == nullptr || phrases == nullptr) return -1;
  return Guard(-3, [&] {
    std::vector<std::string> list;
    std::string line;
    for (const char* p = phrases;; ++p) {
      if (*p == '\n' || *p == '\0') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        list.push_back(line);
        line.clear();
        if (*p == '\0') break;
      } else {
        line.push_back(*p);
      }
    }
    const orvane::Status status = AsSession(session)->SetHotwords(list, score);
    if (status.ok()) return 0;
    SetLastError(status.message);
    return status.code == -2 ? -2 : -3;
  });
}

int orvane_accept_waveform_s16(orvane_session_t* session, const short* samples, int num_samples) {
  if (session == nullptr || samples == nullptr || num_samples < 0) return 0;
  return Guard(0, [&] { return AsSession(session)->AcceptWaveformS16(samples, num_samples); });
}

int orvane_accept_waveform_f32(orvane_session_t* session, const float* samples, int num_samples) {
  if (session == nullptr || samples == nullptr || num_samples < 0) return 0;
  return Guard(0, [&] { return AsSession(session)->AcceptWaveformF32(samples, num_samples); });
}

int orvane_accept_waveform_bytes(orvane_session_t* session, const void* bytes, int num_bytes) {
  if (session == nullptr || bytes == nullptr || num_bytes < 0) return 0;
  return Guard(0, [&] {
    // Copied rather than cast: the bytes need not be aligned for 16-bit access. Little-endian
    // hosts only, like the rest of the library.
    const int n = num_bytes / 2;
    std::vector<short> samples(static_cast<size_t>(n));
    if (n > 0) std::memcpy(samples.data(), bytes, static_cast<size_t>(n) * sizeof(short));
    return AsSession(session)->AcceptWaveformS16(samples.data(), n);
  });
}

const char* orvane_partial_result(orvane_session_t* session) {
  if (session == nullptr) return orvane::kEmptyDocument;
  return Guard<const char*>(nullptr, [&] { return ReturnText(AsSession(session)->Partial()); });
}

const char* orvane_result(orvane_session_t* session) {
  if (session == nullptr) return orvane::kEmptyDocument;
  return Guard<const char*>(nullptr, [&] { return ReturnText(AsSession(session)->Result()); });
}

const char* orvane_final_result(orvane_session_t* session) {
  if (session == nullptr) return orvane::kEmptyDocument;
  return Guard<const char*>(nullptr, [&] { return ReturnText(AsSession(session)->Final()); });
}

const char* orvane_result_field(const char* /*result_json*/, const char* /*field_path*/) {
  GuardVoid([] { SetLastError("result_field traversal not yet implemented; parse JSON in caller"); });
  return nullptr;
}

const char* orvane_transcribe_file(orvane_pipeline_t* pipeline, const char* path) {
  if (pipeline == nullptr || path == nullptr) return nullptr;
  return Guard<const char*>(nullptr,
                            [&] { return ReturnText(AsPipeline(pipeline)->TranscribeFile(path)); });
}

const char* orvane_transcribe_buffer(orvane_pipeline_t* pipeline, const short* samples,
                                     int num_samples, float sample_rate) {
  if (pipeline == nullptr || samples == nullptr) return nullptr;
  return Guard<const char*>(nullptr, [&] {
    return ReturnText(AsPipeline(pipeline)->TranscribeBuffer(samples, num_samples, sample_rate));
  });
}

int orvane_ensure_models(orvane_pipeline_t* pipeline) {
  if (pipeline == nullptr) return -1;
  return Guard(0, [&] { return static_cast<int>(AsPipeline(pipeline)->EnsureModels().code); });
}

const char* orvane_default_cache_dir(void) {
  return Guard<const char*>(nullptr,
                            [] { return ReturnText(orvane::ModelManager::DefaultCacheDir()); });
}

const char* orvane_list_modules(void) {
  return Guard<const char*>(nullptr, [] {
    return ReturnText(orvane::NameArray(orvane::ModuleRegistry::Instance().List()));
  });
}

const char* orvane_list_presets(void) {
  return Guard<const char*>(nullptr, [] {
    return ReturnText(orvane::NameArray(orvane::PresetRegistry::Instance().List()));
  });
}

void orvane_set_log_level(int level) {
  GuardVoid([&] { orvane::Logger::Instance().SetLevel(static_cast<orvane::LogLevel>(level)); });
}

void orvane_set_log_callback(orvane_log_callback_t callback, void* user_data) {
  GuardVoid([&] { orvane::Logger::Instance().SetSink(callback, user_data); });
}

const char* orvane_version(void) { return "0.1.0"; }

const char* orvane_last_error(void) {
  return Guard<const char*>("", [] { return orvane::t_last_error.c_str(); });
}

}  // extern "C"
