// RealFft: a real frame's power spectrum through a half-size complex FFT and the split step.
#include "audio/real_fft.h"

#include <cmath>
#include <utility>

namespace orvane {

RealFft::RealFft(size_t n) : n_(n) {
  const size_t half = n / 2;
  bit_reverse_.resize(half);
  uint32_t bits = 0;
  while ((size_t{1} << bits) < half) ++bits;
  for (size_t i = 0; i < half; ++i) {
    uint32_t r = 0;
    for (uint32_t b = 0; b < bits; ++b) r |= ((i >> b) & 1u) << (bits - 1 - b);
    bit_reverse_[i] = r;
  }
  cos_.resize(half);
  sin_.resize(half);
  for (size_t k = 0; k < half; ++k) {
    const double angle = 2.0 * M_PI * static_cast<double>(k) / static_cast<double>(n);
    cos_[k] = static_cast<float>(std::cos(angle));
    sin_[k] = static_cast<float>(-std::sin(angle));
  }
}

// Forward complex FFT of size n/2 in place, on separate real and imaginary arrays. The twiddle of
// butterfly k in a stage of length len is exp(-2*pi*i*k/len), entry k*n/len of the table.
void RealFft::HalfSizeTransform(float* re, float* im) const {
  const size_t m = n_ / 2;
  for (size_t i = 0; i < m; ++i) {
    const size_t j = bit_reverse_[i];
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (size_t len = 2; len <= m; len <<= 1) {
    const size_t half = len / 2;
    const size_t stride = n_ / len;
    for (size_t s = 0; s < m; s += len) {
      for (size_t k = 0; k < half; ++k) {
        const float wr = cos_[k * stride];
        const float wi = sin_[k * stride];
        const size_t a = s + k;
        const size_t b = a + half;
        const float vr = re[b] * wr - im[b] * wi;
        const float vi = re[b] * wi + im[b] * wr;
        re[b] = re[a] - vr;
        im[b] = im[a] - vi;
        re[a] += vr;
        im[a] += vi;
      }
    }
  }
}

void RealFft::Power(const float* x, float* power, std::vector<float>* scratch) const {
  const size_t m = n_ / 2;
  scratch->resize(n_);
  float* re = scratch->data();
  float* im = re + m;
  for (size_t j = 0; j < m; ++j) {
    re[j] = x[2 * j];
    im[j] = x[2 * j + 1];
  }
  HalfSizeTransform(re, im);
  // Z = FFT of z[j] = x[2j] + i x[2j+1]. With E[k] = (Z[k] + conj Z[m-k]) / 2 (the even samples'
  // spectrum) and O[k] = (Z[k] - conj Z[m-k]) / 2i (the odd samples'), X[k] = E[k] + W^k O[k].
  power[0] = (re[0] + im[0]) * (re[0] + im[0]);
  power[m] = (re[0] - im[0]) * (re[0] - im[0]);
  for (size_t k = 1; k < m; ++k) {
    const float ar = re[k];
    const float ai = im[k];
    const float br = re[m - k];
    const float bi = -im[m - k];
    const float er = 0.5f * (ar + br);
    const float ei = 0.5f * (ai + bi);
    const float odd_r = 0.5f * (ai - bi);
    const float odd_i = -0.5f * (ar - br);
    const float xr = er + (odd_r * cos_[k] - odd_i * sin_[k]);
    const float xi = ei + (odd_r * sin_[k] + odd_i * cos_[k]);
    power[k] = xi * xi + xr * xr;
  }
}

}  // namespace orvane
