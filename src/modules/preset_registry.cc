// PresetRegistry: process-wide table from preset name to the function that applies it.
#include "orvane/preset_registry.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace orvane {

struct PresetRegistry::Impl {
  mutable std::mutex mutex;
  std::unordered_map<std::string, PresetFunction> presets;
};

PresetRegistry::PresetRegistry() : impl_(new Impl) {}
PresetRegistry::~PresetRegistry() = default;

PresetRegistry& PresetRegistry::Instance() {
  static PresetRegistry instance;
  return instance;
}

void PresetRegistry::Register(const std::string& name, PresetFunction preset) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->presets[name] = std::move(preset);
}

Status PresetRegistry::Apply(const std::string& name, Pipeline* pipeline) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto it = impl_->presets.find(name);
  if (it == impl_->presets.end()) return Status(-2, "unknown preset: " + name);
  // Calling an empty function would throw; report it as a status instead.
  if (!it->second) return Status(-1, "preset has no function: " + name);
  PresetFunction preset = it->second;
  return preset(pipeline);
}

std::vector<std::string> PresetRegistry::List() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<std::string> names;
  names.reserve(impl_->presets.size());
  for (const auto& entry : impl_->presets) names.push_back(entry.first);
  return names;
}

}  // namespace orvane
