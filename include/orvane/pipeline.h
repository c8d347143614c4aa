// Pipeline: an ordered list of named modules, the inference engine they share and the model
// manager. Configured by hand or from a preset, built once, then used to open sessions.
#ifndef ORVANE_PIPELINE_H_
#define ORVANE_PIPELINE_H_

#include <memory>
#include <string>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

class Session;

// Thread rules: configuration (AddModule, SetBackend, SetModelDir), Build, EnsureModels and
// NewSession must come from one thread at a time. Once built, sessions opened on the pipeline may
// run on different threads; they share the engine and the model manager, which they keep alive
// (shared ownership), so a session stays safe even if the pipeline is rebuilt or freed before it.
// Hosts should still free sessions before their pipeline.
class ORVANE_EXPORT Pipeline {
 public:
  struct Impl;

  Pipeline();
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Appends a module created by the module registry. Unknown name: -2 "unknown module: <name>".
  Status AddModule(const std::string& name, const std::string& config);
  // Replaces the configuration text of every module entry named `name` (used at the next Build),
  // for instance to give a preset's "orvane" a model folder. No such entry: -2 "module not in
  // pipeline: <name>".
  Status SetModuleConfig(const std::string& name, const std::string& config);
  // Backend for the next Build: 1 ONNX Runtime, 2 a placeholder (no-op engine), other automatic.
  Status SetBackend(int backend);
  Status SetModelDir(const std::string& dir);
  // Ensures the model bundle of every module that has one. Always succeeds; problems are logged.
  Status EnsureModels();
  // Creates a new engine, ensures models and initialises every module in order. Stops at the first
  // module whose Init fails: "module init failed [<name>]: <message>" with the module's code.
  Status Build();
  bool built() const;

  // A session for audio at `sample_rate` Hz; builds the pipeline first when it never was. Empty when
  // the build fails or the rate is unusable (not finite, not positive, or beyond an int).
  std::unique_ptr<Session> NewSession(float sample_rate);

  // A new pipeline configured by the named preset and built; empty (with an Error log line) when the
  // preset is unknown or the build fails.
  static std::unique_ptr<Pipeline> FromPreset(const std::string& name);

  // One-shot transcription: the final JSON document, or {"is_final":true,"error":"..."}.
  std::string TranscribeFile(const std::string& path);
  std::string TranscribeBuffer(const short* samples, int n, float sample_rate);

  // The pipeline's state; Session is built from it.
  Impl* impl() { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

// Callers of NewSession get a complete Session type without a second include.
#include "orvane/session.h"

#endif  // ORVANE_PIPELINE_H_
