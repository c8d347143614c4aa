// The recognition module: chunking, carried model state, Flush, endpoint commits, segment times and
// confidence, Clone and Reset, with the generated test model on the ONNX engine; guarded reads of
// the logits, row widths, engine failures and bad samples with a scripted engine.
#include "orvane/orvane_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "engine/onnx_engine.h"
#include "orvane/audio_resampler.h"
#include "orvane/embedded_assets.h"
#include "orvane/feature_pipeline.h"
#include "orvane/logger.h"
#include "orvane/noop_engine.h"
#include "orvane/result_builder.h"
#include "test_models.h"

namespace orvane {
namespace {

namespace tm = test_models;

constexpr size_t kShift = 160;   // samples per feature frame shift
constexpr size_t kWindow = 400;  // samples per feature frame
constexpr size_t kChunk = 43;    // feature frames per chunk

size_t SamplesForFrames(size_t frames) { return frames == 0 ? 0 : kShift * (frames - 1) + kWindow; }

float NextNoise(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return static_cast<float>(*state >> 8) / 8388608.0f - 1.0f;  // uniform in [-1, 1)
}

// Audio for `frames` feature frames (default: whole chunks covering the plan) whose output frame n
// (chunk n / 10, row n % 10) is silent (plan 0) or noise of the given amplitude (plan 2 or 3).
// The noise of output frame n starts 240 samples into its first feature frame and ends where the
// next output frame's first feature frame starts, so no neighbouring output frame sees it.
std::vector<float> PlanAudioWith(const std::vector<int>& plan, size_t frames, float moderate,
                                 float loud) {
  if (frames == 0) frames = kChunk * ((plan.size() + 9) / 10);
  std::vector<float> audio(SamplesForFrames(frames), 0.0f);
  uint32_t seed = 7;
  for (size_t n = 0; n < plan.size(); ++n) {
    if (plan[n] == 0) continue;
    const float amp = plan[n] == tm::kLoudId ? loud : moderate;
    const size_t base = kChunk * (n / 10) + 4 * (n % 10);
    const size_t end = std::min((base + 4) * kShift, audio.size());
    for (size_t i = base * kShift + 240; i < end; ++i) audio[i] = amp * NextNoise(&seed);
  }
  return audio;
}

// Mirror of recognition.onnx on this library's features: the id of every output frame the module
// decodes (full chunks, then ceil(a / 4) frames of a zero-padded partial chunk of a frames).
std::vector<float> MeansOf(const std::vector<float>& audio) {
  FeaturePipeline fbank;
  fbank.AcceptWaveformNormalized(audio.data(), audio.size());
  std::vector<float> f = fbank.PopFrames(fbank.num_frames_ready());
  const size_t frames = f.size() / 80;
  const size_t chunks = (frames + kChunk - 1) / kChunk;
  f.resize(chunks * kChunk * 80, 0.0f);
  std::vector<float> means;
  for (size_t c = 0; c < chunks; ++c) {
    const size_t left = std::min(kChunk, frames - c * kChunk);
    const size_t rows = left == kChunk ? 10 : (left + 3) / 4;
    for (size_t t = 0; t < rows; ++t) {
      double sum = 0.0;
      for (size_t k = 0; k < 320; ++k) sum += f[(c * kChunk + 4 * t) * 80 + k];
      means.push_back(static_cast<float>(sum / 320.0));
    }
  }
  return means;
}

std::vector<int> PredictIds(const std::vector<float>& audio) {
  std::vector<int> ids;
  for (float e : MeansOf(audio)) {
    ids.push_back(e > tm::kLoudThreshold ? tm::kLoudId
                                         : (e > tm::kModerateThreshold ? tm::kModerateId : 0));
  }
  return ids;
}

// Noise amplitudes (normalised audio) whose output frames average 15 and 21: well inside the
// model's MODERATE and LOUD bands. Log energies move by 2 ln(a'/a) with the amplitude.
struct Levels {
  float moderate;
  float loud;
};
const Levels& Calibrated() {
  static const Levels levels = [] {
    const float a0 = 0.01f;
    const float m0 = MeansOf(PlanAudioWith({tm::kLoudId}, 0, a0, a0))[0];
    return Levels{a0 * std::exp((15.0f - m0) / 2.0f), a0 * std::exp((21.0f - m0) / 2.0f)};
  }();
  return levels;
}

std::vector<float> PlanAudio(const std::vector<int>& plan, size_t frames = 0) {
  return PlanAudioWith(plan, frames, Calibrated().moderate, Calibrated().loud);
}

// Plan helpers: `n` output frames of one id.
std::vector<int> Frames(int id, int n) { return std::vector<int>(n, id); }
std::vector<int> Cat(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

void Feed(OrvaneModule* m, const std::vector<float>& audio, ResultBuilder* doc,
          size_t block = 1000) {
  for (size_t i = 0; i < audio.size(); i += block) {
    const size_t n = std::min(block, audio.size() - i);
    m->OnFrame(AudioFrame{audio.data() + i, n, 16000.0f, i}, doc);
  }
}

struct SegmentView {
  double start;
  double end;
  std::string text;
  double confidence;  // 0 when absent
};

std::vector<SegmentView> Segments(const std::string& json) {
  static const std::regex re(
      R"re(\{"start":([^,]+),"end":([^,]+),"text":"([^"]*)"(?:,"confidence":([^,}]+))?)re");
  std::vector<SegmentView> out;
  for (auto it = std::sregex_iterator(json.begin(), json.end(), re); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    out.push_back({std::stod(m[1]), std::stod(m[2]), m[3], m[4].matched ? std::stod(m[4]) : 0.0});
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------------------------------------
// Without a model.

TEST(OrvaneModuleNoModelTest, StaysSilentAndReportsThePlaceholder) {
  Logger::Instance().SetLevel(Info);
  NoopEngine noop;
  OrvaneModule embedded;
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(embedded.Init(ModuleConfig{}, nullptr, &noop).ok());
  const std::string log = ::testing::internal::GetCapturedStderr();
  if (EmbeddedAsrVocab().second == 0) {
    EXPECT_NE(log.find("[orvane][WARN][orvane] no embedded vocab; orvane will return empty results"),
              std::string::npos) << log;
  }
  OrvaneModule supplied;
  ::testing::internal::CaptureStderr();
  const Status s = supplied.InitWithModel(ModuleConfig{}, &noop, "m", 1, "<blank> 0\na 1\n");
  EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                "[orvane][WARN][orvane] engine LoadModelFromBuffer failed: "
                "engine: LoadModelFromBuffer not supported by this backend"),
            std::string::npos);
  EXPECT_EQ(s.code, -6);
  EXPECT_EQ(supplied.InitWithModel(ModuleConfig{}, &noop, "m", 1, "").code, -1);

  for (OrvaneModule* m : {&embedded, &supplied}) {
    EXPECT_FALSE(m->model_loaded());
    ResultBuilder doc;
    std::unique_ptr<Module> clone = m->Clone();
    const std::vector<float> audio(16000, 0.5f);
    clone->OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, &doc);
    EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}");
    clone->OnFinalize(&doc);
    clone->OnFinalize(nullptr);
    EXPECT_EQ(doc.FinalJson(), "{\"text\":\"[orvane: model not loaded]\",\"is_final\":true}");
  }
}

// ---------------------------------------------------------------------------------------------
// The generated recognition model on the ONNX engine.

class OrvaneModuleModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::Instance().SetLevel(Warn);
    engine_ = CreateOnnxEngine();
#if defined(ORVANE_TEST_EXPECT_ONNX)
    ASSERT_NE(engine_, nullptr);
#endif
    if (!engine_) GTEST_SKIP() << "built without ONNX Runtime";
    if (!tm::Available()) GTEST_SKIP() << "test models were not generated (no Python onnx)";
    InitModule(&module_);
  }
  void TearDown() override { Logger::Instance().SetLevel(Info); }

