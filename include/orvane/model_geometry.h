// ModelGeometry: how the recogniser feeds one acoustic model, read from the model's declared inputs
// and outputs and its optional metadata.
#ifndef ORVANE_MODEL_GEOMETRY_H_
#define ORVANE_MODEL_GEOMETRY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/feature_pipeline.h"
#include "orvane/model_description.h"
#include "orvane/status.h"

namespace orvane {

// Model contract. Inputs by position: the chunk's features [batch, chunk_frames, num_mel_bins];
// optionally, at position 1, an integer input [batch, 1] with the output frames produced before the
// chunk; then the state inputs, any number, any rank. Outputs: [..., T, V] token scores (id 0 is the
// CTC blank), then one next state per state input, in the same order. Further outputs are ignored.
//
// The default value is the embedded model's geometry; it is also what an engine that cannot
// describe its model gets.
struct ORVANE_EXPORT ModelGeometry {
  int32_t chunk_frames = 43;   // feature frames per model run
  int32_t output_frames = 10;  // output frames per model run; the offset input grows by this
  int32_t subsampling = 4;     // feature frames per output frame
  // Scores per output frame that the search reads; the units count of a described model.
  int32_t vocab_size = 4972;
  bool has_offset = true;
  std::vector<std::vector<int64_t>> state_shapes = {{1, 12, 4, 40, 224}, {1, 12, 448, 30}};
  FbankOptions features;  // num_mel_bins is the width of the chunk input

  // Optional metadata keys (decimal text), each overriding its default:
  //   "sample_rate" (must be 16000), "num_mel_bins", "frame_length_ms", "frame_shift_ms",
  //   "subsampling", "chunk_frames", "output_frames" (the last two only for open dimensions),
  //   "preemph_coeff", "low_freq", "high_freq".
  // Declared sizes win; metadata that contradicts them is refused. A failure (code -6) names the
  // mismatch: "model output 'output' gives 696 scores per frame but the vocabulary has 700 units".
  // `units` is the vocabulary size the output width must equal.
  static Status FromDescription(const ModelDescription& model, size_t units, ModelGeometry* out);

  size_t state_size(size_t index) const;  // values in state `index`
  int32_t frame_ms() const { return features.frame_shift_ms * subsampling; }  // one output frame
};

}  // namespace orvane

#endif  // ORVANE_MODEL_GEOMETRY_H_
