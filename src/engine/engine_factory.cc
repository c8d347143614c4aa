// EngineFactory: back-end choice with the no-op engine as the fallback.
#include "orvane/engine_factory.h"

#include "engine/onnx_engine.h"
#include "orvane/logger.h"
#include "orvane/noop_engine.h"

namespace orvane {

std::unique_ptr<Engine> EngineFactory::CreateAuto() {
  std::unique_ptr<Engine> engine = CreateOnnxEngine();
  if (engine) return engine;
  return std::unique_ptr<Engine>(new NoopEngine());
}

std::unique_ptr<Engine> EngineFactory::Create(int backend) {
  switch (backend) {
    case 1: {
      std::unique_ptr<Engine> engine = CreateOnnxEngine();
      if (engine) return engine;
      LogStream(Warn, "engine") << "ONNX backend not available; using noop";
      return std::unique_ptr<Engine>(new NoopEngine());
    }
    case 2:
      LogStream(Warn, "engine") << "CoreML backend not yet implemented; using noop";
      return std::unique_ptr<Engine>(new NoopEngine());
    default:
      return CreateAuto();
  }
}

}  // namespace orvane