  void InitModule(OrvaneModule* m) {
    const std::string model = ReadFile(tm::Path("recognition.onnx"));
    const Status s = m->InitWithModel(ModuleConfig{}, engine_.get(), model.data(), model.size(),
                                      ReadFile(tm::Path("recognition_vocab.txt")));
    ASSERT_TRUE(s.ok()) << s.message;
    ASSERT_TRUE(m->model_loaded());
  }

  // Runs the whole plan through a fresh module and returns the final document.
  std::string Transcribe(const std::vector<int>& plan, size_t frames = 0) {
    const std::vector<float> audio = PlanAudio(plan, frames);
    OrvaneModule m;
    InitModule(&m);
    ResultBuilder doc;
    Feed(&m, audio, &doc);
    m.OnFinalize(&doc);
    return doc.FinalJson();
  }

  std::unique_ptr<Engine> engine_;
  OrvaneModule module_;
};

TEST_F(OrvaneModuleModelTest, AudioDrivesTheModelAsPlanned) {
  const std::vector<int> plan = Cat({Frames(0, 3), Frames(3, 4), Frames(0, 2), Frames(2, 5), Frames(0, 6)});
  ASSERT_EQ(PredictIds(PlanAudio(plan)), plan);
  ASSERT_LE(Calibrated().loud, 1.0f);
}

