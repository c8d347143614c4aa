// OnnxEngine: runs an ONNX model on the CPU through ONNX Runtime. This is the only file of the
// library that includes ONNX Runtime's headers; without ORVANE_WITH_ONNXRUNTIME it only provides a
// CreateOnnxEngine() that returns an empty pointer.
#include "engine/onnx_engine.h"

#if defined(ORVANE_WITH_ONNXRUNTIME)

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <utility>
#include <vector>

// The interface table is fetched by GetOrtApi() below rather than by a static initialiser of the
// header, so that a runtime library older than these headers makes CreateOnnxEngine() return an
// empty pointer instead of leaving a null table behind.
#define ORT_API_MANUAL_INIT
#include <onnxruntime_cxx_api.h>
#undef ORT_API_MANUAL_INIT

#include "orvane/logger.h"

namespace orvane {
namespace {

constexpr const char* kTag = "engine_onnx";

// Every session of every engine is created with these options. One intra-op thread: the library
// creates no threads of its own worth speaking of, and parallelism comes from the host running
// several sessions at once. A thread-count setting would be threaded through here.
constexpr int kIntraOpThreads = 1;
constexpr GraphOptimizationLevel kGraphOptimization = ORT_ENABLE_BASIC;

void ConfigureSessionOptions(Ort::SessionOptions* options) {
  options->SetIntraOpNumThreads(kIntraOpThreads);
  options->SetGraphOptimizationLevel(kGraphOptimization);
}

// The ONNX Runtime interface table, requested once for the API version of the headers compiled
// against. Null when the loaded runtime is older than that.
const OrtApi* GetOrtApi() {
  static const OrtApi* const api = [] {
    const OrtApiBase* base = OrtGetApiBase();
    const OrtApi* table = base != nullptr ? base->GetApi(ORT_API_VERSION) : nullptr;
    if (table != nullptr) Ort::InitApi(table);
    return table;
  }();
  return api;
}

// Obtained while the library is loaded, like the registrations of modules and presets.
const OrtApi* const kOrtApiAtLoad = GetOrtApi();

// Float to int64 by truncation toward zero (2.9 -> 2, -2.9 -> -2). NaN becomes 0 and values beyond
// the int64 range saturate, where a plain cast would be undefined.
int64_t TruncateToInt64(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775808.0f) return std::numeric_limits<int64_t>::max();
  if (value < -9223372036854775808.0f) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

template <typename T>
void CopyAsFloat(const Ort::Value& value, size_t count, float* out) {
  const T* in = value.GetTensorData<T>();
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<float>(in[i]);
}

// Copies one output tensor into `out`. Returns false for element types that have no float reading.
bool ReadOutput(const Ort::Value& value, Tensor* out, int* element_type) {
  Ort::TensorTypeAndShapeInfo info = value.GetTensorTypeAndShapeInfo();
  const ONNXTensorElementDataType type = info.GetElementType();
  *element_type = static_cast<int>(type);
  out->shape = info.GetShape();
  size_t count = 1;
  for (int64_t dim : out->shape) count *= static_cast<size_t>(dim);
  out->data.resize(count);
  if (count == 0) return true;
  float* dst = out->data.data();
  switch (type) {
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT:
      std::memcpy(dst, value.GetTensorData<float>(), count * sizeof(float));
      return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_DOUBLE: CopyAsFloat<double>(value, count, dst); return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_INT64: CopyAsFloat<int64_t>(value, count, dst); return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_INT32: CopyAsFloat<int32_t>(value, count, dst); return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_INT16: CopyAsFloat<int16_t>(value, count, dst); return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_INT8: CopyAsFloat<int8_t>(value, count, dst); return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_UINT8: CopyAsFloat<uint8_t>(value, count, dst); return true;
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_BOOL: CopyAsFloat<bool>(value, count, dst); return true;
    default: return false;
  }
}

// The declared shape and element kind of one input or output; open dimensions read -1.
TensorInfo Declared(const Ort::TypeInfo& type, const std::string& name) {
  TensorInfo info;
  info.name = name;
  if (type.GetONNXType() != ONNX_TYPE_TENSOR) return info;
  Ort::ConstTensorTypeAndShapeInfo tensor = type.GetTensorTypeAndShapeInfo();
  info.shape = tensor.GetShape();
  for (int64_t& dim : info.shape) {
    if (dim < 0) dim = -1;
  }
  switch (tensor.GetElementType()) {
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT:
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_DOUBLE:
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT16:
    case ONNX_TENSOR_ELEMENT_DATA_TYPE_BFLOAT16:
      info.is_integer = false;
      break;
    default:
      info.is_integer = true;
  }
  return info;
}

class OnnxEngine : public Engine {
 public:
  // Throws Ort::Exception when the environment or the session options cannot be created.
  OnnxEngine() : env_(ORT_LOGGING_LEVEL_WARNING, "orvane") {
    ConfigureSessionOptions(&session_options_);
  }
  ~OnnxEngine() override = default;

