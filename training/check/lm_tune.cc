// lm_tune: tunes the language-model weight, syllable bonus and beam of the library's beam search on
// a dev manifest. The acoustic model runs once per utterance through the library's own recogniser
// (OrvaneModule, whose engine is wrapped to keep the scores it returns); then every setting given
// decodes all utterances with the library's CtcBeamSearch and SyllableScorer, and the syllable error
// rate is printed per text source (the source is the part of the utterance id after its first "_").
// The scores are cached in MANIFEST.scores (delete it when the model or the manifest changes).
//
//   lm_tune MANIFEST.tsv LM.bin WEIGHT:BONUS:BEAM [WEIGHT:BONUS:BEAM ...]
//
// Build (after building the library in ../build):
//   g++ -std=c++17 -O2 -I../include -I../src check/lm_tune.cc ../build/liborvane_internal.a \
//       -L../third_party/onnxruntime/lib -lonnxruntime -lpthread -o work/lm_tune \
//       -Wl,-rpath,$(cd ../third_party/onnxruntime/lib && pwd)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "asr/syllable_lm.h"
#include "asr/syllable_scorer.h"
#include "orvane/audio_io.h"
#include "orvane/ctc_beam_search.h"
#include "orvane/engine_factory.h"
#include "orvane/feature_pipeline.h"
#include "orvane/logger.h"
#include "orvane/orvane_module.h"
#include "orvane/post_processor.h"

namespace {

using orvane::Status;
using orvane::Tensor;

// Forwards to the real engine and keeps output 0 of every run.
class RecordingEngine : public orvane::Engine {
 public:
  explicit RecordingEngine(std::unique_ptr<orvane::Engine> inner) : inner_(std::move(inner)) {}
  const char* backend_name() const override { return inner_->backend_name(); }
  Status LoadModel(const std::string& path) override { return inner_->LoadModel(path); }
  Status LoadModelFromBuffer(const void* data, size_t size) override {
    return inner_->LoadModelFromBuffer(data, size);
  }
  Status Run(const std::vector<Tensor>& inputs, std::vector<Tensor>* outputs) override {
    Status s = inner_->Run(inputs, outputs);
    if (s.ok() && !outputs->empty()) runs.push_back((*outputs)[0]);
    return s;
  }
  std::vector<Tensor> runs;

