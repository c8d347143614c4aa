// OrvaneModule: streaming recognition from 16 kHz audio to text, segments and their times.
#include "orvane/orvane_module.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <utility>

#include "asr/model_folder.h"
#include "asr/orvane_config.h"
#include "asr/decoder_options.h"
#include "asr/hotword_trie.h"
#include "asr/segment_tracker.h"
#include "asr/syllable_lm.h"
#include "asr/syllable_scorer.h"
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
constexpr int32_t kBlankId = 0;
constexpr float kSilenceBlankProbability = 0.8f;
constexpr size_t kKeptTexts = 4;
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

// The embedded language model, opened once per process and shared by every pipeline; a corrupt
// image gives the same failure to every caller. Null without an embedded model.
Status EmbeddedLanguageModel(std::shared_ptr<const SyllableLm>* out) {
  static std::once_flag once;
  static Status status;
  static std::shared_ptr<const SyllableLm> lm;
  std::call_once(once, [] {
    const std::pair<const void*, size_t> bytes = EmbeddedAsrLm();
    if (bytes.first != nullptr && bytes.second != 0) {
      status = SyllableLm::Open(bytes.first, bytes.second, false, &lm);
    }
  });
  *out = lm;
  return status;
}

}  // namespace

OrvaneModule::OrvaneModule() : tracker_(new SegmentTracker(0.01)) {}
OrvaneModule::~OrvaneModule() = default;

const char* OrvaneModule::name() const { return "orvane"; }
const char* OrvaneModule::version() const { return "1"; }

Status OrvaneModule::Init(const ModuleConfig& config, ModelManager*, Engine* engine) {
  OrvaneConfig settings;
  const Status parsed = OrvaneConfig::Parse(config.json, &settings);
  if (!parsed.ok()) {
    Load(engine, nullptr, 0, nullptr, 0, "", "");  // leaves the module unloaded
    return parsed;
  }
  if (!settings.model_dir.empty()) return LoadFolder(engine, settings.model_dir, config);
  const std::pair<const char*, size_t> vocab = EmbeddedAsrVocab();
  const std::pair<const void*, size_t> model = EmbeddedAsrModel();
  Load(engine, model.first, model.second, vocab.first, vocab.second, "embedded model",
       "embedded vocab");
  const Status configured = ConfigureDecoder(config);
  // Refused decoding members fail Init as a whole, like a refused folder: nothing stays loaded.
  if (!configured.ok()) Load(engine, nullptr, 0, nullptr, 0, "", "");
  return configured;
}

// A folder is all or nothing: any failure leaves the module unloaded and names the file.
// A language model in the folder (lm.bin) replaces the embedded one; a corrupt one fails the load.
Status OrvaneModule::LoadFolder(Engine* engine, const std::string& dir,
                                const ModuleConfig& config) {
  ModelFolder folder;
  Status status = ModelFolder::Read(dir, &folder);
  if (status.ok()) {
    // Checked first: a model with an unreadable vocabulary would otherwise load with empty units.
    Units check;
    status = check.LoadFromText(folder.units_text);
    if (!status.ok()) status.message = folder.units_path + ": " + status.message;
  }
  if (status.ok()) {
    status = Load(engine, folder.model.data(), folder.model.size(), folder.units_text.data(),
                  folder.units_text.size(), folder.model_path, folder.units_path);
  }
  if (status.ok()) status = ConfigureDecoder(config);
  if (status.ok() && !folder.lm.empty()) {
    status = UseLanguageModel(folder.lm.data(), folder.lm.size());
    if (!status.ok()) status.message = folder.lm_path + ": " + status.message;
  }
  if (status.ok()) return status;
  if (status.code == 0) status.code = -6;
  Load(engine, nullptr, 0, nullptr, 0, "", "");
  Logger::Instance().Log(Warn, kTag, "model folder not loaded: " + status.message);
  return status;
}

Status OrvaneModule::InitWithModel(const ModuleConfig& config, Engine* engine, const void* model,
                                   size_t size, const std::string& vocab_text) {
  const Status loaded = Load(engine, model, size, vocab_text.data(), vocab_text.size(),
                             "supplied model", "supplied vocab");
  const Status configured = ConfigureDecoder(config);
  return configured.ok() ? loaded : configured;
}

