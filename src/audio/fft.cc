// Radix-2 FFT used by the filterbank.
#include "audio/fft.h"

#include <cmath>
#include <utility>

namespace orvane {

void Fft::Forward(std::complex<float>* data, size_t n) {
  if (data == nullptr || n < 2) return;

  // Bit-reversal permutation; rev is advanced incrementally (a reversed-order binary counter).
  size_t rev = 0;
  for (size_t j = 1; j < n; ++j) {
    size_t bit = n >> 1;
    while (rev & bit) {
      rev ^= bit;
      bit >>= 1;
    }
    rev |= bit;
    if (j < rev) std::swap(data[j], data[rev]);
  }

  for (size_t len = 2; len <= n; len <<= 1) {
    const float theta = -6.2831855f / static_cast<float>(len);
    const std::complex<float> base(std::cos(theta), std::sin(theta));
    const size_t half = len / 2;
    for (size_t s = 0; s < n; s += len) {
      std::complex<float> w(1.0f, 0.0f);
      for (size_t k = 0; k < half; ++k) {
        const std::complex<float> u = data[s + k];
        const std::complex<float> v = data[s + k + half] * w;
        data[s + k] = u + v;
        data[s + k + half] = u - v;
        w = w * base;
      }
    }
  }
}

}  // namespace orvane
