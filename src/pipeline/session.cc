// Session: converts, resamples and dispatches audio blocks to the module clones, and renders the
// result document.
#include "orvane/session.h"

#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "orvane/audio_resampler.h"
#include "orvane/logger.h"
#include "orvane/result_builder.h"
#include "pipeline/pipeline_impl.h"

namespace orvane {
namespace {
constexpr float kModelRate = 16000.0f;
constexpr int kResamplerHalfWidth = 16;
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
                                 << "' has no Clone(); falling back to shared instance (this "
                                    "Session will not be safe for concurrent use)";
    }
  }
}

Session::~Session() = default;

int Session::AcceptWaveformF32(const float* samples, int n) {
  if (n < 0 || (samples == nullptr && n > 0)) return 0;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->usable) return 0;
  if (!impl_->resampler) {
    impl_->Dispatch(samples, static_cast<size_t>(n));
  } else {
    impl_->resampler->AcceptWaveform(samples, static_cast<size_t>(n));
    impl_->DispatchResampled();
  }
  return 0;
}

int Session::AcceptWaveformS16(const short* samples, int n) {
  if (n < 0 || (samples == nullptr && n > 0)) return 0;
  if (n == 0) return AcceptWaveformF32(nullptr, 0);
  std::vector<float> buffer(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) buffer[i] = static_cast<float>(samples[i]) * (1.0f / 32768.0f);
  return AcceptWaveformF32(buffer.data(), n);
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
  if (impl_->resampler) impl_->resampler->Reset();
  for (auto& module : impl_->modules) module->Reset();
}

}  // namespace orvane