  const char* backend_name() const override { return "onnx"; }

  Status LoadModel(const std::string& path) override {
    std::unique_ptr<Ort::Session> session;
    try {
      session.reset(new Ort::Session(env_, path.c_str(), session_options_));
    } catch (const std::exception& e) {
      return Status(-6, std::string("Ort::Session ctor failed: ") + e.what());
    }
    Status status = Install(std::move(session));
    if (!status.ok()) return status;
    LogStream(Info, kTag) << "loaded " << path << " inputs=" << input_names_.size()
                          << " outputs=" << output_names_.size();
    return Status();
  }

  Status LoadModelFromBuffer(const void* data, size_t size) override {
    if (data == nullptr || size == 0) return Status(-6, "engine_onnx: empty model buffer");
    std::unique_ptr<Ort::Session> session;
    try {
      session.reset(new Ort::Session(env_, data, size, session_options_));
    } catch (const std::exception& e) {
      return Status(-6, std::string("Ort::Session (buffer) ctor failed: ") + e.what());
    }
    Status status = Install(std::move(session));
    if (!status.ok()) return status;
    LogStream(Info, kTag) << "loaded model from buffer (" << size << " bytes)"
                          << " inputs=" << input_names_.size()
                          << " outputs=" << output_names_.size();
    return Status();
  }

  Status Run(const std::vector<Tensor>& inputs, std::vector<Tensor>* outputs) override {
    // Nothing may leave this function as an exception: the C interface sits right above it.
    try {
      return RunChecked(inputs, outputs);
    } catch (const std::exception& e) {
      return Status(-6, std::string("engine_onnx: Run failed: ") + e.what());
    } catch (...) {
      return Status(-6, "engine_onnx: Run failed: unknown error");
    }
  }

  void Reset() override {}

  Status Describe(ModelDescription* out) const override {
    if (!session_) return Status(-6, "engine_onnx: model not loaded");
    if (out != nullptr) *out = description_;
    return Status();
  }

 private:
  // Reads the new session's input and output names and only then replaces the current model, so a
  // model whose names cannot be read leaves the previous one fully usable.
  Status Install(std::unique_ptr<Ort::Session> session) {
    std::vector<std::string> input_names;
    std::vector<std::string> output_names;
    ModelDescription description;
    try {
      Ort::AllocatorWithDefaultOptions allocator;
      const size_t input_count = session->GetInputCount();
      const size_t output_count = session->GetOutputCount();
      input_names.reserve(input_count);
      output_names.reserve(output_count);
      for (size_t i = 0; i < input_count; ++i) {
        input_names.emplace_back(session->GetInputNameAllocated(i, allocator).get());
      }
      for (size_t i = 0; i < output_count; ++i) {
        output_names.emplace_back(session->GetOutputNameAllocated(i, allocator).get());
      }
      for (size_t i = 0; i < input_count; ++i) {
        description.inputs.push_back(Declared(session->GetInputTypeInfo(i), input_names[i]));
      }
      for (size_t i = 0; i < output_count; ++i) {
        description.outputs.push_back(Declared(session->GetOutputTypeInfo(i), output_names[i]));
      }
      Ort::ModelMetadata metadata = session->GetModelMetadata();
      for (const Ort::AllocatedStringPtr& key : metadata.GetCustomMetadataMapKeysAllocated(allocator)) {
        Ort::AllocatedStringPtr value = metadata.LookupCustomMetadataMapAllocated(key.get(), allocator);
        description.metadata[key.get()] = value ? value.get() : "";
      }
    } catch (const std::exception& e) {
      return Status(-6, std::string("engine_onnx: session metadata init failed: ") + e.what());
    }
    session_ = std::move(session);
    description_ = std::move(description);
    input_names_ = std::move(input_names);
    output_names_ = std::move(output_names);
    input_name_ptrs_.clear();
    output_name_ptrs_.clear();
    for (const std::string& name : input_names_) input_name_ptrs_.push_back(name.c_str());
    for (const std::string& name : output_names_) output_name_ptrs_.push_back(name.c_str());
    return Status();
  }

