// Accessors of the embedded model and vocabulary (the bytes come from embedded_assets.S).
#include "orvane/embedded_assets.h"

namespace orvane {

std::pair<const void*, size_t> EmbeddedAsrModel() {
  const size_t size = static_cast<size_t>(orvane_asr_model_onnx_size);
  if (size == 0) return {nullptr, 0};
  return {orvane_asr_model_onnx, size};
}

std::pair<const char*, size_t> EmbeddedAsrVocab() {
  const size_t size = static_cast<size_t>(orvane_asr_vocab_size);
  if (size == 0) return {nullptr, 0};
  return {orvane_asr_vocab, size};
}

std::pair<const void*, size_t> EmbeddedAsrLm() {
  const size_t size = static_cast<size_t>(orvane_asr_lm_size);
  if (size == 0) return {nullptr, 0};
  return {orvane_asr_lm, size};
}

}  // namespace orvane
