// AudioResampler: windowed-sinc rate conversion with a tabulated kernel (see the header).
#include "orvane/audio_resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orvane {
namespace {

constexpr double kPi = 3.141592653589793;

// Rows of the kernel table. A rate ratio whose reduced output rate (the number of distinct
// fractional positions) is at most this gets one row per position; others share a grid of this
// size. Interpolation between rows is cubic (Hermite, from values and slopes): on a grid of 1/256
// sample its error is about 1e-11 per weight, while the table stays near 130 KB for half-width 16.
constexpr int32_t kMaxPhases = 256;
// Beyond this half-width the table would be large and the kernel is evaluated directly.
constexpr int32_t kMaxTabulatedHalfWidth = 64;

// Renormalisation is skipped when the weights of the available taps sum to almost nothing.
constexpr double kMinWeightSum = 1e-9;

// SincWindow(x, a) (the same expression, so table rows equal direct evaluation) and its slope
// d/dx, from one sine and cosine of each of the two angles.
void KernelPoint(double x, double a, double* value, double* slope) {
  if (std::fabs(x) >= a) {
    *value = 0.0;
    *slope = 0.0;
    return;
  }
  const double t = x * kPi;
  const double window = 0.5 * std::cos(t / a) + 0.5;
  const double window_slope = -0.5 * (kPi / a) * std::sin(t / a);
  double sinc;
  double sinc_slope;  // d/dx of sin(t) / t
  if (std::fabs(t) < 1e-2) {
    // Series around 0; the closed form loses digits to cancellation there.
    const double t2 = t * t;
    sinc = std::fabs(x) >= 1e-9 ? std::sin(t) / t : 1.0;
    sinc_slope = kPi * t * (-1.0 / 3.0 + t2 / 30.0 - t2 * t2 / 840.0 + t2 * t2 * t2 / 45360.0);
  } else {
    const double sin_t = std::sin(t);
    sinc = sin_t / t;
    sinc_slope = kPi * (t * std::cos(t) - sin_t) / (t * t);
  }
  *value = std::fabs(x) >= 1e-9 ? window * sinc : window;
  *slope = window_slope * sinc + window * sinc_slope;
}

// Sums x[k] * weight(k) and weight(k) over k < count. Four interleaved partial sums keep the
// additions from waiting on each other.
template <typename Weight>
inline void WeightedSums(const float* x, int32_t count, Weight weight, double* acc,
                         double* wsum) {
  double a[4] = {0.0, 0.0, 0.0, 0.0};
  double s[4] = {0.0, 0.0, 0.0, 0.0};
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    for (int32_t lane = 0; lane < 4; ++lane) {
      const double w = weight(k + lane);
      a[lane] += static_cast<double>(x[k + lane]) * w;
      s[lane] += w;
    }
  }
  for (; k < count; ++k) {
    const double w = weight(k);
    a[0] += static_cast<double>(x[k]) * w;
    s[0] += w;
  }
  *acc = (a[0] + a[1]) + (a[2] + a[3]);
  *wsum = (s[0] + s[1]) + (s[2] + s[3]);
}

}  // namespace

AudioResampler::AudioResampler(int in_rate, int out_rate, int half_width)
    : in_rate_(in_rate),
      out_rate_(out_rate),
      half_width_(half_width),
      step_(static_cast<double>(in_rate) / static_cast<double>(out_rate)),
      usable_(in_rate > 0 && out_rate > 0) {
  if (usable_ && in_rate_ != out_rate_) BuildKernelTable();
}

bool AudioResampler::IsSupportedRate(float rate) {
  // 2^31 is exact in float; every finite float below it truncates into int32 range.
  return std::isfinite(rate) && rate >= 1.0f && rate < 2147483648.0f;
}

double AudioResampler::SincWindow(double x, double half_width) {
  if (std::fabs(x) >= half_width) return 0.0;
  const double t = x * kPi;
  double w = 0.5 * std::cos(t / half_width) + 0.5;
  if (std::fabs(x) >= 1e-9) w *= std::sin(t) / t;
  return w;
}

void AudioResampler::BuildKernelTable() {
  if (half_width_ < 1 || half_width_ > kMaxTabulatedHalfWidth) return;
  const int32_t distinct = out_rate_ / std::gcd(in_rate_, out_rate_);
  num_phases_ = std::min(distinct, kMaxPhases);
  const int32_t taps = 2 * half_width_;
  const double a = static_cast<double>(half_width_);
  kernel_.assign(static_cast<size_t>(num_phases_ + 1) * 2 * taps, 0.0);
  for (int32_t r = 0; r <= num_phases_; ++r) {
    const double phase = static_cast<double>(r) / num_phases_;
    double* row = &kernel_[static_cast<size_t>(r) * 2 * taps];
    for (int32_t k = 0; k < taps; ++k) {
      const double x = static_cast<double>(k + 1 - half_width_) - phase;
      KernelPoint(x, a, &row[k], &row[taps + k]);
    }
  }
}

