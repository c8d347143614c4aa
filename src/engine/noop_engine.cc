// NoopEngine: loads nothing and returns no outputs.
#include "orvane/noop_engine.h"

namespace orvane {

NoopEngine::~NoopEngine() = default;

const char* NoopEngine::backend_name() const { return "noop"; }

Status NoopEngine::LoadModel(const std::string& /*path*/) { return Status(); }

Status NoopEngine::Run(const std::vector<Tensor>& /*inputs*/, std::vector<Tensor>* outputs) {
  if (outputs != nullptr) outputs->clear();
  return Status();
}

}  // namespace orvane
