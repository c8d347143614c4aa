// The process-wide module registry: name -> factory, guarded by one mutex.
#include "orvane/module_registry.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace orvane {

struct ModuleRegistry::Impl {
  mutable std::mutex mutex;
  std::unordered_map<std::string, ModuleFactory> factories;
};

ModuleRegistry::ModuleRegistry() : impl_(new Impl) {}
ModuleRegistry::~ModuleRegistry() = default;

ModuleRegistry& ModuleRegistry::Instance() {
  static ModuleRegistry instance;
  return instance;
}

void ModuleRegistry::Register(const std::string& name, ModuleFactory factory) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->factories[name] = std::move(factory);
}

std::unique_ptr<Module> ModuleRegistry::Create(const std::string& name) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto it = impl_->factories.find(name);
  // An empty factory is treated like an unknown name rather than throwing from here.
  if (it == impl_->factories.end() || !it->second) return nullptr;
  return it->second();
}

std::vector<std::string> ModuleRegistry::List() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<std::string> names;
  names.reserve(impl_->factories.size());
  for (const auto& entry : impl_->factories) names.push_back(entry.first);
  return names;
}

}  // namespace orvane
