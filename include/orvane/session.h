// Session: one audio stream through a built pipeline, with its own module clones, an optional
// resampler to 16 kHz and one result document.
#ifndef ORVANE_SESSION_H_
#define ORVANE_SESSION_H_

#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/pipeline.h"
#include "orvane/recognition_result.h"
#include "orvane/status.h"

namespace orvane {

// Every public operation holds the session's lock, so calls on one session from several threads
// are serialised and its modules never run concurrently. Different sessions run in parallel.
class ORVANE_EXPORT Session {
 public:
  // `sample_rate` is the rate of the audio the host will push, in Hz. Rates within 0.5 Hz of 16000
  // are taken as 16000; others are resampled. A rate that AudioResampler::IsSupportedRate refuses
  // yields a session that ignores all audio; Pipeline::NewSession refuses such rates instead.
  Session(Pipeline::Impl* pipeline, float sample_rate);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Mono samples, normalised (nominally -1..1; clipped or overshooting audio is fine). A host that
  // sends 16-bit-scaled floats instead is recognised by its first finite sample of magnitude above
  // 2 (and at most 65536): from that block on until Reset, float blocks are divided by 32768.
  // A negative count is refused without effect. Returns 0.
  int AcceptWaveformF32(const float* samples, int n);
  // Mono signed 16-bit samples, scaled by 1/32768 (whatever float input did before). A negative
  // count is refused without effect.
  int AcceptWaveformS16(const short* samples, int n);

  std::string Partial();  // the current document, {"is_final":false,...}
  std::string Result();   // same as Partial()
  // Finalises the modules on the first call (flushing the resampler) and returns the final document.
  std::string Final();
  // The same results as values; the documents above are their ToJson().
  RecognitionResult PartialResult();
  RecognitionResult FinalResult();
  // Back to the state of a new session on the same pipeline.
  void Reset();

  // Hotwords of this session's recogniser, replacing the pipeline's (see OrvaneModule::SetHotwords);
  // an empty list removes them. They apply from the next audio on and survive Reset. Failure: -2
  // "the pipeline has no recogniser", or the recogniser's refusal (code -1, hotwords unchanged).
  Status SetHotwords(const std::vector<std::string>& phrases, double score);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_SESSION_H_
