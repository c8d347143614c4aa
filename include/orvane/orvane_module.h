// OrvaneModule ("orvane"): the speech recognition module. Audio in, filterbank features, acoustic
// model run in fixed chunks of feature frames with its states carried between chunks, CTC prefix
// beam search, blank-probability endpointing, text out into the session's result document.
#ifndef ORVANE_ORVANE_MODULE_H_
#define ORVANE_ORVANE_MODULE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/model_geometry.h"
#include "orvane/module.h"
#include "orvane/post_processor.h"
#include "orvane/tensor.h"
#include "orvane/units.h"

namespace orvane {

class CtcBeamSearch;
class CtcEndpoint;
class FeaturePipeline;
class HotwordTrie;
class SegmentTracker;
class SyllableLm;
class SyllableScorer;

// Model contract: see ModelGeometry, which is read from the loaded model. The embedded model takes
// [1, 43, 80] features, the [1, 1] offset and states [1, 12, 4, 40, 224] and [1, 12, 448, 30], and
// gives 10 output frames per chunk.
//
// Configuration text (JSON object, see README): "model_dir" names a model folder (model.onnx and
// units.txt) to load instead of the embedded model. Unknown keys are ignored.
//
// Results. While streaming, the document's "partial" and "text" hold the transcript so far: the last
// 4 committed segments and the current hypothesis, one per line. Every committed segment is also
// appended to the document's "segments", with start/end in seconds from the start of the stream
// (Reset restarts at zero), a confidence and its words (syllables) with their times and confidence;
// the final document adds the last, uncommitted segment.
//
// Times. An output frame stands for `subsampling` feature frames (4, 40 ms for the embedded model).
// Output frame t of a chunk starting at feature frame f covers feature frames f + 4t .. f + 4t + 3,
// i.e. it starts at (f + 4t) * 10 ms. A segment runs from the start of
// its first to the end of its last non-blank frame (best-scoring token not the blank).
//
// Not thread-safe: one session drives one instance, one call at a time. Clones share the engine.
class ORVANE_EXPORT OrvaneModule : public Module {
 public:
  OrvaneModule();
  ~OrvaneModule() override;

  const char* name() const override;
  const char* version() const override;
  // Without "model_dir" in the configuration: loads the vocabulary, model and language model
  // compiled into the library and succeeds unless the configuration is refused; without a model the
  // module stays silent while streaming and reports "[orvane: model not loaded]" at the end. With
  // "model_dir": loads that folder and fails (-3 file problems, -6 a model the engine refuses or
  // whose geometry does not fit, each message naming the file) leaving the module unloaded. A
  // configuration text that is not a JSON object fails with -1. The decoding members ("lm",
  // "lm_weight", "lm_bonus", "beam_size", "hotwords", "hotwords_score"; src/asr/decoder_options.h)
  // fail with -1 for a value out of range or hotwords that cannot be written, and an embedded
  // language model that is corrupt fails with -3. Ignores the model manager.
  Status Init(const ModuleConfig& config, ModelManager* models, Engine* engine) override;
  std::unique_ptr<Module> Clone() const override;
  void Reset() override;
  // Feeds the block (normalised samples, see AudioFrame; scaled by 32768 whatever their size) to
  // the filterbank, decodes every complete chunk and publishes the transcript
  // (nothing while it is empty) and newly committed segments. Samples that are not finite count as
  // 0 and samples beyond +-32768 are clamped, on a copy: one bad sample would otherwise turn the
  // features, and through the carried state the rest of the stream, into NaN.
  void OnFrame(const AudioFrame& frame, ResultBuilder* result) override;
  void OnSegment(const Segment& segment, ResultBuilder* result) override;
  // Decodes what is left (Flush) and writes the final text and the remaining segments. With a null
  // document it only decodes; segments not yet written wait for a later call with a document.
  void OnFinalize(ResultBuilder* result) override;
  bool produces_logits() const override;
  bool produces_text() const override;

  // Init with a given model instead of the embedded one: `model` (`size` bytes, read only during the
  // call) is loaded into `engine`, `vocab_text` is parsed as units text, and the geometry is read
  // from the engine's description of the model (defaults when the engine cannot describe it). Sets
  // up a fresh stream either way. The module is usable whatever the outcome, as after Init. Returns
  // success when the model and vocabulary were both loaded; otherwise -1 (no engine, no model, no
  // vocabulary), the engine's failure, -6 for a geometry mismatch (model not loaded), or the units'
  // failure (the model is then loaded but every unit reads empty).
  // The decoding members of the configuration are read as by Init, and the embedded language model
  // (its syllables are spelled with the given units) is used unless UseLanguageModel replaces it.
  Status InitWithModel(const ModuleConfig& config, Engine* engine, const void* model, size_t size,
                       const std::string& vocab_text);