TEST_F(OrvaneModuleModelTest, DecodesOnlyWholeChunksOf43Frames) {
  const std::vector<float> audio = PlanAudio(Frames(3, 20), 86);
  ResultBuilder doc;
  module_.OnFrame(AudioFrame{audio.data(), SamplesForFrames(42), 16000.0f, 0}, &doc);
  EXPECT_EQ(module_.chunk_offset(), 0);
  EXPECT_EQ(module_.BuildTranscript(), "");
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}");
  // One more shift completes frame 43.
  module_.OnFrame(AudioFrame{audio.data() + SamplesForFrames(42), kShift, 16000.0f, 0}, &doc);
  EXPECT_EQ(module_.chunk_offset(), 10);
  EXPECT_EQ(module_.BuildTranscript(), "chao");
  // Two chunks arriving in one block are both run.
  OrvaneModule other;
  InitModule(&other);
  other.OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, nullptr);
  EXPECT_EQ(other.chunk_offset(), 20);
}

TEST_F(OrvaneModuleModelTest, CarriesTheModelStateFromChunkToChunk) {
  Feed(&module_, PlanAudio(Frames(0, 30)), nullptr, 777);
  // The model returns att + 1 and cnn + offset: three runs with offsets 0, 10 and 20.
  ASSERT_EQ(module_.states()[0].size(), static_cast<size_t>(tm::kAttCacheSize));
  ASSERT_EQ(module_.states()[1].size(), static_cast<size_t>(tm::kCnnCacheSize));
  for (size_t i : {size_t{0}, module_.states()[0].size() - 1}) {
    EXPECT_EQ(module_.states()[0][i], 3.0f);
  }
  for (size_t i : {size_t{0}, module_.states()[1].size() - 1}) EXPECT_EQ(module_.states()[1][i], 30.0f);
  // The padded last chunk does not advance the state.
  Feed(&module_, std::vector<float>(kShift * 20, 0.0f), nullptr);
  module_.Flush();
  EXPECT_EQ(module_.chunk_offset(), 30);
  EXPECT_EQ(module_.states()[0][0], 3.0f);
}

// After speech, the 25th consecutive silent output frame ends the segment; the 24th does not.
TEST_F(OrvaneModuleModelTest, CommitsAfter25SilentFrames) {
  for (int silent : {24, 25}) {
    const std::vector<int> plan = Cat({Frames(3, 5), Frames(0, silent), Frames(3, 5), Frames(0, 3)});
    const std::string json = Transcribe(plan);
    const bool committed = silent == 25;
    EXPECT_NE(json.find(committed ? "\"text\":\"chao\\nchao\"" : "\"text\":\"chao chao\""),
              std::string::npos) << silent << ": " << json;
    EXPECT_EQ(Segments(json).size(), committed ? 2u : 1u) << json;
  }
}

TEST_F(OrvaneModuleModelTest, SegmentsCarryTimesAndConfidence) {
  // Speech in output frames 12..17 (chunk 1, rows 2..7), silence until a commit, then moderate
  // speech in the first two rows of a partial chunk of 10 feature frames that only Flush decodes.
  const std::vector<int> plan = Cat({Frames(0, 12), Frames(3, 6), Frames(0, 32), Frames(2, 2), Frames(0, 1)});
  ASSERT_EQ(PredictIds(PlanAudio(plan, 5 * kChunk + 10)), plan);
  const std::string json = Transcribe(plan, 5 * kChunk + 10);
  EXPECT_NE(json.find("\"text\":\"chao\\nxin\""), std::string::npos) << json;
  const std::vector<SegmentView> seg = Segments(json);
  ASSERT_EQ(seg.size(), 2u) << json;
  EXPECT_EQ(seg[0].text, "chao");
  EXPECT_NEAR(seg[0].start, (43 + 2 * 4) * 0.01, 1e-9);  // feature frame 51
  EXPECT_NEAR(seg[0].end, (43 + 8 * 4) * 0.01, 1e-9);    // end of row 7
  EXPECT_GT(seg[0].confidence, 0.99);
  EXPECT_LE(seg[0].confidence, 1.0);
  EXPECT_EQ(seg[1].text, "xin");
  EXPECT_NEAR(seg[1].start, 5 * 43 * 0.01, 1e-9);
  EXPECT_NEAR(seg[1].end, (5 * 43 + 8) * 0.01, 1e-9);
}

