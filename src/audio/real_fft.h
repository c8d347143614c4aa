// Power spectrum of a real frame, computed with a complex FFT of half the frame's size.
#ifndef ORVANE_AUDIO_REAL_FFT_H_
#define ORVANE_AUDIO_REAL_FFT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane {

// Immutable once built: one object may serve any number of threads and pipelines at once.
class RealFft {
 public:
  // `n` is the transform size, a power of two of at least 2.
  explicit RealFft(size_t n);

  size_t size() const { return n_; }

  // power[k] = re^2 + im^2 of the forward DFT (exponent -2*pi*i*j*k/n) of the n real samples `x`,
  // for k = 0 .. n/2 (n/2 + 1 values). The n real samples are packed as n/2 complex ones, transformed
  // (iterative radix-2, twiddles from a table computed in double precision) and split into the
  // spectrum of the real sequence. `scratch` is resized to n floats.
  void Power(const float* x, float* power, std::vector<float>* scratch) const;

 private:
  void HalfSizeTransform(float* re, float* im) const;

  size_t n_;
  std::vector<uint32_t> bit_reverse_;  // [n/2]: index permutation of the half-size transform
  std::vector<float> cos_;             // [n/2]: cos(2*pi*k/n)
  std::vector<float> sin_;             // [n/2]: -sin(2*pi*k/n), so (cos_, sin_) is exp(-2*pi*i*k/n)
};

}  // namespace orvane

#endif  // ORVANE_AUDIO_REAL_FFT_H_
