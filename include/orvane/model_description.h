// ModelDescription: what an engine can tell about its loaded model's inputs, outputs and metadata.
#ifndef ORVANE_MODEL_DESCRIPTION_H_
#define ORVANE_MODEL_DESCRIPTION_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvane {

// One input or output of a model as the model file declares it.
struct TensorInfo {
  std::string name;
  // Declared dimension sizes, outermost first; -1 for a dimension the file leaves open (a symbolic
  // or missing size), 0 for a declared empty dimension. Empty for a scalar.
  std::vector<int64_t> shape;
  bool is_integer = false;  // integer or boolean elements; false for floating point
};

// Inputs and outputs in model order, and the model's free-form metadata (key -> value text).
struct ModelDescription {
  std::vector<TensorInfo> inputs;
  std::vector<TensorInfo> outputs;
  std::map<std::string, std::string> metadata;
};

}  // namespace orvane

#endif  // ORVANE_MODEL_DESCRIPTION_H_