// Each word spans the frames where its unit was the best token: "chao" in rows 2..3 and "xin" in
// rows 6..8 of chunk 1.
TEST_F(OrvaneModuleModelTest, SegmentsListTheirWordsWithTimes) {
  const std::vector<int> plan =
      Cat({Frames(0, 12), Frames(3, 2), Frames(0, 2), Frames(2, 3), Frames(0, 31)});
  ASSERT_EQ(PredictIds(PlanAudio(plan)), plan);
  ResultBuilder doc;
  Feed(&module_, PlanAudio(plan), &doc);
  module_.OnFinalize(&doc);
  const RecognitionResult result = doc.Final();
  ASSERT_EQ(result.segments.size(), 1u) << result.ToJson();
  const std::vector<WordTiming>& words = result.segments[0].words;
  ASSERT_EQ(words.size(), 2u) << result.ToJson();
  EXPECT_EQ(words[0].text, "chao");
  EXPECT_NEAR(words[0].start, (43 + 2 * 4) * 0.01, 1e-9);
  EXPECT_NEAR(words[0].end, (43 + 4 * 4) * 0.01, 1e-9);
  EXPECT_GT(words[0].confidence, 0.99f);
  EXPECT_EQ(words[1].text, "xin");
  EXPECT_NEAR(words[1].start, (43 + 6 * 4) * 0.01, 1e-9);
  EXPECT_NEAR(words[1].end, (43 + 9 * 4) * 0.01, 1e-9);
  EXPECT_EQ(result.segments[0].start, words[0].start);
  EXPECT_EQ(result.segments[0].end, words[1].end);
}

TEST_F(OrvaneModuleModelTest, TextKeepsFourCommittedSegmentsButSegmentsKeepAll) {
  const std::vector<int> gap = Frames(0, 26);
  const std::vector<int> plan =
      Cat({Frames(2, 2), gap, Frames(3, 2), gap, Frames(2, 2), Frames(3, 2), gap, Frames(3, 2), Frames(2, 2), gap,
           Frames(2, 1), Frames(0, 1), Frames(2, 1), gap, Frames(3, 3)});
  const std::string json = Transcribe(plan);
  EXPECT_NE(json.find("\"text\":\"chao\\nxin chao\\nchao xin\\nxin xin\\nchao\""),
            std::string::npos) << json;
  const std::vector<SegmentView> seg = Segments(json);
  const std::vector<std::string> texts = {"xin", "chao", "xin chao", "chao xin", "xin xin", "chao"};
  ASSERT_EQ(seg.size(), texts.size()) << json;
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(seg[i].text, texts[i]);
    if (i > 0) EXPECT_GT(seg[i].start, seg[i - 1].end);
  }
}

TEST_F(OrvaneModuleModelTest, PartialTextOnlyOnceThereIsText) {
  const std::vector<float> audio = PlanAudio(Cat({Frames(0, 20), Frames(2, 10)}));
  const std::vector<float> silent(audio.begin(), audio.begin() + SamplesForFrames(2 * kChunk));
  const std::vector<float> rest(audio.begin() + silent.size(), audio.end());
  ResultBuilder doc;
  Feed(&module_, silent, &doc);
  EXPECT_EQ(module_.chunk_offset(), 20);
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}");
  Feed(&module_, rest, &doc);
  EXPECT_EQ(doc.SnapshotJson(), "{\"text\":\"xin\",\"partial\":\"xin\",\"is_final\":false}");
}

