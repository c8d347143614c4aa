// PresetRegistry: named recipes that append a fixed sequence of modules to a pipeline.
#ifndef ORVANE_PRESET_REGISTRY_H_
#define ORVANE_PRESET_REGISTRY_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

class Pipeline;

using PresetFunction = std::function<Status(Pipeline*)>;

// Process-wide. The built-in presets "transcribe", "transcribe-rich", "meeting" and "analytics"
// register themselves when the library loads. A preset runs under the registry's lock, so it must
// not call back into this registry.
class ORVANE_EXPORT PresetRegistry {
 public:
  PresetRegistry();
  ~PresetRegistry();
  PresetRegistry(const PresetRegistry&) = delete;
  PresetRegistry& operator=(const PresetRegistry&) = delete;

  static PresetRegistry& Instance();

  // Stores `preset` under `name`, replacing any previous one.
  void Register(const std::string& name, PresetFunction preset);
  // Runs the preset on `pipeline` (not null). Unknown name: -2 "unknown preset: <name>". A name
  // registered with an empty function: -1 "preset has no function: <name>".
  Status Apply(const std::string& name, Pipeline* pipeline) const;
  // All names, in no particular order.
  std::vector<std::string> List() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_PRESET_REGISTRY_H_
