// Default behaviour of the Engine contract.
#include "orvane/engine.h"

namespace orvane {

Engine::~Engine() = default;

Status Engine::LoadModelFromBuffer(const void* /*data*/, size_t /*size*/) {
  return Status(-6, "engine: LoadModelFromBuffer not supported by this backend");
}

void Engine::Reset() {}

Status Engine::Describe(ModelDescription* /*out*/) const {
  return Status(-6, "engine: Describe not supported by this backend");
}

}  // namespace orvane