  // Reads members only, so several threads may run it at once on one engine.
  Status RunChecked(const std::vector<Tensor>& inputs, std::vector<Tensor>* outputs) {
    if (!session_) return Status(-6, "engine_onnx: model not loaded");
    if (inputs.size() != input_names_.size()) {
      return Status(-1, "engine_onnx: input count mismatch (got " + std::to_string(inputs.size()) +
                            ", model expects " + std::to_string(input_names_.size()) + ")");
    }
    if (outputs == nullptr) return Status(-1, "engine_onnx: outputs is null");

    Ort::MemoryInfo memory_info(nullptr);
    try {
      memory_info = Ort::MemoryInfo::CreateCpu(OrtDeviceAllocator, OrtMemTypeDefault);
    } catch (const std::exception& e) {
      return Status(-6, std::string("engine_onnx: memory info failed: ") + e.what());
    }

    // int64 copies of the inputs that need them; each lives until the run is over.
    std::vector<std::vector<int64_t>> int64_scratch(inputs.size());
    std::vector<Ort::Value> values;
    values.reserve(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
      const Tensor& tensor = inputs[i];
      ONNXTensorElementDataType type;
      try {
        type = session_->GetInputTypeInfo(i).GetTensorTypeAndShapeInfo().GetElementType();
      } catch (const std::exception& e) {
        return Status(-6, std::string("engine_onnx: input tensor build failed: ") + e.what());
      }
      if (type != ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT &&
          type != ONNX_TENSOR_ELEMENT_DATA_TYPE_INT64) {
        return Status(-6, "engine_onnx: input " + input_names_[i] + " has unsupported dtype id=" +
                              std::to_string(static_cast<int>(type)));
      }
      try {
        if (type == ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT) {
          // Wrapped without a copy; ONNX Runtime does not write to its inputs.
          values.push_back(Ort::Value::CreateTensor(
              memory_info, const_cast<float*>(tensor.data.data()),
              tensor.data.size() * sizeof(float), tensor.shape.data(), tensor.shape.size(), type));
        } else {
          std::vector<int64_t>& scratch = int64_scratch[i];
          scratch.resize(tensor.data.size());
          for (size_t k = 0; k < tensor.data.size(); ++k) {
            scratch[k] = TruncateToInt64(tensor.data[k]);
          }
          values.push_back(Ort::Value::CreateTensor(memory_info, scratch.data(),
                                                    scratch.size() * sizeof(int64_t),
                                                    tensor.shape.data(), tensor.shape.size(),
                                                    type));
        }
      } catch (const std::exception& e) {
        return Status(-6, std::string("engine_onnx: input tensor build failed: ") + e.what());
      }
    }

    std::vector<Ort::Value> results;
    try {
      results = session_->Run(Ort::RunOptions{nullptr}, input_name_ptrs_.data(), values.data(),
                              values.size(), output_name_ptrs_.data(), output_name_ptrs_.size());
    } catch (const std::exception& e) {
      return Status(-6, std::string("engine_onnx: Run failed: ") + e.what());
    }

    // Built aside and swapped in at the end: the caller's vector changes only on success.
    std::vector<Tensor> read(results.size());
    for (size_t i = 0; i < results.size(); ++i) {
      int element_type = 0;
      bool converted = false;
      try {
        converted = ReadOutput(results[i], &read[i], &element_type);
      } catch (const std::exception& e) {
        return Status(-6, std::string("engine_onnx: output read failed: ") + e.what());
      }
      if (!converted) {
        return Status(-6, "engine_onnx: output " + output_names_[i] +
                              " has unsupported dtype id=" + std::to_string(element_type));
      }
    }
    outputs->swap(read);
    return Status();
  }

  Ort::Env env_;
  Ort::SessionOptions session_options_;
  std::unique_ptr<Ort::Session> session_;  // empty until a load succeeds
  ModelDescription description_;           // of session_
  std::vector<std::string> input_names_;   // model order
  std::vector<std::string> output_names_;  // model order
  // Character pointers into the two name vectors, rebuilt on every load.
  std::vector<const char*> input_name_ptrs_;
  std::vector<const char*> output_name_ptrs_;
};

}  // namespace

std::unique_ptr<Engine> CreateOnnxEngine() {
  if (GetOrtApi() == nullptr) {
    LogStream(Error, kTag) << "ONNX Runtime " << OrtGetApiBase()->GetVersionString()
                           << " does not offer API version " << ORT_API_VERSION;
    return nullptr;
  }
  try {
    return std::unique_ptr<Engine>(new OnnxEngine());
  } catch (const std::exception& e) {
    LogStream(Error, kTag) << "cannot start ONNX Runtime: " << e.what();
    return nullptr;
  }
}

}  // namespace orvane

#else  // !ORVANE_WITH_ONNXRUNTIME

namespace orvane {

std::unique_ptr<Engine> CreateOnnxEngine() { return nullptr; }

}  // namespace orvane

#endif  // ORVANE_WITH_ONNXRUNTIME
