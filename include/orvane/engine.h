// Engine: the abstract inference back end that runs one neural network on tensors.
#ifndef ORVANE_ENGINE_H_
#define ORVANE_ENGINE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/model_description.h"
#include "orvane/status.h"
#include "orvane/tensor.h"

namespace orvane {

// One engine is shared by every session of a pipeline. Run may be called from several threads at
// once; loading a model must not overlap a Run. Failures come back as Status values: -6 for a
// back-end failure, -1 for inputs that do not fit the model.
class ORVANE_EXPORT Engine {
 public:
  virtual ~Engine();

  // A static, null-terminated name: "noop", "onnx".
  virtual const char* backend_name() const = 0;

  virtual Status LoadModel(const std::string& path) = 0;

  // `data` is only read during the call. Back ends that cannot load from memory keep this default,
  // which fails with -6 "engine: LoadModelFromBuffer not supported by this backend".
  virtual Status LoadModelFromBuffer(const void* data, size_t size);

  // `outputs` receives the model's outputs in model order. It is left as it was when Run fails.
  virtual Status Run(const std::vector<Tensor>& inputs, std::vector<Tensor>* outputs) = 0;

  // Engines keep no state between runs (model state travels in the tensors); default does nothing.
  virtual void Reset();

  // The loaded model's declared inputs, outputs and metadata. Back ends that cannot tell keep this
  // default, which fails with -6 "engine: Describe not supported by this backend"; a back end
  // without a loaded model fails with -6 as well.
  virtual Status Describe(ModelDescription* out) const;
};

}  // namespace orvane

#endif  // ORVANE_ENGINE_H_
