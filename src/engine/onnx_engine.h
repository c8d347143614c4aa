// Entry point of the ONNX Runtime engine. The engine class itself stays inside onnx_engine.cc, the
// only file of the library that sees ONNX Runtime's headers.
#ifndef ORVANE_ENGINE_ONNX_ENGINE_H_
#define ORVANE_ENGINE_ONNX_ENGINE_H_

#include <memory>

#include "orvane/engine.h"

namespace orvane {

// A new ONNX Runtime engine with no model loaded, or an empty pointer when this build has no ONNX
// support or the runtime cannot be started (that reason is logged at Error with tag "engine_onnx").
// Never throws. The caller owns the engine.
std::unique_ptr<Engine> CreateOnnxEngine();

}  // namespace orvane

#endif  // ORVANE_ENGINE_ONNX_ENGINE_H_
