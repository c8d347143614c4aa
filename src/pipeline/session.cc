// Session: converts, resamples and dispatches audio blocks to the module clones, and renders the
// result document.
#include "orvane/session.h"

#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "orvane/audio_resampler.h"
#include "orvane/logger.h"
#include "orvane/orvane_module.h"
#include "orvane/result_builder.h"
#include "pipeline/pipeline_impl.h"

namespace orvane {
namespace {
constexpr float kModelRate = 16000.0f;
constexpr int kResamplerHalfWidth = 16;
constexpr float kPcm16Scale = 1.0f / 32768.0f;

// Evidence that a host's float stream carries 16-bit values (-32768..32767) rather than normalised
// audio: a finite sample beyond twice full scale (normalised audio, even clipped or overshooting
// in the host's own processing, stays far below), but not absurdly beyond the 16-bit range.
bool LooksPcm16Scaled(const float* samples, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const float magnitude = std::fabs(samples[i]);
    if (magnitude > 2.0f && magnitude <= 65536.0f) return true;
  }
  return false;
}
}  // namespace

struct Session::Impl {
  // Keep the pipeline's engine and model manager alive for as long as the clones may use them.
  std::shared_ptr<Engine> engine;
  std::shared_ptr<ModelManager> model_manager;
  float input_rate = 0.0f;
  bool usable = true;  // false for a rate that cannot be resampled: audio is then ignored
  ResultBuilder result;
  bool finalized = false;
  std::unique_ptr<AudioResampler> resampler;  // only when the input rate is not ~16 kHz
  uint64_t samples_dispatched = 0;            // 16 kHz samples handed to the modules
  // Set once the host's float samples turned out to be 16-bit-scaled; until Reset, its float
  // blocks are then divided by 32768. 16-bit integer input never looks at or changes it.
  bool f32_pcm16_scaled = false;
  std::vector<std::unique_ptr<Module>> modules;
  std::mutex mutex;

  void Dispatch(const float* samples, size_t n) {
    AudioFrame frame;
    frame.samples = samples;
    frame.num_samples = n;
    frame.sample_rate = kModelRate;
    frame.start_sample = samples_dispatched;
    for (auto& module : modules) module->OnFrame(frame, &result);
    samples_dispatched += n;
  }

  void DispatchResampled() {
    std::vector<float> out = resampler->PopAll();
    if (!out.empty()) Dispatch(out.data(), out.size());
  }

  // Normalised samples at the input rate, resampled when needed.
  void Accept(const float* samples, size_t n) {
    if (!usable) return;
    if (!resampler) {
      Dispatch(samples, n);
    } else {
      resampler->AcceptWaveform(samples, n);
      DispatchResampled();
    }
  }
};

Session::Session(Pipeline::Impl* pipeline, float sample_rate) : impl_(new Impl) {
  impl_->engine = pipeline->engine;
  impl_->model_manager = pipeline->model_manager;
  impl_->input_rate = sample_rate;
  impl_->usable = AudioResampler::IsSupportedRate(sample_rate);
  if (impl_->usable && std::fabs(sample_rate - kModelRate) > 0.5f) {
    impl_->resampler.reset(new AudioResampler(static_cast<int>(sample_rate),
                                              static_cast<int>(kModelRate), kResamplerHalfWidth));
  }
  impl_->modules.reserve(pipeline->entries.size());
  for (const Pipeline::Impl::Entry& entry : pipeline->entries) {
    std::unique_ptr<Module> clone = entry.module->Clone();
    if (clone) {
      impl_->modules.push_back(std::move(clone));
    } else {
      LogStream(Warn, "session") << "module '" << entry.name
                                 << "' has no Clone(); this session runs without it (its "
                                    "results will be missing)";
    }
  }
}

Session::~Session() = default;

// The scale of float input is settled per stream, on the host's own samples before resampling
// (which makes clipped normalised audio overshoot 1), so a loud block never changes its meaning.
int Session::AcceptWaveformF32(const float* samples, int n) {
  if (n < 0 || (samples == nullptr && n > 0)) return 0;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const size_t count = static_cast<size_t>(n);
  if (!impl_->f32_pcm16_scaled && LooksPcm16Scaled(samples, count)) {
    impl_->f32_pcm16_scaled = true;
    LogStream(Debug, "session") << "float input carries 16-bit values; dividing by 32768";
  }
  if (!impl_->f32_pcm16_scaled) {
    impl_->Accept(samples, count);
    return 0;
  }
  std::vector<float> buffer(samples, samples + count);
  for (float& x : buffer) x *= kPcm16Scale;
  impl_->Accept(buffer.data(), count);
  return 0;
}

int Session::AcceptWaveformS16(const short* samples, int n) {
  if (n < 0 || (samples == nullptr && n > 0)) return 0;
  std::vector<float> buffer(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) buffer[i] = static_cast<float>(samples[i]) * kPcm16Scale;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->Accept(buffer.data(), buffer.size());
  return 0;
}

RecognitionResult Session::PartialResult() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->result.Snapshot();
}

std::string Session::Partial() { return PartialResult().ToJson(); }

std::string Session::Result() { return Partial(); }

RecognitionResult Session::FinalResult() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->finalized) {
    if (impl_->resampler) {
      impl_->resampler->Flush();
      impl_->DispatchResampled();
    }
    for (auto& module : impl_->modules) module->OnFinalize(&impl_->result);
    impl_->finalized = true;
  }
  return impl_->result.Final();
}

std::string Session::Final() { return FinalResult().ToJson(); }

void Session::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.Reset();
  impl_->finalized = false;
  impl_->samples_dispatched = 0;
  impl_->f32_pcm16_scaled = false;
  if (impl_->resampler) impl_->resampler->Reset();
  for (auto& module : impl_->modules) module->Reset();
}

Status Session::SetHotwords(const std::vector<std::string>& phrases, double score) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  bool found = false;
  for (auto& module : impl_->modules) {
    auto* recogniser = dynamic_cast<OrvaneModule*>(module.get());
    if (recogniser == nullptr) continue;
    const Status status = recogniser->SetHotwords(phrases, score);
    if (!status.ok()) return status;
    found = true;
  }
  return found ? Status() : Status(-2, "the pipeline has no recogniser");
}

}  // namespace orvane