// Reads the decoding members of the configuration and sets up the language model and hotwords.
Status OrvaneModule::ConfigureDecoder(const ModuleConfig& config) {
  DecoderOptions options;
  Status status = options.Parse(config.json);
  if (!status.ok()) {
    Logger::Instance().Log(Error, kTag, status.message);
    return status;
  }
  beam_size_ = options.beam_size;
  lm_weight_ = options.lm_weight;
  lm_bonus_ = options.lm_bonus;
  lm_enabled_ = options.lm;
  scorer_.reset();
  hotwords_.reset();
  if (lm_enabled_) {
    status = EmbeddedLanguageModel(&lm_);
    if (!status.ok()) {
      Logger::Instance().Log(Error, kTag, status.message);
      return status;
    }
  }
  status = UseLanguageModel(nullptr, 0);  // builds the scorer of lm_ (if any) for these units
  if (status.ok() && !options.hotwords.empty()) {
    status = SetHotwords(options.hotwords, options.hotwords_score);
  }
  if (!status.ok()) {
    Logger::Instance().Log(Error, kTag, status.message);
    return status;
  }
  StartStream();
  return Status();
}

Status OrvaneModule::UseLanguageModel(const void* bytes, size_t size) {
  if (bytes != nullptr && size != 0) {
    std::shared_ptr<const SyllableLm> lm;
    const Status opened = SyllableLm::Open(bytes, size, true, &lm);
    if (!opened.ok()) return opened;
    lm_ = std::move(lm);
  }
  scorer_.reset();
  if (lm_enabled_ && lm_ && units_.size() > 0) {
    const Status status = SyllableScorer::Create(lm_, units_, lm_weight_, lm_bonus_, &scorer_);
    if (!status.ok()) return status;
    Logger::Instance().Log(Info, kTag, "language model: order " + std::to_string(lm_->order()) +
                                           ", " + std::to_string(lm_->vocab_size()) + " syllables");
  }
  ApplyContext();
  return Status();
}

Status OrvaneModule::SetHotwords(const std::vector<std::string>& phrases, double score) {
  std::shared_ptr<const HotwordTrie> trie;
  const Status status = HotwordTrie::Create(phrases, units_, score, &trie);
  if (!status.ok()) return status;
  hotwords_ = trie->num_phrases() > 0 ? trie : nullptr;
  ApplyContext();
  return Status();
}

void OrvaneModule::ApplyContext() {
  if (search_) search_->SetContext(scorer_, hotwords_);
}

// `model_name` and `vocab_name` ("embedded model", a file's path) name the assets in the log lines
// and messages. With no vocabulary the module is reset to unloaded, nothing logged for empty names.
Status OrvaneModule::Load(Engine* engine, const void* model, size_t size, const char* vocab,
                          size_t vocab_size, const std::string& model_name,
                          const std::string& vocab_name) {
  engine_ = engine;
  model_loaded_ = false;
  units_ = Units();
  geometry_ = ModelGeometry();
  StartStream();

  if (vocab == nullptr || vocab_size == 0) {
    if (!vocab_name.empty()) {
      Logger::Instance().Log(Warn, kTag, "no " + vocab_name + "; orvane will return empty results");
    }
    return Status(-1, "orvane: no vocabulary");
  }
  Status vocab_status = units_.LoadFromText(std::string(vocab, vocab_size));
  if (!vocab_status.ok()) {
    Logger::Instance().Log(Warn, kTag, "vocab: " + vocab_status.message);
    vocab_status.message = vocab_name + ": " + vocab_status.message;
  } else {
    Logger::Instance().Log(Info, kTag,
                           "vocab loaded: " + std::to_string(units_.size()) + " tokens");
  }

  if (model == nullptr || size == 0) {
    Logger::Instance().Log(Warn, kTag, "no " + model_name + "; orvane will return empty results");
    return Status(-1, "orvane: no model");
  }
  if (engine_ == nullptr) return Status(-1, "orvane: no engine");
  const Status loaded = engine_->LoadModelFromBuffer(model, size);
  if (!loaded.ok()) {
    Logger::Instance().Log(Warn, kTag, "engine LoadModelFromBuffer failed: " + loaded.message);
    return Status(loaded.code, model_name + ": not a model the engine can load (" +
                                   loaded.message + ")");
  }
  // An engine that cannot describe its model runs it with the default (embedded) geometry.
  ModelDescription description;
  if (engine_->Describe(&description).ok()) {
    const Status fits = ModelGeometry::FromDescription(description, units_.size(), &geometry_);
    if (!fits.ok()) {
      Logger::Instance().Log(Warn, kTag, model_name + ": " + fits.message);
      return Status(fits.code, model_name + ": " + fits.message + " (" + vocab_name + ")");
    }
  }
  StartStream();
  Logger::Instance().Log(Info, kTag,
                         std::string("engine loaded (") + engine_->backend_name() + "): " +
                             model_name + ", " + std::to_string(size) + " bytes");
  model_loaded_ = true;
  return vocab_status;
}

