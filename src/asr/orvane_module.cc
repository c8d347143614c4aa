// OrvaneModule: streaming recognition from 16 kHz audio to text, segments and their times.
#include "orvane/orvane_module.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "asr/segment_tracker.h"
#include "orvane/ctc_beam_search.h"
#include "orvane/ctc_endpoint.h"
#include "orvane/embedded_assets.h"
#include "orvane/engine.h"
#include "orvane/feature_pipeline.h"
#include "orvane/logger.h"
#include "orvane/module_registry.h"
#include "orvane/result_builder.h"
#include "orvane/tensor.h"

namespace orvane {
namespace {

constexpr const char* kTag = "orvane";
constexpr int32_t kMelBins = 80;
constexpr size_t kChunkFrames = 43;
constexpr size_t kChunkValues = kChunkFrames * kMelBins;  // 3440
constexpr int64_t kOutputFramesPerChunk = 10;
constexpr int64_t kSubsampling = 4;       // feature frames per output frame
constexpr int32_t kMaxSearchTokens = 4972;  // size of the embedded vocabulary
constexpr int32_t kBlankId = 0;
constexpr int32_t kFrameMs = 40;          // one output frame
constexpr float kSilenceBlankProbability = 0.8f;
constexpr size_t kKeptTexts = 4;
constexpr size_t kAttentionCacheSize = 430080;
constexpr size_t kConvCacheSize = 161280;
const char kNotLoadedText[] = "[orvane: model not loaded]";
// Beyond this magnitude a normalised sample is not audio at all; once scaled by 32768 and squared
// by the filterbank, a larger one could overflow.
constexpr float kMaxSampleMagnitude = 32768.0f;

struct AutoRegister_OrvaneModule {
  AutoRegister_OrvaneModule() {
    ModuleRegistry::Instance().Register(
        "orvane", []() -> std::unique_ptr<Module> { return std::make_unique<OrvaneModule>(); });
  }
};
const AutoRegister_OrvaneModule auto_register_orvane_module;

bool IsCleanSample(float x) { return std::isfinite(x) && std::fabs(x) <= kMaxSampleMagnitude; }

// `samples` itself, or a copy in `scratch` with every non-finite sample zeroed and every sample
// beyond the 16-bit range clamped to it. One bad sample would otherwise turn the features into
// NaN or infinity, and through the model's carried state poison the rest of the stream.
const float* CleanSamples(const float* samples, size_t n, std::vector<float>* scratch) {
  if (samples == nullptr) return nullptr;
  size_t first_bad = 0;
  while (first_bad < n && IsCleanSample(samples[first_bad])) ++first_bad;
  if (first_bad == n) return samples;
  scratch->assign(samples, samples + n);
  for (size_t i = first_bad; i < n; ++i) {
    float& x = (*scratch)[i];
    if (!std::isfinite(x)) {
      x = 0.0f;
    } else if (std::fabs(x) > kMaxSampleMagnitude) {
      x = std::copysign(kMaxSampleMagnitude, x);
    }
  }
  return scratch->data();
}

// T and V of a logits output [..., T, V], each read as a 32-bit value; false unless it has at least
// three dimensions and both are positive.
bool LogitsShape(const Tensor& logits, int32_t* frames, int32_t* width) {
  const size_t rank = logits.shape.size();
  if (rank < 3) return false;
  *frames = static_cast<int32_t>(logits.shape[rank - 2]);
  *width = static_cast<int32_t>(logits.shape[rank - 1]);
  return *frames > 0 && *width > 0;
}

// Rows of `width` values that the buffer really holds, at most `frames`.
int64_t CompleteRows(const Tensor& logits, int32_t frames, int32_t width) {
  const int64_t held = static_cast<int64_t>(logits.data.size() / static_cast<size_t>(width));
  return std::min<int64_t>(frames, held);
}

}  // namespace

OrvaneModule::OrvaneModule() : tracker_(new SegmentTracker) {}
OrvaneModule::~OrvaneModule() = default;

const char* OrvaneModule::name() const { return "orvane"; }
const char* OrvaneModule::version() const { return "1"; }

Status OrvaneModule::Init(const ModuleConfig&, ModelManager*, Engine* engine) {
  const std::pair<const char*, size_t> vocab = EmbeddedAsrVocab();
  const std::pair<const void*, size_t> model = EmbeddedAsrModel();
  Load(engine, model.first, model.second, vocab.first, vocab.second, "embedded");
  return Status();
}

Status OrvaneModule::InitWithModel(const ModuleConfig&, Engine* engine, const void* model,
                                   size_t size, const std::string& vocab_text) {
  return Load(engine, model, size, vocab_text.data(), vocab_text.size(), "supplied");
}

// `origin` ("embedded", "supplied") names the assets in the log lines.
Status OrvaneModule::Load(Engine* engine, const void* model, size_t size, const char* vocab,
                          size_t vocab_size, const char* origin) {
  engine_ = engine;
  model_loaded_ = false;
  units_ = Units();
  StartStream();

  if (vocab == nullptr || vocab_size == 0) {
    Logger::Instance().Log(Warn, kTag, std::string("no ") + origin +
                                           " vocab; orvane will return empty results");
    return Status(-1, "orvane: no vocabulary");
  }
  const Status vocab_status = units_.LoadFromText(std::string(vocab, vocab_size));
  if (!vocab_status.ok()) {
    Logger::Instance().Log(Warn, kTag, "vocab: " + vocab_status.message);
  } else {
    Logger::Instance().Log(Info, kTag,
                           "vocab loaded: " + std::to_string(units_.size()) + " tokens");
  }

  if (model == nullptr || size == 0) {
    Logger::Instance().Log(Warn, kTag, std::string("no ") + origin +
                                           " model; orvane will return empty results");
    return Status(-1, "orvane: no model");
  }
  if (engine_ == nullptr) return Status(-1, "orvane: no engine");
  const Status loaded = engine_->LoadModelFromBuffer(model, size);
  if (!loaded.ok()) {
    Logger::Instance().Log(Warn, kTag, "engine LoadModelFromBuffer failed: " + loaded.message);
    return loaded;
  }
  Logger::Instance().Log(Info, kTag,
                         std::string("engine loaded (") + engine_->backend_name() + "): " +
                             origin + " model, " + std::to_string(size) + " bytes");
  model_loaded_ = true;
  return vocab_status;
}

// Fresh stream objects and state; engine, vocabulary and model_loaded_ are not touched.
void OrvaneModule::StartStream() {
  features_.reset(new FeaturePipeline(FbankOptions()));
  CtcBeamSearchConfig search_config;
  search_config.beam_size = 10;
  search_config.blank_id = kBlankId;
  search_.reset(new CtcBeamSearch(search_config));
  endpoint_.reset(new CtcEndpoint(CtcEndpointConfig{5000, 1000, 20000, kSilenceBlankProbability}));
  attention_cache_.assign(kAttentionCacheSize, 0.0f);
  conv_cache_.assign(kConvCacheSize, 0.0f);
  chunk_offset_ = 0;
  ClearSegments();
}

std::unique_ptr<Module> OrvaneModule::Clone() const {
  auto clone = std::make_unique<OrvaneModule>();
  clone->engine_ = engine_;
  clone->model_loaded_ = model_loaded_;
  clone->units_ = units_;
  clone->StartStream();
  return clone;
}

void OrvaneModule::Reset() {
  chunk_offset_ = 0;
  if (features_) features_->Reset();
  if (search_) search_->Reset();
  if (endpoint_) endpoint_->Reset();
  std::fill(attention_cache_.begin(), attention_cache_.end(), 0.0f);
  std::fill(conv_cache_.begin(), conv_cache_.end(), 0.0f);
  ClearSegments();
}

// Committed texts, segment counters and segment times back to the start of a stream.
void OrvaneModule::ClearSegments() {
  committed_texts_.clear();
  blank_run_frames_ = 0;
  segment_frames_ = 0;
  segment_has_text_ = false;
  tracker_->Reset();
  feature_frames_consumed_ = 0;
  pending_segments_.clear();
  tail_written_text_.clear();
}

void OrvaneModule::OnFrame(const AudioFrame& frame, ResultBuilder* result) {
  if (!model_loaded_ || !features_) return;
  std::vector<float> scratch;
  const size_t n = static_cast<size_t>(frame.num_samples);
  // Session audio is normalised whatever its source (AudioFrame), also where resampling made
  // clipped audio overshoot 1.
  features_->AcceptWaveformNormalized(CleanSamples(frame.samples, n, &scratch), n);
  // RunOneChunk consumes a chunk only with an engine and a search; without them, stop.
  while (engine_ != nullptr && search_ && features_->num_frames_ready() > kChunkFrames - 1) {
    RunOneChunk();
  }
  if (result == nullptr) return;
  WriteSegments(result);
  const std::string text = BuildTranscript();
  if (text.empty()) return;
  result->SetPartial(text);
  result->SetText("orvane", text);
}

void OrvaneModule::OnSegment(const Segment&, ResultBuilder*) {}

void OrvaneModule::OnFinalize(ResultBuilder* result) {
  if (!model_loaded_) {
    if (result != nullptr) result->SetText("orvane", kNotLoadedText);
    return;
  }
  Flush();
  if (result == nullptr) return;
  WriteSegments(result);
  // The last segment is not committed (its text stays the current hypothesis), but the final
  // document lists it; once per text, so a second finalisation does not repeat it.
  std::string tail = HypothesisText();
  if (!tail.empty() && tail != tail_written_text_) {
    tail_written_text_ = tail;
    result->AppendSegment(tracker_->Build(std::move(tail)));
  }
  result->SetText("orvane", BuildTranscript());
}

bool OrvaneModule::produces_logits() const { return true; }
bool OrvaneModule::produces_text() const { return true; }

// The chunk's features are moved into input 0; the states are moved into inputs 2 and 3 (the
// engine only reads its inputs) and must come back through RestoreStates or a replacement.
std::vector<Tensor> OrvaneModule::BuildInputs(std::vector<float> chunk) {
  std::vector<Tensor> inputs(4);
  inputs[0].data = std::move(chunk);
  inputs[0].shape = {1, static_cast<int64_t>(kChunkFrames), kMelBins};
  inputs[1].data = {static_cast<float>(chunk_offset_)};
  inputs[1].shape = {1, 1};
  inputs[2].data = std::move(attention_cache_);
  inputs[2].shape = {1, 12, 4, 40, 224};
  inputs[3].data = std::move(conv_cache_);
  inputs[3].shape = {1, 12, 448, 30};
  attention_cache_.clear();
  conv_cache_.clear();
  return inputs;
}

void OrvaneModule::RestoreStates(std::vector<Tensor>* inputs) {
  attention_cache_ = std::move((*inputs)[2].data);
  conv_cache_ = std::move((*inputs)[3].data);
}

void OrvaneModule::RunOneChunk() {
  if (engine_ == nullptr || !features_ || !search_) return;
  std::vector<float> chunk = features_->PopFrames(kChunkFrames);
  const int64_t first_frame = feature_frames_consumed_;
  feature_frames_consumed_ += static_cast<int64_t>(chunk.size() / kMelBins);
  if (chunk.size() != kChunkValues) return;

  std::vector<Tensor> inputs = BuildInputs(std::move(chunk));
  std::vector<Tensor> outputs;
  const Status status = engine_->Run(inputs, &outputs);
  RestoreStates(&inputs);
  if (!status.ok()) {
    Logger::Instance().Log(Warn, kTag, "engine Run failed: " + status.message);
    return;
  }
  if (outputs.size() < 3) {
    Logger::Instance().Log(Warn, kTag,
                           "engine returned " + std::to_string(outputs.size()) + " outputs");
    return;
  }
  int32_t frames = 0;
  int32_t width = 0;
  if (!LogitsShape(outputs[0], &frames, &width)) {
    Logger::Instance().Log(Warn, kTag, "unexpected logits shape");
    return;
  }
  const int64_t rows = CompleteRows(outputs[0], frames, width);
  if (rows < frames) {
    Logger::Instance().Log(Warn, kTag, "logits hold " + std::to_string(rows) + " of " +
                                           std::to_string(frames) + " frames; decoding those");
  }
  DecodeRows(outputs[0].data, rows, width, first_frame,
             first_frame + static_cast<int64_t>(kChunkFrames), true);
  attention_cache_ = std::move(outputs[1].data);
  conv_cache_ = std::move(outputs[2].data);
  chunk_offset_ += kOutputFramesPerChunk;
}

void OrvaneModule::Flush() {
  if (!features_) return;
  while (engine_ != nullptr && search_ && features_->num_frames_ready() > kChunkFrames - 1) {
    RunOneChunk();
  }
  const size_t ready = features_->num_frames_ready();
  if (ready == 0 || engine_ == nullptr || !search_) return;

  std::vector<float> chunk = features_->PopFrames(ready);
  const int64_t first_frame = feature_frames_consumed_;
  feature_frames_consumed_ += static_cast<int64_t>(ready);
  chunk.resize(kChunkValues, 0.0f);

  std::vector<Tensor> inputs = BuildInputs(std::move(chunk));
  std::vector<Tensor> outputs;
  const Status status = engine_->Run(inputs, &outputs);
  // The padded chunk is not part of the stream the states describe: they are kept as they were.
  RestoreStates(&inputs);
  int32_t frames = 0;
  int32_t width = 0;
  if (!status.ok() || outputs.empty() || !LogitsShape(outputs[0], &frames, &width)) return;
  const int64_t wanted = (static_cast<int64_t>(ready) + kSubsampling - 1) / kSubsampling;
  const int64_t rows = std::min(CompleteRows(outputs[0], frames, width), wanted);
  DecodeRows(outputs[0].data, rows, width, first_frame, first_frame + static_cast<int64_t>(ready),
             false);
}

void OrvaneModule::DecodeRows(const std::vector<float>& logits, int64_t rows, int32_t width,
                              int64_t first_feature_frame, int64_t limit, bool endpointing) {
  const int search_tokens = std::min(width, kMaxSearchTokens);
  for (int64_t t = 0; t < rows; ++t) {
    const float* row = logits.data() + t * width;
    search_->Step(row, search_tokens);
    const int64_t start = std::min(first_feature_frame + kSubsampling * t, limit);
    const int64_t end = std::min(start + kSubsampling, limit);
    const int best = search_->frame_best_token();
    tracker_->AddFrame(start, end, best >= 0 && best != kBlankId,
                       std::exp(search_->frame_best_log_prob()));
    if (!endpointing) continue;
    if (search_tokens == width) {
      // The search normalised this very row: its softmax gives the blank probability.
      EndpointFrame(
          CtcEndpoint::BlankProbabilityFromNormaliser(row, search_->frame_log_normaliser()));
    } else {
      ProcessFrameEndpoint(row, width);
    }
  }
}

std::string OrvaneModule::HypothesisText() const {
  if (!search_) return std::string();
  std::vector<std::string> pieces;
  for (int id : search_->Hypothesis()) {
    if (id != 0) pieces.push_back(units_.At(id));
  }
  return postprocessor_.DetokenizeWholeSyllables(pieces);
}

std::string OrvaneModule::BuildTranscript() const {
  std::string text;
  for (const std::string& committed : committed_texts_) {
    if (!text.empty()) text += '\n';
    text += committed;
  }
  const std::string current = HypothesisText();
  if (!current.empty()) {
    if (!text.empty()) text += '\n';
    text += current;
  }
  return text;
}

void OrvaneModule::ProcessFrameEndpoint(const float* row, int count) {
  EndpointFrame(CtcEndpoint::BlankProbability(row, count));
}

void OrvaneModule::EndpointFrame(double blank_probability) {
  if (!endpoint_) return;
  ++segment_frames_;
  int silence_ms = 0;
  bool has_text = true;
  if (blank_probability > static_cast<double>(kSilenceBlankProbability)) {
    ++blank_run_frames_;
    silence_ms = blank_run_frames_ * kFrameMs;
    has_text = segment_has_text_;
  } else {
    segment_has_text_ = true;
    blank_run_frames_ = 0;
  }
  if (endpoint_->Check(silence_ms, segment_frames_ * kFrameMs, has_text)) {
    CommitCurrentBeamAsSegment();
  }
}

void OrvaneModule::CommitCurrentBeamAsSegment() {
  if (!search_) return;
  std::string text = HypothesisText();
  if (!text.empty()) {
    // A segment already listed as the tail of a final document is not listed twice.
    if (text != tail_written_text_) pending_segments_.push_back(tracker_->Build(text));
    committed_texts_.push_back(std::move(text));
    if (committed_texts_.size() > kKeptTexts) committed_texts_.erase(committed_texts_.begin());
  }
  search_->Reset();
  blank_run_frames_ = 0;
  segment_frames_ = 0;
  segment_has_text_ = false;
  tracker_->Reset();
  tail_written_text_.clear();
}

void OrvaneModule::WriteSegments(ResultBuilder* result) {
  for (TextSegment& segment : pending_segments_) result->AppendSegment(std::move(segment));
  pending_segments_.clear();
}

}  // namespace orvane
