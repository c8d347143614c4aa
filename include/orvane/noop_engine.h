// NoopEngine: the stand-in engine used whenever a requested back end is missing.
#ifndef ORVANE_NOOP_ENGINE_H_
#define ORVANE_NOOP_ENGINE_H_

#include "orvane/engine.h"

namespace orvane {

// Stateless: counts as loaded from the start, and every Run succeeds with zero outputs, so a pipeline
// can always be built and recognition simply yields no text. Safe from any thread.
class ORVANE_EXPORT NoopEngine : public Engine {
 public:
  ~NoopEngine() override;

  const char* backend_name() const override;

  // Succeeds without touching the file system.
  Status LoadModel(const std::string& path) override;

  // Clears `*outputs` when it is not null (capacity kept) and succeeds.
  Status Run(const std::vector<Tensor>& inputs, std::vector<Tensor>* outputs) override;
};

}  // namespace orvane

#endif  // ORVANE_NOOP_ENGINE_H_
