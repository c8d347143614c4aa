// RealFft: the power spectrum of real frames against a direct DFT in double precision.
#include "audio/real_fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace orvane {
namespace {

std::vector<double> DirectPower(const std::vector<float>& x) {
  const size_t n = x.size();
  std::vector<double> power(n / 2 + 1);
  for (size_t k = 0; k <= n / 2; ++k) {
    double re = 0.0;
    double im = 0.0;
    for (size_t j = 0; j < n; ++j) {
      const double angle = -2.0 * M_PI * static_cast<double>(j * k % n) / static_cast<double>(n);
      re += x[j] * std::cos(angle);
      im += x[j] * std::sin(angle);
    }
    power[k] = re * re + im * im;
  }
  return power;
}

TEST(RealFftTest, MatchesADirectTransform) {
  for (size_t n : {2u, 4u, 8u, 64u, 512u, 1024u}) {
    std::vector<float> x(n);
    uint32_t state = 7;
    for (float& v : x) {
      state = state * 1664525u + 1013904223u;
      v = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
    }
    const std::vector<double> expected = DirectPower(x);
    const RealFft fft(n);
    EXPECT_EQ(fft.size(), n);
    std::vector<float> power(n / 2 + 1, -1.0f);
    std::vector<float> scratch;
    fft.Power(x.data(), power.data(), &scratch);
    for (size_t k = 0; k <= n / 2; ++k) {
      // Power of order n / 12 per bin for this noise; single precision keeps ~1e-6 of the total.
      ASSERT_NEAR(power[k], expected[k], 1e-5 * static_cast<double>(n)) << n << " bin " << k;
    }
  }
}

// A cosine exactly on bin 5 of 512 puts (n/2)^2 there and nothing elsewhere; scratch is reused.
TEST(RealFftTest, PureToneLandsInItsBin) {
  const size_t n = 512;
  const RealFft fft(n);
  std::vector<float> scratch;
  std::vector<float> power(n / 2 + 1);
  for (int round = 0; round < 2; ++round) {
    std::vector<float> x(n);
    for (size_t j = 0; j < n; ++j) x[j] = static_cast<float>(std::cos(2.0 * M_PI * 5.0 * j / n));
    fft.Power(x.data(), power.data(), &scratch);
    for (size_t k = 0; k <= n / 2; ++k) {
      EXPECT_NEAR(power[k], k == 5 ? 65536.0 : 0.0, 0.05) << "bin " << k;
    }
  }
}

}  // namespace
}  // namespace orvane
