// A module for pipeline and session tests: records every call it receives in a log shared by the
// instance the registry created and all its clones.
#ifndef ORVANE_TESTS_RECORDING_MODULE_H_
#define ORVANE_TESTS_RECORDING_MODULE_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "orvane/module.h"
#include "orvane/module_registry.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace testing_support {

struct FrameRecord {
  uint64_t start_sample;
  uint64_t num_samples;
  float sample_rate;
  std::vector<float> samples;
};

struct CallLog {
  std::mutex mutex;
  int inits = 0;
  int clones = 0;
  int finalizes = 0;
  int resets = 0;
  Engine* last_engine = nullptr;
  std::string last_config;
  std::vector<FrameRecord> frames;

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex);
    inits = clones = finalizes = resets = 0;
    last_engine = nullptr;
    last_config.clear();
    frames.clear();
  }
};

class RecordingModule : public Module {
 public:
  // `init_code` != 0 makes Init fail with that code and the message "refused".
  RecordingModule(std::shared_ptr<CallLog> log, int init_code = 0, bool clonable = true)
      : log_(std::move(log)), init_code_(init_code), clonable_(clonable) {}

  const char* name() const override { return "recorder"; }
  const char* version() const override { return "0"; }

  Status Init(const ModuleConfig& config, ModelManager*, Engine* engine) override {
    std::lock_guard<std::mutex> lock(log_->mutex);
    ++log_->inits;
    log_->last_engine = engine;
    log_->last_config = config.json;
    if (init_code_ != 0) return Status(init_code_, "refused");
    return Status();
  }

  std::unique_ptr<Module> Clone() const override {
    if (!clonable_) return nullptr;
    std::lock_guard<std::mutex> lock(log_->mutex);
    ++log_->clones;
    return std::unique_ptr<Module>(new RecordingModule(log_, init_code_, clonable_));
  }

  void Reset() override {
    std::lock_guard<std::mutex> lock(log_->mutex);
    ++log_->resets;
  }

  void OnFrame(const AudioFrame& frame, ResultBuilder* result) override {
    std::lock_guard<std::mutex> lock(log_->mutex);
    FrameRecord record{frame.start_sample, frame.num_samples, frame.sample_rate, {}};
    if (frame.num_samples > 0) record.samples.assign(frame.samples, frame.samples + frame.num_samples);
    log_->frames.push_back(std::move(record));
    total_ += frame.num_samples;
    result->SetField("samples_seen", std::to_string(total_));
  }

  void OnFinalize(ResultBuilder* result) override {
    std::lock_guard<std::mutex> lock(log_->mutex);
    ++log_->finalizes;
    result->SetText("recorder", "done " + std::to_string(total_));
  }

 private:
  std::shared_ptr<CallLog> log_;
  int init_code_;
  bool clonable_;
  uint64_t total_ = 0;
};

// Registers a recorder factory under `name`, all instances writing to `log`.
inline void RegisterRecorder(const std::string& name, std::shared_ptr<CallLog> log,
                             int init_code = 0, bool clonable = true) {
  ModuleRegistry::Instance().Register(name, [log, init_code, clonable] {
    return std::unique_ptr<Module>(new RecordingModule(log, init_code, clonable));
  });
}

}  // namespace testing_support
}  // namespace orvane

#endif  // ORVANE_TESTS_RECORDING_MODULE_H_