// Fresh stream objects and state for geometry_; engine, vocabulary and model_loaded_ are not
// touched.
void OrvaneModule::StartStream() {
  features_.reset(new FeaturePipeline(geometry_.features));
  CtcBeamSearchConfig search_config;
  search_config.beam_size = beam_size_;
  search_config.blank_id = kBlankId;
  search_.reset(new CtcBeamSearch(search_config));
  ApplyContext();
  endpoint_.reset(new CtcEndpoint(CtcEndpointConfig{5000, 1000, 20000, kSilenceBlankProbability}));
  states_.resize(geometry_.state_shapes.size());
  for (size_t k = 0; k < states_.size(); ++k) states_[k].assign(geometry_.state_size(k), 0.0f);
  chunk_offset_ = 0;
  tracker_.reset(new SegmentTracker(geometry_.features.frame_shift_ms / 1000.0));
  ClearSegments();
}

std::unique_ptr<Module> OrvaneModule::Clone() const {
  auto clone = std::make_unique<OrvaneModule>();
  clone->engine_ = engine_;
  clone->model_loaded_ = model_loaded_;
  clone->units_ = units_;
  clone->geometry_ = geometry_;
  clone->beam_size_ = beam_size_;
  clone->lm_weight_ = lm_weight_;
  clone->lm_bonus_ = lm_bonus_;
  clone->lm_enabled_ = lm_enabled_;
  clone->lm_ = lm_;
  clone->scorer_ = scorer_;
  clone->hotwords_ = hotwords_;
  clone->StartStream();
  return clone;
}

void OrvaneModule::Reset() {
  chunk_offset_ = 0;
  if (features_) features_->Reset();
  if (search_) search_->Reset();
  if (endpoint_) endpoint_->Reset();
  for (std::vector<float>& state : states_) std::fill(state.begin(), state.end(), 0.0f);
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
  while (engine_ != nullptr && search_ && features_->num_frames_ready() >= chunk_frames()) {
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
    result->AppendSegment(tracker_->Build(std::move(tail), HypothesisWords()));
  }
  result->SetText("orvane", BuildTranscript());
}

bool OrvaneModule::produces_logits() const { return true; }
bool OrvaneModule::produces_text() const { return true; }

size_t OrvaneModule::chunk_frames() const { return static_cast<size_t>(geometry_.chunk_frames); }

size_t OrvaneModule::first_state_input() const { return geometry_.has_offset ? 2 : 1; }

// The chunk's features are moved into input 0; the states are moved into the inputs after the
// offset (the engine only reads its inputs) and must come back through RestoreStates or a
// replacement.
std::vector<Tensor> OrvaneModule::BuildInputs(std::vector<float> chunk) {
  const size_t first_state = first_state_input();
  std::vector<Tensor> inputs(first_state + states_.size());
  inputs[0].data = std::move(chunk);
  inputs[0].shape = {1, geometry_.chunk_frames, geometry_.features.num_mel_bins};
  if (geometry_.has_offset) {
    inputs[1].data = {static_cast<float>(chunk_offset_)};
    inputs[1].shape = {1, 1};
  }
  for (size_t k = 0; k < states_.size(); ++k) {
    inputs[first_state + k].data = std::move(states_[k]);
    inputs[first_state + k].shape = geometry_.state_shapes[k];
    states_[k].clear();
  }
  return inputs;
}

void OrvaneModule::RestoreStates(std::vector<Tensor>* inputs) {
  const size_t first_state = first_state_input();
  for (size_t k = 0; k < states_.size(); ++k) states_[k] = std::move((*inputs)[first_state + k].data);
}

void OrvaneModule::RunOneChunk() {
  if (engine_ == nullptr || !features_ || !search_) return;
  const size_t bins = static_cast<size_t>(geometry_.features.num_mel_bins);
  std::vector<float> chunk = features_->PopFrames(chunk_frames());
  const int64_t first_frame = feature_frames_consumed_;
  feature_frames_consumed_ += static_cast<int64_t>(chunk.size() / bins);
  if (chunk.size() != chunk_frames() * bins) return;

  std::vector<Tensor> inputs = BuildInputs(std::move(chunk));
  std::vector<Tensor> outputs;
  const Status status = engine_->Run(inputs, &outputs);
  RestoreStates(&inputs);
  if (!status.ok()) {
    Logger::Instance().Log(Warn, kTag, "engine Run failed: " + status.message);
    return;
  }
  if (outputs.size() < 1 + states_.size()) {
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
             first_frame + static_cast<int64_t>(chunk_frames()), true);
  for (size_t k = 0; k < states_.size(); ++k) states_[k] = std::move(outputs[1 + k].data);
  chunk_offset_ += geometry_.output_frames;
}