float AudioResampler::InterpolateDirect(double pos) const {
  const double base = std::floor(pos);
  const double frac = pos - base;
  const double hw = static_cast<double>(half_width_);
  const int64_t size = static_cast<int64_t>(input_.size());
  double acc = 0.0;
  double wsum = 0.0;
  for (int32_t i = 1 - half_width_; i <= half_width_; ++i) {
    const int64_t j = static_cast<int64_t>(static_cast<double>(i) + base) - dropped_;
    if (j < 0 || j >= size) continue;
    const double w = SincWindow(static_cast<double>(i) - frac, hw);
    acc += static_cast<double>(input_[j]) * w;
    wsum += w;
  }
  return static_cast<float>(wsum > kMinWeightSum ? acc / wsum : acc);
}

float AudioResampler::Interpolate(double pos) const {
  if (half_width_ < 1) return 0.0f;
  if (num_phases_ == 0) return InterpolateDirect(pos);

  const double base = std::floor(pos);
  const double frac = pos - base;
  const int32_t taps = 2 * half_width_;
  // Tap k reads stream sample base + k + 1 - half_width_, i.e. input_[first + k]; taps outside the
  // buffered input are left out of both sums.
  const int64_t first = static_cast<int64_t>(base) + 1 - half_width_ - dropped_;
  const int64_t size = static_cast<int64_t>(input_.size());
  const int32_t k_begin = static_cast<int32_t>(std::clamp<int64_t>(-first, 0, taps));
  const int32_t k_end = static_cast<int32_t>(std::clamp<int64_t>(size - first, 0, taps));
  if (k_begin >= k_end) return 0.0f;
  const float* x = input_.data() + (first + k_begin);
  const int32_t count = k_end - k_begin;

  // frac lies between grid rows r and r + 1, a fraction t of the way.
  const double u = frac * num_phases_;
  int32_t r = static_cast<int32_t>(u);
  if (r >= num_phases_) r = num_phases_ - 1;
  const double t = u - r;
  const double* row = &kernel_[static_cast<size_t>(r) * 2 * taps] + k_begin;

  double acc;
  double wsum;
  if (t == 0.0) {
    WeightedSums(x, count, [row](int32_t k) { return row[k]; }, &acc, &wsum);
  } else {
    // Cubic Hermite in t over one grid spacing h = 1 / num_phases_. The kernel argument falls as
    // frac grows, so the slopes enter with the factor -h.
    const double* next = row + 2 * taps;
    const double h = 1.0 / num_phases_;
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double c_w0 = 2.0 * t3 - 3.0 * t2 + 1.0;
    const double c_w1 = -2.0 * t3 + 3.0 * t2;
    const double c_d0 = -h * (t3 - 2.0 * t2 + t);
    const double c_d1 = -h * (t3 - t2);
    WeightedSums(
        x, count,
        [=](int32_t k) {
          return c_w0 * row[k] + c_d0 * row[taps + k] + c_w1 * next[k] + c_d1 * next[taps + k];
        },
        &acc, &wsum);
  }
  return static_cast<float>(wsum > kMinWeightSum ? acc / wsum : acc);
}

void AudioResampler::ProduceBelow(double limit) {
  if (next_pos_ < limit) {
    output_.reserve(output_.size() + static_cast<size_t>((limit - next_pos_) / step_) + 1);
  }
  while (next_pos_ < limit) {
    output_.push_back(Interpolate(next_pos_));
    next_pos_ += step_;
  }
}

void AudioResampler::AcceptWaveform(const float* samples, size_t n) {
  if (!usable_ || samples == nullptr || n == 0) return;
  if (in_rate_ == out_rate_) {
    output_.insert(output_.end(), samples, samples + n);
    return;
  }
  input_.insert(input_.end(), samples, samples + n);

  // Outputs whose kernel could still reach samples that have not arrived wait for the next block.
  const double guard = 2.0 + half_width_;
  const double limit =
      static_cast<double>(static_cast<int64_t>(input_.size()) + dropped_) - guard;
  ProduceBelow(limit);

  // Keep only what the next output's taps can reach.
  const int64_t d = static_cast<int64_t>(std::floor(next_pos_ - guard));
  const int64_t drop = d - dropped_;
  if (drop > 0 && drop <= static_cast<int64_t>(input_.size())) {
    input_.erase(input_.begin(), input_.begin() + drop);
    dropped_ = d;
  }
}

std::vector<float> AudioResampler::PopAll() {
  std::vector<float> out;
  out.swap(output_);
  return out;
}

void AudioResampler::Flush() {
  if (!usable_ || in_rate_ == out_rate_) return;
  ProduceBelow(static_cast<double>(static_cast<int64_t>(input_.size()) + dropped_));
}

void AudioResampler::Reset() {
  input_.clear();
  output_.clear();
  next_pos_ = 0.0;
  dropped_ = 0;
}

}  // namespace orvane
