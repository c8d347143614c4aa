// The module contract: the abstract processing stage of a pipeline and the records that travel
// through its hooks.
#ifndef ORVANE_MODULE_H_
#define ORVANE_MODULE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

class ModelManager;
class Engine;
class ResultBuilder;

// What Init receives for one pipeline entry. The built-in modules read neither field.
struct ModuleConfig {
  std::string json;             // configuration text given with the module, carried unparsed
  float sample_rate = 16000.0f; // rate at which audio reaches the modules, Hz
};

// One block of mono audio at 16 kHz. The samples are borrowed: they belong to the caller of the
// session's accept-waveform call (or to its resampler) and are valid only during OnFrame.
struct AudioFrame {
  const float* samples = nullptr;  // nominally -1..1 (16-bit input divided by 32768)
  uint64_t num_samples = 0;        // may be 0
  float sample_rate = 16000.0f;    // always 16000; other rates are resampled first
  uint64_t start_sample = 0;       // index of the first sample in the session's 16 kHz stream
};

// One word of a segment (a syllable of Vietnamese text) with its time.
struct WordTiming {
  std::string text;         // UTF-8
  double start = 0.0;       // same unit as the segment's times
  double end = 0.0;
  float confidence = 0.0f;  // 0 or less: unknown, not written
};

// One recognised stretch of text as the result document stores it.
struct TextSegment {
  std::string text;         // UTF-8
  double start = 0.0;       // unit chosen by the module that appends the segment
  double end = 0.0;
  float confidence = 0.0f;  // 0 or less: unknown, not written
  std::string speaker;      // empty: none, not written
  std::vector<WordTiming> words;  // in order; empty: not written
};

// Argument types of OnFeature / OnLogits / OnSegment. Nothing in the library builds them yet;
// their data is borrowed for the duration of the call, row-major.
struct FeatureFrame {
  const float* data = nullptr;  // [num_frames, dim]
  int32_t num_frames = 0;
  int32_t dim = 0;
  int64_t start_frame = 0;
};

struct LogitsFrame {
  const float* data = nullptr;  // [num_frames, vocab_size]
  int32_t num_frames = 0;
  int32_t vocab_size = 0;
  int64_t start_frame = 0;
};

struct Segment {
  int64_t start_frame = 0;  // model output frames
  int64_t end_frame = 0;
  std::string text;
};

// Abstract processing stage. Always held through a std::unique_ptr<Module>: the pipeline owns the
// instance the registry created, each session owns the clones it made. An instance is used by one
// session at a time; the session serialises all calls, so modules need no lock of their own.
class ORVANE_EXPORT Module {
 public:
  virtual ~Module();

  // Static NUL-terminated texts: the registered name and the module's version.
  virtual const char* name() const = 0;
  virtual const char* version() const = 0;

  // Called by the pipeline's Build, possibly more than once. The model manager and the engine are
  // owned by the pipeline and outlive the module's use of them; a module may keep the pointers.
  virtual Status Init(const ModuleConfig& config, ModelManager* models, Engine* engine) = 0;

  // A fresh instance ready for audio without another Init (it carries over what Init set up),
  // with empty per-stream state. An empty pointer means the module cannot be cloned: sessions then
  // run without it (they log a warning).
  virtual std::unique_ptr<Module> Clone() const;

  // Forgets the per-stream state.
  virtual void Reset();

  // Hooks. `result` is the calling session's document; the base versions do nothing.
  virtual void OnFrame(const AudioFrame& frame, ResultBuilder* result);
  virtual void OnFeature(const FeatureFrame& frame, ResultBuilder* result);
  virtual void OnLogits(const LogitsFrame& frame, ResultBuilder* result);
  virtual void OnSegment(const Segment& segment, ResultBuilder* result);
  virtual void OnText(const TextSegment& segment, ResultBuilder* result);
  virtual void OnFinalize(ResultBuilder* result);

  // Capability queries; all false in the base class.
  virtual bool produces_features() const;
  virtual bool produces_logits() const;
  virtual bool produces_text() const;
  virtual bool consumes_features() const;
  virtual bool consumes_logits() const;
  virtual bool consumes_text() const;
};

}  // namespace orvane

#endif  // ORVANE_MODULE_H_
