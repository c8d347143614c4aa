// ModuleRegistry: the process-wide table from module name to factory. Built-in modules register
// themselves while the library loads.
#ifndef ORVANE_MODULE_REGISTRY_H_
#define ORVANE_MODULE_REGISTRY_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/module.h"

namespace orvane {

using ModuleFactory = std::function<std::unique_ptr<Module>()>;

// Every operation holds the registry's one mutex for its whole duration, factories included:
// a factory must not call back into the registry.
class ORVANE_EXPORT ModuleRegistry {
 public:
  ModuleRegistry();
  ~ModuleRegistry();
  ModuleRegistry(const ModuleRegistry&) = delete;
  ModuleRegistry& operator=(const ModuleRegistry&) = delete;

  // Created on first use, destroyed at process exit.
  static ModuleRegistry& Instance();

  // Names are exact and case-sensitive; a later registration of a name replaces the earlier one.
  void Register(const std::string& name, ModuleFactory factory);

  // A new instance, or an empty pointer when the name is unknown or its factory is empty.
  // Exceptions of the factory pass through (the lock is released first).
  std::unique_ptr<Module> Create(const std::string& name) const;

  // All registered names, in no particular order.
  std::vector<std::string> List() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_MODULE_REGISTRY_H_
