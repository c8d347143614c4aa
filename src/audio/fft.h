// In-place forward FFT of a power-of-two size, single precision, as the filterbank needs it.
#ifndef ORVANE_AUDIO_FFT_H_
#define ORVANE_AUDIO_FFT_H_

#include <complex>
#include <cstddef>

namespace orvane {

class Fft {
 public:
  // Forward transform (exponent -2*pi*i*j*k/n) of `data[0..n)` in place; `n` must be a power of
  // two. Iterative radix-2 decimation in time; each stage's twiddle is carried by repeated
  // multiplication with one single-precision base rotation, so the rounding is part of the
  // features the model was trained on: do not replace it with an exact per-k twiddle table.
  static void Forward(std::complex<float>* data, size_t n);
};

}  // namespace orvane

#endif  // ORVANE_AUDIO_FFT_H_