 private:
  std::unique_ptr<orvane::Engine> inner_;
};

struct Utterance {
  std::string source;
  std::vector<std::string> ref;
  std::vector<float> logits;  // frames x width
  int frames = 0;
  int width = 0;
};

std::vector<std::string> Split(const std::string& s) {
  std::istringstream in(s);
  return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
}

int EditDistance(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<int> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = static_cast<int>(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1])});
    }
    prev.swap(cur);
  }
  return prev[b.size()];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: lm_tune MANIFEST.tsv LM.bin WEIGHT:BONUS:BEAM ...\n");
    return 2;
  }
  orvane::Logger::Instance().SetLevel(orvane::Warn);
  RecordingEngine engine(orvane::EngineFactory::Create(1));
  orvane::OrvaneModule module;
  orvane::ModuleConfig config;
  config.json = "{\"lm\":false}";
  if (!module.Init(config, nullptr, &engine).ok() || !module.model_loaded()) {
    std::fprintf(stderr, "cannot load the embedded model\n");
    return 1;
  }
  std::vector<Utterance> utts;
  // Scores are kept next to the manifest (MANIFEST.scores) and reused while the manifest is older.
  const std::string cache = std::string(argv[1]) + ".scores";
  std::ifstream cached(cache, std::ios::binary);
  int32_t count = 0;
  if (cached && cached.read(reinterpret_cast<char*>(&count), 4)) {
    for (int32_t i = 0; i < count; ++i) {
      Utterance u;
      int32_t n = 0;
      cached.read(reinterpret_cast<char*>(&n), 4);
      u.source.resize(n);
      cached.read(&u.source[0], n);
      cached.read(reinterpret_cast<char*>(&n), 4);
      std::string ref(n, ' ');
      cached.read(&ref[0], n);
      u.ref = Split(ref);
      cached.read(reinterpret_cast<char*>(&u.frames), 4);
      cached.read(reinterpret_cast<char*>(&u.width), 4);
      u.logits.resize(static_cast<size_t>(u.frames) * u.width);
      cached.read(reinterpret_cast<char*>(u.logits.data()), u.logits.size() * 4);
      utts.push_back(std::move(u));
    }
  }
  std::ifstream manifest(utts.empty() ? argv[1] : "");
  std::string line;
  while (std::getline(manifest, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string x;
    while (std::getline(ss, x, '\t')) f.push_back(x);
    if (f.size() < 8) continue;
    orvane::AudioClip clip;
    if (!orvane::AudioIo::ReadWav(f[1], &clip).ok()) continue;
    Utterance u;
    const size_t us = f[0].find('_');
    u.source = us == std::string::npos ? "?" : f[0].substr(us + 1);
    u.ref = Split(f[7]);
    orvane::FeaturePipeline fp{orvane::FbankOptions()};
    fp.AcceptWaveform(clip.samples.data(), clip.samples.size());
    const int total = static_cast<int>(fp.num_frames_ready());
    engine.runs.clear();
    module.Reset();
    orvane::AudioFrame frame;
    frame.samples = clip.samples.data();
    frame.num_samples = clip.samples.size();
    module.OnFrame(frame, nullptr);
    const size_t full = engine.runs.size();
    module.OnFinalize(nullptr);
    for (size_t r = 0; r < engine.runs.size(); ++r) {
      const Tensor& t = engine.runs[r];
      const int rows_all = static_cast<int>(t.shape[t.shape.size() - 2]);
      u.width = static_cast<int>(t.shape.back());
      int rows = rows_all;
      if (r >= full) rows = std::min(rows_all, (total - 43 * static_cast<int>(full) + 3) / 4);
      u.logits.insert(u.logits.end(), t.data.begin(), t.data.begin() + static_cast<size_t>(rows) * u.width);
      u.frames += rows;
    }
    utts.push_back(std::move(u));
  }
  std::fprintf(stderr, "%zu utterances\n", utts.size());
  if (!cached) {
    std::ofstream out(cache, std::ios::binary);
    count = static_cast<int32_t>(utts.size());
    out.write(reinterpret_cast<const char*>(&count), 4);
    for (const Utterance& u : utts) {
      std::string ref;
      for (const std::string& w : u.ref) ref += w + " ";
      int32_t n = static_cast<int32_t>(u.source.size());
      out.write(reinterpret_cast<const char*>(&n), 4);
      out.write(u.source.data(), n);
      n = static_cast<int32_t>(ref.size());
      out.write(reinterpret_cast<const char*>(&n), 4);
      out.write(ref.data(), n);
      out.write(reinterpret_cast<const char*>(&u.frames), 4);
      out.write(reinterpret_cast<const char*>(&u.width), 4);
      out.write(reinterpret_cast<const char*>(u.logits.data()), u.logits.size() * 4);
    }
  }

  std::ifstream lmf(argv[2], std::ios::binary);
  std::string lm_bytes((std::istreambuf_iterator<char>(lmf)), std::istreambuf_iterator<char>());
  std::shared_ptr<const orvane::SyllableLm> lm;
  Status s = orvane::SyllableLm::Open(lm_bytes.data(), lm_bytes.size(), true, &lm);
  if (!s.ok()) {
    std::fprintf(stderr, "%s\n", s.message.c_str());
    return 1;
  }
  orvane::PostProcessor post;
  for (int a = 3; a < argc; ++a) {
    double weight = 0, bonus = 0;
    int beam = 10;
    if (std::sscanf(argv[a], "%lf:%lf:%d", &weight, &bonus, &beam) != 3) continue;
    std::shared_ptr<const orvane::SyllableScorer> scorer;
    if (weight != 0 || bonus != 0) {
      orvane::SyllableScorer::Create(lm, module.units(), weight, bonus, &scorer);
    }
    orvane::CtcBeamSearchConfig sc;
    sc.beam_size = beam;
    orvane::CtcBeamSearch search(sc);
    std::map<std::string, std::pair<int, int>> err;  // source -> errors, reference syllables
    for (const Utterance& u : utts) {
      search.Reset();
      search.SetContext(scorer, nullptr);
      for (int t = 0; t < u.frames; ++t) {
        search.Step(u.logits.data() + static_cast<size_t>(t) * u.width, std::min(u.width, 4972));
      }
      std::vector<std::string> pieces;
      for (int id : search.Hypothesis()) pieces.push_back(module.units().At(id));
      const int e = EditDistance(Split(post.Detokenize(pieces)), u.ref);
      for (const std::string& key : {u.source, std::string("all")}) {
        err[key].first += e;
        err[key].second += static_cast<int>(u.ref.size());
      }
    }
    std::printf("%-14s", argv[a]);
    for (const auto& kv : err) {
      std::printf(" %s=%.2f", kv.first.c_str(), 100.0 * kv.second.first / std::max(1, kv.second.second));
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  return 0;
}