  // Replaces the language model with one in the binary format of training/lm.py (for a model
  // folder carrying its own; `bytes` are copied). Null or size 0 means no language model. Failure:
  // code -3 "language model: <problem>" for a corrupt image (the previous model is kept).
  Status UseLanguageModel(const void* bytes, size_t size);

  // Hotwords of this instance (a session), replacing those of the configuration: phrases that the
  // search favours by `score` per matched unit. An empty list removes them. Failure (code -1, the
  // previous hotwords kept): a score outside 0..10, or phrases that cannot be written with the units
  // ("hotwords cannot be written with the units: " followed by the phrases).
  Status SetHotwords(const std::vector<std::string>& phrases, double score);

  // Decodes all buffered features, including a last partial chunk padded with zero frames. The
  // padded chunk's states are discarded and it applies no endpoint rule.
  void Flush();
  // Takes one chunk of feature frames, runs the model and decodes its output frames.
  void RunOneChunk();
  // Committed segment texts kept (at most 4) and the current hypothesis, one per line.
  std::string BuildTranscript() const;
  // Endpoint tracking for one output frame of `count` scores; commits at an endpoint.
  void ProcessFrameEndpoint(const float* row, int count);
  // Commits the current hypothesis as a segment (if its text is not empty) and starts a new one.
  void CommitCurrentBeamAsSegment();

  // Inspection.
  bool model_loaded() const { return model_loaded_; }
  int64_t chunk_offset() const { return chunk_offset_; }
  const std::vector<std::vector<float>>& states() const { return states_; }
  const ModelGeometry& geometry() const { return geometry_; }
  const std::vector<std::string>& committed_texts() const { return committed_texts_; }
  const Units& units() const { return units_; }

 private:
  Status Load(Engine* engine, const void* model, size_t size, const char* vocab, size_t vocab_size,
              const std::string& model_name, const std::string& vocab_name);
  Status LoadFolder(Engine* engine, const std::string& dir, const ModuleConfig& config);
  void StartStream();
  size_t chunk_frames() const;
  size_t first_state_input() const;  // position of the first state among the model's inputs
  void ClearSegments();
  std::vector<Tensor> BuildInputs(std::vector<float> chunk);
  void RestoreStates(std::vector<Tensor>* inputs);
  // Steps the search over the first `rows` rows of `logits` (`width` scores each). Output frame t
  // starts at feature frame first_feature_frame + 4t; no frame ends after feature frame `limit`.
  void DecodeRows(const std::vector<float>& logits, int64_t rows, int32_t width,
                  int64_t first_feature_frame, int64_t limit, bool endpointing);
  std::vector<int> HypothesisIds() const;  // the search's best prefix without blanks
  std::string HypothesisText() const;
  // ProcessFrameEndpoint with the frame's blank probability already known.
  void EndpointFrame(double blank_probability);
  std::vector<WordTiming> HypothesisWords() const;
  void WriteSegments(ResultBuilder* result);

  Engine* engine_ = nullptr;  // not owned; the pipeline's engine, shared by all clones
  bool model_loaded_ = false;
  std::unique_ptr<FeaturePipeline> features_;
  std::unique_ptr<CtcBeamSearch> search_;
  std::unique_ptr<CtcEndpoint> endpoint_;
  PostProcessor postprocessor_;
  Units units_;
  ModelGeometry geometry_;                 // of the loaded model; shared with clones
  std::vector<std::vector<float>> states_;  // one per geometry_.state_shapes entry
  int64_t chunk_offset_ = 0;  // output frames produced; + geometry_.output_frames per chunk
  std::vector<std::string> committed_texts_;  // oldest first, at most 4
  int32_t blank_run_frames_ = 0;
  int32_t segment_frames_ = 0;
  bool segment_has_text_ = false;

  // Segment times and confidence; see the header comment.
  std::unique_ptr<SegmentTracker> tracker_;
  int64_t feature_frames_consumed_ = 0;     // feature frames taken from features_ in this stream
  std::vector<TextSegment> pending_segments_;  // committed, not yet written to a document
  std::string tail_written_text_;  // text of the current segment as a final document listed it

  // Decoding context, shared by the clones of one pipeline (a session's own hotwords replace them).
  Status ConfigureDecoder(const ModuleConfig& config);
  void ApplyContext();
  int beam_size_ = 10;
  double lm_weight_ = 0.0;
  double lm_bonus_ = 0.0;
  bool lm_enabled_ = false;
  std::shared_ptr<const SyllableLm> lm_;
  std::shared_ptr<const SyllableScorer> scorer_;
  std::shared_ptr<const HotwordTrie> hotwords_;
};

}  // namespace orvane

#endif  // ORVANE_ORVANE_MODULE_H_
