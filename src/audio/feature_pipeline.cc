// Log-mel filterbank features. The window, the integer filter edges, the energy floor and the
// single-precision arithmetic are what the acoustic model saw in training; keep them as they are.
// The spectrum comes from a real-input FFT and each filter sums only its non-zero weights (the
// zeros of the dense product add nothing), so the cost per frame is one half-size complex FFT and
// about two multiply-adds per bin.
#include "orvane/feature_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "audio/real_fft.h"
#include "orvane/logger.h"

namespace orvane {
namespace {

constexpr float kTwoPi = 6.2831855f;  // 2*pi rounded to float
constexpr float kEnergyFloor = 1e-10f;
constexpr float kPcmScale = 32768.0f;

}  // namespace

FeaturePipeline::FeaturePipeline(const FbankOptions& opts) : opts_(opts) {
  const int64_t length = static_cast<int64_t>(opts_.sample_rate) * opts_.frame_length_ms;
  const int64_t shift = static_cast<int64_t>(opts_.sample_rate) * opts_.frame_shift_ms;
  valid_ = length <= INT32_MAX && length >= INT32_MIN && shift <= INT32_MAX && shift >= INT32_MIN &&
           length / 1000 >= 2 && shift / 1000 >= 1 && opts_.num_mel_bins >= 1;
  if (!valid_) {
    LogStream(Warn, "fbank") << "unusable filterbank options (sample_rate=" << opts_.sample_rate
                             << ", frame_length_ms=" << opts_.frame_length_ms
                             << ", frame_shift_ms=" << opts_.frame_shift_ms
                             << ", num_mel_bins=" << opts_.num_mel_bins << "); no features";
    return;
  }
  frame_length_ = static_cast<int32_t>(length / 1000);
  frame_shift_ = static_cast<int32_t>(shift / 1000);
  fft_size_ = 512;
  while (fft_size_ < frame_length_) fft_size_ *= 2;
  num_fft_bins_ = fft_size_ / 2 + 1;
  fft_ = std::make_shared<const RealFft>(static_cast<size_t>(fft_size_));
  BuildWindow();
  BuildMelFilterbank();
}

float FeaturePipeline::HzToMel(float hz) { return 1127.0f * std::log(hz / 700.0f + 1.0f); }

float FeaturePipeline::MelToHz(float mel) { return 700.0f * (std::exp(mel / 1127.0f) - 1.0f); }

void FeaturePipeline::BuildWindow() {
  window_.assign(static_cast<size_t>(frame_length_), 0.0f);
  const float denom = static_cast<float>(frame_length_ - 1);
  for (int32_t i = 0; i < frame_length_; ++i) {
    const float c = std::cos(static_cast<float>(i) * kTwoPi / denom);
    window_[static_cast<size_t>(i)] = std::pow(0.5f - 0.5f * c, 0.85f);
  }
}

void FeaturePipeline::BuildMelFilterbank() {
  const int32_t num_bins = opts_.num_mel_bins;
  float hi = opts_.high_freq;
  if (hi < 0.0f) hi = hi + static_cast<float>(opts_.sample_rate) * 0.5f;
  const float mel_lo = HzToMel(opts_.low_freq);
  const float mel_hi = HzToMel(hi);

  // Edge bins b_0 .. b_(M+1) of the M triangular filters.
  std::vector<int32_t> edges(static_cast<size_t>(num_bins) + 2);
  for (size_t i = 0; i < edges.size(); ++i) {
    const float mel = (static_cast<float>(i) * (mel_hi - mel_lo)) / static_cast<float>(num_bins + 1) +
                      mel_lo;
    const float hz = MelToHz(mel);
    const float bin = std::floor(static_cast<float>(fft_size_ + 1) * hz /
                                 static_cast<float>(opts_.sample_rate));
    // Clamped in float first so that a NaN or an out-of-range value never reaches the conversion.
    int32_t b;
    if (!(bin >= 0.0f)) {
      b = 0;
    } else if (bin >= static_cast<float>(num_fft_bins_)) {
      b = num_fft_bins_ - 1;
    } else {
      b = static_cast<int32_t>(bin);
    }
    edges[i] = b;
  }

  mel_banks_.assign(static_cast<size_t>(num_bins) * static_cast<size_t>(num_fft_bins_), 0.0f);
  mel_begin_.assign(static_cast<size_t>(num_bins), 0);
  mel_end_.assign(static_cast<size_t>(num_bins), 0);
  for (int32_t m = 0; m < num_bins; ++m) {
    float* row = mel_banks_.data() + static_cast<size_t>(m) * static_cast<size_t>(num_fft_bins_);
    const int32_t left = edges[static_cast<size_t>(m)];
    const int32_t centre = edges[static_cast<size_t>(m) + 1];
    const int32_t right = edges[static_cast<size_t>(m) + 2];
    if (centre > left) {
      for (int32_t j = left; j < centre; ++j) {
        row[j] = static_cast<float>(j - left) / static_cast<float>(centre - left);
      }
    }
    if (right > centre) {
      for (int32_t j = centre; j < right; ++j) {
        row[j] = static_cast<float>(right - j) / static_cast<float>(right - centre);
      }
    }
    int32_t begin = 0;
    int32_t end = 0;
    for (int32_t j = 0; j < num_fft_bins_; ++j) {
      if (row[j] == 0.0f) continue;
      if (end == 0) begin = j;
      end = j + 1;
    }
    mel_begin_[static_cast<size_t>(m)] = begin;
    mel_end_[static_cast<size_t>(m)] = end;
  }
}

void FeaturePipeline::AcceptWaveform(const float* samples, size_t n) {
  if (!valid_ || samples == nullptr || n == 0) return;
  waveform_.reserve(waveform_.size() + n);
  for (size_t i = 0; i < n; ++i) {
    const float x = samples[i];
    // A NaN fails the test and is stored as it is.
    waveform_.push_back(std::fabs(x) <= 1.0f ? x * kPcmScale : x);
  }
  ComputeFrames();
}

void FeaturePipeline::AcceptWaveformNormalized(const float* samples, size_t n) {
  if (!valid_ || samples == nullptr || n == 0) return;
  waveform_.reserve(waveform_.size() + n);
  for (size_t i = 0; i < n; ++i) waveform_.push_back(samples[i] * kPcmScale);
  ComputeFrames();
}

void FeaturePipeline::ComputeFrames() {
  const size_t total = waveform_.size();
  const size_t length = static_cast<size_t>(frame_length_);
  const size_t shift = static_cast<size_t>(frame_shift_);
  if (total < length) return;
  const size_t num_frames = (total - length) / shift + 1;

  // Pre-emphasis over the whole buffer. The first buffered sample keeps its value: it always starts
  // a frame, where the window is exactly 0, so block boundaries cannot change a feature.
  std::vector<float> emph(total);
  emph[0] = waveform_[0];
  for (size_t i = 1; i < total; ++i) emph[i] = waveform_[i] - opts_.preemph_coeff * waveform_[i - 1];

  const size_t fft_size = static_cast<size_t>(fft_size_);
  const size_t num_fft_bins = static_cast<size_t>(num_fft_bins_);
  const size_t num_bins = static_cast<size_t>(opts_.num_mel_bins);
  std::vector<float> windowed(fft_size, 0.0f);  // the tail past the frame stays 0
  std::vector<float> scratch;
  std::vector<float> power(num_fft_bins);
  feature_queue_.reserve(feature_queue_.size() + num_frames * num_bins);

  for (size_t t = 0; t < num_frames; ++t) {
    const float* frame = emph.data() + t * shift;
    for (size_t j = 0; j < length; ++j) windowed[j] = frame[j] * window_[j];
    fft_->Power(windowed.data(), power.data(), &scratch);
    // Each filter over its non-zero weights, in increasing k.
    for (size_t m = 0; m < num_bins; ++m) {
      const float* row = mel_banks_.data() + m * num_fft_bins;
      float energy = 0.0f;
      for (int32_t k = mel_begin_[m]; k < mel_end_[m]; ++k) energy += row[k] * power[k];
      if (energy < kEnergyFloor) energy = kEnergyFloor;
      feature_queue_.push_back(std::log(energy));
    }
  }

  waveform_.erase(waveform_.begin(), waveform_.begin() + static_cast<std::ptrdiff_t>(num_frames * shift));
}

size_t FeaturePipeline::num_frames_ready() const {
  if (!valid_) return 0;
  return feature_queue_.size() / static_cast<size_t>(opts_.num_mel_bins);
}

std::vector<float> FeaturePipeline::PopFrames(size_t max_frames) {
  const size_t k = std::min(max_frames, num_frames_ready());
  if (k == 0) return {};
  const auto end = feature_queue_.begin() +
                   static_cast<std::ptrdiff_t>(k * static_cast<size_t>(opts_.num_mel_bins));
  std::vector<float> out(feature_queue_.begin(), end);
  feature_queue_.erase(feature_queue_.begin(), end);
  return out;
}

void FeaturePipeline::Reset() {
  waveform_.clear();
  feature_queue_.clear();
}

}  // namespace orvane