void OrvaneModule::Flush() {
  if (!features_) return;
  while (engine_ != nullptr && search_ && features_->num_frames_ready() >= chunk_frames()) {
    RunOneChunk();
  }
  const size_t ready = features_->num_frames_ready();
  if (ready == 0 || engine_ == nullptr || !search_) return;

  std::vector<float> chunk = features_->PopFrames(ready);
  const int64_t first_frame = feature_frames_consumed_;
  feature_frames_consumed_ += static_cast<int64_t>(ready);
  chunk.resize(chunk_frames() * static_cast<size_t>(geometry_.features.num_mel_bins), 0.0f);

  std::vector<Tensor> inputs = BuildInputs(std::move(chunk));
  std::vector<Tensor> outputs;
  const Status status = engine_->Run(inputs, &outputs);
  // The padded chunk is not part of the stream the states describe: they are kept as they were.
  RestoreStates(&inputs);
  int32_t frames = 0;
  int32_t width = 0;
  if (!status.ok() || outputs.empty() || !LogitsShape(outputs[0], &frames, &width)) return;
  const int64_t subsampling = geometry_.subsampling;
  const int64_t wanted = (static_cast<int64_t>(ready) + subsampling - 1) / subsampling;
  const int64_t rows = std::min(CompleteRows(outputs[0], frames, width), wanted);
  DecodeRows(outputs[0].data, rows, width, first_frame, first_frame + static_cast<int64_t>(ready),
             false);
}

void OrvaneModule::DecodeRows(const std::vector<float>& logits, int64_t rows, int32_t width,
                              int64_t first_feature_frame, int64_t limit, bool endpointing) {
  const int search_tokens = std::min(width, geometry_.vocab_size);
  const int64_t subsampling = geometry_.subsampling;
  for (int64_t t = 0; t < rows; ++t) {
    const float* row = logits.data() + t * width;
    search_->Step(row, search_tokens);
    const int64_t start = std::min(first_feature_frame + subsampling * t, limit);
    const int64_t end = std::min(start + subsampling, limit);
    const int best = search_->frame_best_token();
    tracker_->AddFrame(start, end, best >= 0 && best != kBlankId ? best : -1,
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

std::vector<int> OrvaneModule::HypothesisIds() const {
  std::vector<int> ids;
  if (!search_) return ids;
  for (int id : search_->Hypothesis()) {
    if (id != kBlankId) ids.push_back(id);
  }
  return ids;
}

std::string OrvaneModule::HypothesisText() const {
  std::vector<std::string> pieces;
  for (int id : HypothesisIds()) pieces.push_back(units_.At(id));
  return postprocessor_.DetokenizeWholeSyllables(pieces);
}

// A unit starting with U+2581 begins a word (a syllable); the units after it, up to the next such
// unit, belong to it. A word spans its units' times; its confidence is the mean of theirs.
std::vector<WordTiming> OrvaneModule::HypothesisWords() const {
  static const std::string kWordMarker = "\xE2\x96\x81";
  std::vector<int> ids = HypothesisIds();
  const std::vector<SegmentTracker::TokenTime> times = tracker_->Align(ids);
  // The words of the text: without a trailing onset still waiting for its rhyme.
  std::vector<std::string> units;
  for (int id : ids) units.push_back(units_.At(id));
  ids.resize(PostProcessor::WholeSyllableUnits(units));
  std::vector<WordTiming> words;
  std::vector<std::string> pieces;
  double confidence_sum = 0.0;
  int64_t start = 0;
  int64_t end = 0;
  auto finish = [&]() {
    std::string text = postprocessor_.Detokenize(pieces);
    if (!text.empty()) {
      const double mean = confidence_sum / static_cast<double>(pieces.size());
      words.push_back(WordTiming{std::move(text), tracker_->Seconds(start), tracker_->Seconds(end),
                                 static_cast<float>(mean)});
    }
    pieces.clear();
    confidence_sum = 0.0;
  };
  for (size_t i = 0; i < ids.size(); ++i) {
    const std::string& piece = units_.At(ids[i]);
    if (!pieces.empty() && piece.compare(0, kWordMarker.size(), kWordMarker) == 0) finish();
    if (pieces.empty()) start = times[i].start;
    end = std::max(times[i].end, start);
    pieces.push_back(piece);
    confidence_sum += times[i].confidence;
  }
  if (!pieces.empty()) finish();
  return words;
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
    silence_ms = blank_run_frames_ * geometry_.frame_ms();
    has_text = segment_has_text_;
  } else {
    segment_has_text_ = true;
    blank_run_frames_ = 0;
  }
  if (endpoint_->Check(silence_ms, segment_frames_ * geometry_.frame_ms(), has_text)) {
    CommitCurrentBeamAsSegment();
  }
}

void OrvaneModule::CommitCurrentBeamAsSegment() {
  if (!search_) return;
  std::string text = HypothesisText();
  if (!text.empty()) {
    // A segment already listed as the tail of a final document is not listed twice.
    if (text != tail_written_text_) pending_segments_.push_back(tracker_->Build(text, HypothesisWords()));
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
