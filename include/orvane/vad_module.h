// VadModule ("vad"): an energy-based voice-activity counter that reports its counts in the log.
#ifndef ORVANE_VAD_MODULE_H_
#define ORVANE_VAD_MODULE_H_

#include <cstdint>
#include <memory>

#include "orvane/export.h"
#include "orvane/module.h"

namespace orvane {

// Counts all samples and the samples of blocks whose mean energy (mean of squares, single
// precision) is above 1e-6, i.e. an RMS of 0.001 or -60 dBFS. Decides per block as delivered;
// no smoothing. Writes nothing into the result document and leaves the audio alone.
class ORVANE_EXPORT VadModule : public Module {
 public:
  VadModule() = default;
  ~VadModule() override;

  const char* name() const override;
  const char* version() const override;
  Status Init(const ModuleConfig& config, ModelManager* models, Engine* engine) override;
  std::unique_ptr<Module> Clone() const override;
  void Reset() override;
  void OnFrame(const AudioFrame& frame, ResultBuilder* result) override;
  // Logs "voiced=<voiced>/<total>" at Debug level, tag "vad". Counts are kept.
  void OnFinalize(ResultBuilder* result) override;

 private:
  Engine* engine_ = nullptr;  // not owned; kept for clones, never used
  int64_t voiced_samples_ = 0;
  int64_t total_samples_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_VAD_MODULE_H_
