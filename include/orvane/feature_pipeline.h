// Streaming log-mel filterbank: 16-bit-range audio in, one vector of num_mel_bins natural-log
// energies per 10 ms frame out. The acoustic model was trained on exactly these numerics.
#ifndef ORVANE_FEATURE_PIPELINE_H_
#define ORVANE_FEATURE_PIPELINE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "orvane/export.h"

namespace orvane {

class RealFft;

// The defaults are the recogniser's settings.
struct FbankOptions {
  int32_t sample_rate = 16000;   // Hz
  int32_t num_mel_bins = 80;     // feature values per frame
  int32_t frame_length_ms = 25;  // analysis window
  int32_t frame_shift_ms = 10;   // hop between frame starts
  float preemph_coeff = 0.97f;
  float low_freq = 20.0f;        // Hz, lower edge of the mel range
  float high_freq = -400.0f;     // Hz; a negative value is an offset below the Nyquist frequency
};

// Push samples in blocks of any size, pop finished frames. A frame is emitted once, as soon as all
// of its samples have arrived, so the features do not depend on how the audio was cut into blocks.
//
// Options must give a frame shift of at least one sample, a frame of at least two samples, at least
// one mel bin and sample-rate × milliseconds products that fit in 32 bits. A pipeline built from
// other options is inert: valid() is false and it never produces a frame.
//
// Not thread-safe: one owner, one thread at a time. Copyable (a copy carries the buffered state).
class ORVANE_EXPORT FeaturePipeline {
 public:
  explicit FeaturePipeline(const FbankOptions& opts = FbankOptions());

  // Samples of magnitude at most 1 are taken as normalised and scaled by 32768; larger ones are
  // taken as already in the 16-bit range. The test is per sample. A null `samples` is ignored.
  // Normalised audio that overshoots 1 (clipped audio after resampling) would lose those samples
  // to near-silence: callers that know their scale use AcceptWaveformNormalized.
  void AcceptWaveform(const float* samples, size_t n);

  // Normalised samples (nominally -1..1, any magnitude accepted): every one is scaled by 32768,
  // whatever its size. The recogniser feeds its 16 kHz session audio this way.
  void AcceptWaveformNormalized(const float* samples, size_t n);

  size_t num_frames_ready() const;

  // Removes up to `max_frames` of the oldest frames and returns them frame-major:
  // [k][num_mel_bins] floats, k = min(max_frames, num_frames_ready()).
  std::vector<float> PopFrames(size_t max_frames);

  // Drops buffered samples and queued frames; options, window and filters stay.
  void Reset();

  bool valid() const { return valid_; }
  const FbankOptions& options() const { return opts_; }
  int32_t frame_length() const { return frame_length_; }  // samples
  int32_t frame_shift() const { return frame_shift_; }    // samples
  int32_t fft_size() const { return fft_size_; }
  // Samples buffered but not yet consumed by a frame shift.
  size_t num_samples_buffered() const { return waveform_.size(); }
  // [num_mel_bins][fft_size / 2 + 1] triangular weights, row-major.
  const std::vector<float>& mel_banks() const { return mel_banks_; }

  static float HzToMel(float hz);
  static float MelToHz(float mel);

 private:
  void BuildWindow();
  void BuildMelFilterbank();
  void ComputeFrames();

  FbankOptions opts_;
  int32_t frame_length_ = 0;
  int32_t frame_shift_ = 0;
  int32_t fft_size_ = 0;
  int32_t num_fft_bins_ = 0;
  std::vector<float> window_;         // [frame_length_]
  std::vector<float> mel_banks_;      // [num_mel_bins][num_fft_bins_]
  // Per filter, the bins [mel_begin_, mel_end_) outside which its weights are 0.
  std::vector<int32_t> mel_begin_;    // [num_mel_bins]
  std::vector<int32_t> mel_end_;      // [num_mel_bins]
  std::shared_ptr<const RealFft> fft_;  // tables only; shared by copies
  std::vector<float> waveform_;       // scaled samples not yet consumed
  std::vector<float> feature_queue_;  // [frames][num_mel_bins], oldest first
  bool valid_ = false;
};

}  // namespace orvane

#endif  // ORVANE_FEATURE_PIPELINE_H_