TEST_F(OrvaneModuleModelTest, ClonesRecogniseIndependently) {
  Feed(&module_, PlanAudio(Frames(3, 10)), nullptr);
  std::unique_ptr<Module> base = module_.Clone();
  auto* clone = dynamic_cast<OrvaneModule*>(base.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_TRUE(clone->model_loaded());
  EXPECT_EQ(clone->BuildTranscript(), "");
  EXPECT_EQ(clone->chunk_offset(), 0);
  EXPECT_EQ(clone->states()[0][0], 0.0f);
  Feed(clone, PlanAudio(Frames(2, 10)), nullptr);
  EXPECT_EQ(clone->BuildTranscript(), "xin");
  EXPECT_EQ(module_.BuildTranscript(), "chao");
  EXPECT_EQ(module_.chunk_offset(), 10);
}

TEST_F(OrvaneModuleModelTest, ResetStartsAFreshStreamWithTimesFromZero) {
  const std::vector<int> plan = Cat({Frames(0, 4), Frames(3, 3), Frames(0, 30), Frames(2, 3)});
  const std::string fresh = Transcribe(plan);
  Feed(&module_, PlanAudio(Cat({Frames(2, 3), Frames(0, 40), Frames(3, 10)})), nullptr);
  EXPECT_EQ(module_.committed_texts().size(), 1u);
  module_.Reset();
  EXPECT_TRUE(module_.model_loaded());
  EXPECT_EQ(module_.BuildTranscript(), "");
  EXPECT_EQ(module_.chunk_offset(), 0);
  EXPECT_EQ(module_.states()[0].size(), static_cast<size_t>(tm::kAttCacheSize));
  EXPECT_EQ(module_.states()[1].back(), 0.0f);
  ResultBuilder doc;
  Feed(&module_, PlanAudio(plan), &doc);
  module_.OnFinalize(&doc);
  EXPECT_EQ(doc.FinalJson(), fresh);
  // A second finalisation lists the last segment once.
  module_.OnFinalize(&doc);
  EXPECT_EQ(doc.FinalJson(), fresh);
}

TEST_F(OrvaneModuleModelTest, BadSamplesDoNotPoisonTheStream) {
  const std::vector<int> plan = Cat({Frames(3, 10), Frames(0, 30), Frames(2, 4)});
  std::vector<float> audio = PlanAudio(plan);
  // Inside the noise of output frames 4, 6, 7 and 8: a feature frame of NaN would read as blank
  // there and split "chao"; with the real model the carried state would spread the damage.
  audio[16 * kShift + 300] = std::numeric_limits<float>::quiet_NaN();
  audio[24 * kShift + 300] = std::numeric_limits<float>::infinity();
  audio[28 * kShift + 300] = -std::numeric_limits<float>::infinity();
  audio[32 * kShift + 300] = 1e30f;
  ResultBuilder doc;
  Feed(&module_, audio, &doc, 333);
  module_.OnFinalize(&doc);
  EXPECT_EQ(doc.FinalJson(), Transcribe(plan));
}

// ---------------------------------------------------------------------------------------------
// A scripted engine: returns rows chosen by the test and records what it was given.

class ScriptedEngine : public Engine {
 public:
  // Output 0 of run `run`; outputs 1 and 2 echo the states.
  std::function<Tensor(int run)> logits;
  std::function<Status(int run)> failure = [](int) { return Status(); };
  size_t num_outputs = 3;
  std::vector<std::vector<float>> chunks;
  std::vector<float> offsets;
  Status load_status;

  const char* backend_name() const override { return "scripted"; }
  Status LoadModel(const std::string&) override { return Status(); }
  Status LoadModelFromBuffer(const void*, size_t) override { return load_status; }
  Status Run(const std::vector<Tensor>& inputs, std::vector<Tensor>* outputs) override {
    const int run = static_cast<int>(chunks.size());
    chunks.push_back(inputs[0].data);
    offsets.push_back(inputs[1].data[0]);
    const Status status = failure(run);
    if (!status.ok()) return status;
    std::vector<Tensor> out = {logits(run), inputs[2], inputs[3]};
    out.resize(num_outputs);
    *outputs = std::move(out);
    return Status();
  }
};

// A [1, T, width] logits tensor whose row t comes from `row(t)`.
Tensor Rows(int frames, int width, const std::function<std::vector<float>(int)>& row) {
  Tensor t;
  t.shape = {1, frames, width};
  for (int i = 0; i < frames; ++i) {
    const std::vector<float> r = row(i);
    t.data.insert(t.data.end(), r.begin(), r.end());
  }
  return t;
}

std::vector<float> OneHot(int width, int id) {
  std::vector<float> row(width, -30.0f);
  row[id] = 0.0f;
  return row;
}

// "<blank>", then "\u2581w1" ... "\u2581w<n-1>".
std::string WordVocab(int n) {
  std::string text = "<blank> 0\n";
  for (int i = 1; i < n; ++i) text += "\u2581w" + std::to_string(i) + " " + std::to_string(i) + "\n";
  return text;
}

class OrvaneModuleScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::Instance().SetLevel(Info);
    ::testing::internal::CaptureStderr();
    const Status s = module_.InitWithModel(ModuleConfig{}, &engine_, "abc", 3, WordVocab(64));
    log_ = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(s.ok()) << s.message;
  }

  // Silence that completes `frames` more feature frames, fed in one block.
  void FeedFrames(size_t frames) {
    frames_fed_ += frames;
    const std::vector<float> audio(SamplesForFrames(frames_fed_) - samples_fed_, 0.0f);
    samples_fed_ += audio.size();
    module_.OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, &doc_);
  }

  ScriptedEngine engine_;
  OrvaneModule module_;
  ResultBuilder doc_;
  std::string log_;
  size_t frames_fed_ = 0;
  size_t samples_fed_ = 0;
};

TEST_F(OrvaneModuleScriptedTest, InitLogsWhatItLoaded) {
  EXPECT_NE(log_.find("[orvane][INFO][orvane] vocab loaded: 64 tokens\n"), std::string::npos);
  EXPECT_NE(log_.find("[orvane][INFO][orvane] engine loaded (scripted): supplied model, 3 bytes\n"),
            std::string::npos) << log_;
}

