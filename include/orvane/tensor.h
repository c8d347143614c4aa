// Tensor: the plain value record that carries data into and out of an inference engine.
#ifndef ORVANE_TENSOR_H_
#define ORVANE_TENSOR_H_

#include <cstdint>
#include <vector>

namespace orvane {

// Always 32-bit floats, whatever the model's own element type: the engine converts where the model
// wants another type. Inputs match the model's inputs by position; outputs come back in model order.
// `data` is expected to hold the product of `shape` elements (an empty `shape` is a scalar with one
// element); the engine leaves that check to its back end.
struct Tensor {
  std::vector<float> data;     // row-major element values
  std::vector<int64_t> shape;  // dimension sizes, outermost first
};

}  // namespace orvane

#endif  // ORVANE_TENSOR_H_
