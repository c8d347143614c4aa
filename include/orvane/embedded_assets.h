// The acoustic model, vocabulary and syllable language model compiled into liborvane as read-only data.
#ifndef ORVANE_EMBEDDED_ASSETS_H_
#define ORVANE_EMBEDDED_ASSETS_H_

#include <cstddef>
#include <cstdint>
#include <utility>

#include "orvane/export.h"

// The raw data symbols, 16-byte aligned in read-only data. The vocabulary has no terminating NUL:
// always use it with its size. A build without an asset file has a size of 0 for it.
extern "C" {
ORVANE_EXPORT extern const unsigned char orvane_asr_model_onnx[];
ORVANE_EXPORT extern const uint64_t orvane_asr_model_onnx_size;
ORVANE_EXPORT extern const char orvane_asr_vocab[];
ORVANE_EXPORT extern const uint64_t orvane_asr_vocab_size;
ORVANE_EXPORT extern const unsigned char orvane_asr_lm[];
ORVANE_EXPORT extern const uint64_t orvane_asr_lm_size;
}

namespace orvane {

// Address and byte count of the embedded ONNX model; {nullptr, 0} when the build carries none.
// No copy, no allocation, no lock: the bytes live as long as the library is loaded.
ORVANE_EXPORT std::pair<const void*, size_t> EmbeddedAsrModel();

// The embedded vocabulary text (units format, one "text id" line per unit), as above.
ORVANE_EXPORT std::pair<const char*, size_t> EmbeddedAsrVocab();

// The embedded syllable language model (binary format of training/lm.py), as above.
ORVANE_EXPORT std::pair<const void*, size_t> EmbeddedAsrLm();

}  // namespace orvane

#endif  // ORVANE_EMBEDDED_ASSETS_H_
