// VadModule: per-block energy decision, counts logged at the end of the stream.
#include "orvane/vad_module.h"

#include "orvane/logger.h"
#include "orvane/module_registry.h"

namespace orvane {
namespace {

// Mean of squares above which a block is voiced: RMS 0.001, -60 dBFS (float bits 0x358637BD).
constexpr float kEnergyFloor = 1e-6f;

struct AutoRegister_VadModule {
  AutoRegister_VadModule() {
    ModuleRegistry::Instance().Register(
        "vad", []() -> std::unique_ptr<Module> { return std::make_unique<VadModule>(); });
  }
};
const AutoRegister_VadModule auto_register_vad_module;

}  // namespace

VadModule::~VadModule() = default;

const char* VadModule::name() const { return "vad"; }
const char* VadModule::version() const { return "1"; }

Status VadModule::Init(const ModuleConfig&, ModelManager*, Engine* engine) {
  engine_ = engine;
  return Status();
}

std::unique_ptr<Module> VadModule::Clone() const {
  auto clone = std::make_unique<VadModule>();
  clone->engine_ = engine_;
  return clone;
}

void VadModule::Reset() {
  voiced_samples_ = 0;
  total_samples_ = 0;
}

void VadModule::OnFrame(const AudioFrame& frame, ResultBuilder*) {
  const uint64_t n = frame.num_samples;
  total_samples_ += static_cast<int64_t>(n);
  if (n == 0 || frame.samples == nullptr) return;
  float sum = 0.0f;
  for (uint64_t i = 0; i < n; ++i) sum += frame.samples[i] * frame.samples[i];
  const float energy = sum / static_cast<float>(n);
  if (energy > kEnergyFloor) voiced_samples_ += static_cast<int64_t>(n);  // NaN: unvoiced
}

void VadModule::OnFinalize(ResultBuilder*) {
  LogStream(Debug, "vad") << "voiced=" << voiced_samples_ << "/" << total_samples_;
}

}  // namespace orvane
