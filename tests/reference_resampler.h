// ReferenceResampler: a literal, untabulated windowed-sinc resampler that evaluates the kernel
// (a cosine, a sine and a division) for every tap of every output. AudioResampler must agree with
// it in output counts, block by block, and in values within 1e-6. Shared by the resampler test and
// its benchmark.
#ifndef ORVANE_TESTS_REFERENCE_RESAMPLER_H_
#define ORVANE_TESTS_REFERENCE_RESAMPLER_H_

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane {
namespace testing_reference {

class ReferenceResampler {
 public:
  ReferenceResampler(int in_rate, int out_rate, int half_width)
      : in_rate_(in_rate),
        out_rate_(out_rate),
        hw_(half_width),
        step_(static_cast<double>(in_rate) / static_cast<double>(out_rate)) {}

  static double Kernel(double x, double a) {
    if (std::fabs(x) >= a) return 0.0;
    const double t = x * 3.141592653589793;
    double w = 0.5 * std::cos(t / a) + 0.5;
    if (std::fabs(x) >= 1e-9) w = w * (std::sin(t) / t);
    return w;
  }

  void AcceptWaveform(const float* samples, size_t n) {
    if (in_rate_ == out_rate_) {
      output_.insert(output_.end(), samples, samples + n);
      return;
    }
    input_.insert(input_.end(), samples, samples + n);
    const double guard = 2.0 + hw_;
    const double limit = static_cast<double>(input_.size() + dropped_) - guard;
    while (next_pos_ < limit) {
      output_.push_back(Sample(next_pos_));
      next_pos_ += step_;
    }
    const int64_t d = static_cast<int64_t>(std::floor(next_pos_ - guard));
    if (d - dropped_ > 0 && d - dropped_ <= static_cast<int64_t>(input_.size())) {
      input_.erase(input_.begin(), input_.begin() + (d - dropped_));
      dropped_ = d;
    }
  }

  void Flush() {
    if (in_rate_ == out_rate_) return;
    const double end = static_cast<double>(input_.size() + dropped_);
    while (next_pos_ < end) {
      output_.push_back(Sample(next_pos_));
      next_pos_ += step_;
    }
  }

  std::vector<float> PopAll() {
    std::vector<float> out;
    out.swap(output_);
    return out;
  }

 private:
  float Sample(double pos) const {
    const double base = std::floor(pos);
    const double frac = pos - base;
    double acc = 0.0;
    double wsum = 0.0;
    for (int i = 1 - hw_; i <= hw_; ++i) {
      const int64_t j = static_cast<int64_t>(static_cast<double>(i) + base) - dropped_;
      if (j >= 0 && j < static_cast<int64_t>(input_.size())) {
        const double w = Kernel(static_cast<double>(i) - frac, static_cast<double>(hw_));
        acc += static_cast<double>(input_[j]) * w;
        wsum += w;
      }
    }
    return static_cast<float>(wsum > 1e-9 ? acc / wsum : acc);
  }

  int in_rate_;
  int out_rate_;
  int hw_;
  double step_;
  std::vector<float> input_;
  std::vector<float> output_;
  double next_pos_ = 0.0;
  int64_t dropped_ = 0;
};

}  // namespace testing_reference
}  // namespace orvane

#endif  // ORVANE_TESTS_REFERENCE_RESAMPLER_H_