// Refused decoding members fail Init with the embedded model too, and leave nothing loaded.
TEST_F(OrvaneModuleScriptedTest, RefusedDecodingMembersLeaveNoModel) {
  OrvaneModule m;
  ModuleConfig config;
  for (const char* json : {"{\"lm\": \"\"}", "{\"beam_size\": 0}"}) {
    config.json = json;
    ::testing::internal::CaptureStderr();
    const Status s = m.Init(config, nullptr, &engine_);
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(s.ok()) << json;
    EXPECT_FALSE(m.model_loaded()) << json;
  }
  config.json = "{\"lm\": false}";
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(m.Init(config, nullptr, &engine_).ok());
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(m.model_loaded());
}

// A partial chunk of a frames decodes ceil(a / 4) rows, at the current offset and states.
TEST_F(OrvaneModuleScriptedTest, FlushDecodesCeilingOfAQuarterOfThePartialChunk) {
  engine_.logits = [](int run) {
    return Rows(10, 64, [run](int t) { return OneHot(64, 10 + 20 * run + t); });
  };
  const size_t a = 9;
  // 43 + a frames need this many samples; the partial chunk's frames are all there.
  const std::vector<float> audio(SamplesForFrames(kChunk + a), 0.0f);
  module_.OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, &doc_);
  ASSERT_EQ(engine_.chunks.size(), 1u);
  module_.OnFinalize(&doc_);
  ASSERT_EQ(engine_.chunks.size(), 2u);
  EXPECT_EQ(engine_.offsets[1], 10.0f);
  const std::vector<float>& padded = engine_.chunks[1];
  ASSERT_EQ(padded.size(), kChunk * 80);
  EXPECT_NE(padded[a * 80 - 1], 0.0f);
  for (size_t i = a * 80; i < padded.size(); ++i) ASSERT_EQ(padded[i], 0.0f) << i;
  EXPECT_EQ(module_.BuildTranscript(), "w10 w11 w12 w13 w14 w15 w16 w17 w18 w19 w30 w31 w32");
  EXPECT_EQ(module_.chunk_offset(), 10);
  const std::vector<SegmentView> seg = Segments(doc_.FinalJson());
  ASSERT_EQ(seg.size(), 1u);
  EXPECT_NEAR(seg[0].start, 0.0, 1e-9);
  EXPECT_NEAR(seg[0].end, (kChunk + a) * 0.01, 1e-9);  // row 2 would end at 43 + 12
}

TEST_F(OrvaneModuleScriptedTest, ExactlyOneChunkLeavesNothingToFlush) {
  engine_.logits = [](int) { return Rows(10, 64, [](int) { return OneHot(64, 5); }); };
  FeedFrames(kChunk);
  module_.OnFinalize(&doc_);
  EXPECT_EQ(engine_.chunks.size(), 1u);
  EXPECT_NE(doc_.FinalJson().find("\"text\":\"w5\""), std::string::npos);
}

// The search sees the first 4972 scores of a row, the endpoint check all of them. Rows where blank
// leads within 4972 but id 4990 leads overall are blank for the search and speech for the endpoint.
TEST_F(OrvaneModuleScriptedTest, WideRowsFeedTheSearch4972ScoresAndTheEndpointAll) {
  ASSERT_TRUE(module_.InitWithModel(ModuleConfig{}, &engine_, "abc", 3, WordVocab(5000)).ok());
  std::vector<float> hidden(5000, -30.0f);
  hidden[0] = 0.0f;
  hidden[4990] = 1.0f;
  const std::vector<std::vector<int>> speech = {{0, 1, 2, 3, 4}, {}, {}, {5, 6, 7, 8, 9}};
  engine_.logits = [&](int run) {
    return Rows(10, 5000, [&](int t) {
      const auto& s = speech[run];
      return std::find(s.begin(), s.end(), t) != s.end() ? OneHot(5000, 5) : hidden;
    });
  };
  FeedFrames(4 * kChunk);  // 30 hidden rows in a row
  EXPECT_EQ(module_.BuildTranscript(), "w5 w5");
}

