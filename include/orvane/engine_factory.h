// EngineFactory: picks and creates the inference back end of a pipeline.
#ifndef ORVANE_ENGINE_FACTORY_H_
#define ORVANE_ENGINE_FACTORY_H_

#include <memory>

#include "orvane/engine.h"
#include "orvane/export.h"

namespace orvane {

// Stateless; callable from any thread. Never returns an empty pointer: a missing back end is
// replaced by a NoopEngine. The caller owns the engine.
class ORVANE_EXPORT EngineFactory {
 public:
  // The ONNX Runtime engine when this build has one and the runtime starts, else a NoopEngine.
  static std::unique_ptr<Engine> CreateAuto();

  // Back-end numbers (the value a pipeline stores as its back end):
  // 1: ONNX Runtime, falling back to a NoopEngine with a warning; 2: CoreML, not implemented, a
  // NoopEngine with a warning; any other number (0 included): CreateAuto().
  static std::unique_ptr<Engine> Create(int backend);
};

}  // namespace orvane

#endif  // ORVANE_ENGINE_FACTORY_H_