// Chunk 1 decodes "cuộc họp" and the onset "b"; chunk 2 brings its rhyme "ạn".
TEST_F(OrvaneModuleScriptedTest, PartialTextHoldsBackAnOnsetUntilItsRhymeArrives) {
  const std::string vocab = "<blank> 0\n\u2581cu 1\n\u1ed9c 2\n\u2581h 3\n\u1ecdp 4\n\u2581b 5\n\u1ea1n 6\n";
  ASSERT_TRUE(module_.InitWithModel(ModuleConfig{}, &engine_, "abc", 3, vocab).ok());
  engine_.logits = [](int run) {
    const std::vector<int> ids = run == 0 ? std::vector<int>{1, 2, 0, 3, 4, 0, 5, 5, 0, 0}
                                          : std::vector<int>{6, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    return Rows(10, 7, [&ids](int t) { return OneHot(7, ids[static_cast<size_t>(t)]); });
  };
  FeedFrames(kChunk);
  EXPECT_EQ(doc_.SnapshotJson(),
            "{\"text\":\"cu\u1ed9c h\u1ecdp\",\"partial\":\"cu\u1ed9c h\u1ecdp\",\"is_final\":false}");
  FeedFrames(kChunk);
  EXPECT_EQ(module_.BuildTranscript(), "cu\u1ed9c h\u1ecdp b\u1ea1n");
}

// A stream cut off after the onset: the final text and its words both end at "họp".
TEST_F(OrvaneModuleScriptedTest, FinalTextAndWordsLeaveOutATrailingOnset) {
  const std::string vocab = "<blank> 0\n\u2581cu 1\n\u1ed9c 2\n\u2581h 3\n\u1ecdp 4\n\u2581b 5\n";
  ASSERT_TRUE(module_.InitWithModel(ModuleConfig{}, &engine_, "abc", 3, vocab).ok());
  engine_.logits = [](int) {
    const std::vector<int> ids = {1, 2, 0, 3, 4, 0, 5, 5, 0, 0};
    return Rows(10, 6, [&ids](int t) { return OneHot(6, ids[static_cast<size_t>(t)]); });
  };
  FeedFrames(kChunk);
  module_.OnFinalize(&doc_);
  const std::string json = doc_.FinalJson();
  EXPECT_EQ(json.rfind("{\"text\":\"cu\u1ed9c h\u1ecdp\",", 0), 0u) << json;
  EXPECT_NE(json.find("\"words\":[{\"text\":\"cu\u1ed9c\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"text\":\"h\u1ecdp\""), std::string::npos) << json;
  EXPECT_EQ(json.find("{\"text\":\"b\""), std::string::npos) << json;
}

// A hot microphone at 44.1 kHz: clipped audio overshoots 1 once resampled to 16 kHz. Halving the
// audio must lower every feature by ln 4 (energies go with the square of the amplitude), however
// loud the samples: no overshooting sample may be mistaken for a 16-bit value and fall silent.
TEST_F(OrvaneModuleScriptedTest, ClippedAudioResampledFrom44kKeepsItsLoudness) {
  engine_.logits = [](int) { return Rows(10, 8, [](int) { return OneHot(8, 0); }); };
  std::vector<float> hot(44100);
  for (size_t i = 0; i < hot.size(); ++i) {
    const double wave = 3.0 * std::sin(2.0 * M_PI * 300.0 * static_cast<double>(i) / 44100.0);
    hot[i] = static_cast<float>(std::max(-1.0, std::min(1.0, wave)));
  }
  AudioResampler resampler(44100, 16000, 16);
  resampler.AcceptWaveform(hot.data(), hot.size());
  resampler.Flush();
  const std::vector<float> loud = resampler.PopAll();
  float peak = 0.0f;
  for (float x : loud) peak = std::max(peak, std::fabs(x));
  ASSERT_GT(peak, 1.0f) << "the resampled audio should overshoot full scale";
  std::vector<float> half = loud;
  for (float& x : half) x *= 0.5f;

  ScriptedEngine other;
  other.logits = engine_.logits;
  OrvaneModule quiet;
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(quiet.InitWithModel(ModuleConfig{}, &other, "abc", 3, WordVocab(8)).ok());
  ::testing::internal::GetCapturedStderr();
  module_.OnFrame(AudioFrame{loud.data(), loud.size(), 16000.0f, 0}, nullptr);
  quiet.OnFrame(AudioFrame{half.data(), half.size(), 16000.0f, 0}, nullptr);
  ASSERT_FALSE(engine_.chunks.empty());
  ASSERT_EQ(engine_.chunks.size(), other.chunks.size());
  size_t compared = 0;
  size_t off = 0;
  for (size_t c = 0; c < other.chunks.size(); ++c) {
    for (size_t k = 0; k < other.chunks[c].size(); ++k) {
      if (other.chunks[c][k] < -23.0f) continue;  // floored filters
      ++compared;
      if (std::fabs(engine_.chunks[c][k] - other.chunks[c][k] - std::log(4.0f)) > 1e-3f) ++off;
    }
  }
  EXPECT_GT(compared, 1000u);
  EXPECT_EQ(off, 0u) << "of " << compared << " features";
}

TEST_F(OrvaneModuleScriptedTest, ConfidenceIsTheMeanBestPosteriorOfNonBlankFrames) {
  engine_.logits = [](int run) {
    return Rows(10, 64, [run](int t) {
      if (run > 0 || t >= 2) return OneHot(64, 0);
      std::vector<float> row(64, -1e4f);
      row[0] = 0.0f;
      row[7] = t == 0 ? std::log(3.0f) : 30.0f;  // posteriors 0.75 and ~1
      return row;
    });
  };
  FeedFrames(3 * kChunk);
  const std::vector<SegmentView> seg = Segments(doc_.SnapshotJson());
  ASSERT_EQ(seg.size(), 1u);
  EXPECT_EQ(seg[0].text, "w7");
  EXPECT_NEAR(seg[0].confidence, 0.875, 1e-5);
  EXPECT_NEAR(seg[0].end, 0.08, 1e-9);
}

TEST_F(OrvaneModuleScriptedTest, DecodesOnlyTheRowsTheEngineReallyReturned) {
  engine_.logits = [](int) {
    Tensor t = Rows(3, 8, [](int r) { return OneHot(8, 4 + r); });
    t.data.resize(3 * 8 + 4, 0.0f);  // three rows and half of a fourth
    t.shape = {1, 10, 8};
    return t;
  };
  ::testing::internal::CaptureStderr();
  FeedFrames(kChunk + 5);
  module_.Flush();
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(module_.BuildTranscript(), "w4 w5 w6 w4 w5");
  EXPECT_NE(log.find("[orvane][WARN][orvane] logits hold 3 of 10 frames; decoding those"),
            std::string::npos) << log;
}

// Failed chunks are consumed and logged, leave the state and offset alone, and still take time.
TEST_F(OrvaneModuleScriptedTest, FailedChunksAreLoggedAndSkipped) {
  engine_.failure = [](int run) { return run == 0 ? Status(-6, "boom") : Status(); };
  engine_.logits = [](int run) {
    if (run == 1) return Tensor{{}, {}};
    if (run == 2) return Rows(10, 8, [](int) { return OneHot(8, 3); });
    Tensor t = Rows(10, 8, [](int) { return OneHot(8, 3); });
    if (run == 3) t.shape = {10, 8};
    return t;
  };
  engine_.num_outputs = 3;
  ::testing::internal::CaptureStderr();
  FeedFrames(kChunk);
  engine_.num_outputs = 2;
  FeedFrames(kChunk);
  engine_.num_outputs = 3;
  FeedFrames(kChunk);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("[orvane][WARN][orvane] engine Run failed: boom\n"), std::string::npos);
  EXPECT_NE(log.find("[orvane][WARN][orvane] engine returned 2 outputs\n"), std::string::npos);
  EXPECT_EQ(module_.chunk_offset(), 10);
  EXPECT_EQ(engine_.offsets, (std::vector<float>{0.0f, 0.0f, 0.0f}));
  ::testing::internal::CaptureStderr();
  FeedFrames(kChunk);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                "[orvane][WARN][orvane] unexpected logits shape\n"),
            std::string::npos);
  EXPECT_EQ(module_.chunk_offset(), 10);
  module_.OnFinalize(&doc_);
  const std::vector<SegmentView> seg = Segments(doc_.FinalJson());
  ASSERT_EQ(seg.size(), 1u);
  EXPECT_NEAR(seg[0].start, 2 * kChunk * 0.01, 1e-9);  // the third chunk of the stream
}

TEST_F(OrvaneModuleScriptedTest, TheFilterbankNeverSeesBadSamples) {
  engine_.logits = [](int) { return Rows(10, 8, [](int) { return OneHot(8, 0); }); };
  std::vector<float> audio(SamplesForFrames(2 * kChunk), 0.25f);
  audio[100] = std::numeric_limits<float>::quiet_NaN();
  audio[5000] = std::numeric_limits<float>::infinity();
  audio[9000] = -1e30f;
  module_.OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, &doc_);
  ASSERT_EQ(engine_.chunks.size(), 2u);
  for (const std::vector<float>& chunk : engine_.chunks) {
    for (float v : chunk) ASSERT_TRUE(std::isfinite(v));
  }
  EXPECT_TRUE(std::isnan(audio[100]));  // the caller's samples are not written to
}

TEST_F(OrvaneModuleScriptedTest, FinalizeWithoutADocumentKeepsSegmentsForLater) {
  engine_.logits = [](int run) {
    return Rows(10, 8, [run](int t) { return OneHot(8, run == 0 && t < 3 ? 4 : 0); });
  };
  const std::vector<float> audio(SamplesForFrames(4 * kChunk), 0.0f);
  module_.OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, nullptr);
  EXPECT_EQ(module_.committed_texts(), std::vector<std::string>{"w4"});
  module_.OnFinalize(nullptr);
  module_.OnFinalize(&doc_);
  const std::vector<SegmentView> seg = Segments(doc_.FinalJson());
  ASSERT_EQ(seg.size(), 1u);
  EXPECT_EQ(seg[0].text, "w4");
}

}  // namespace
}  // namespace orvane
