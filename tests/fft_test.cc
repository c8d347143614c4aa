// Fft: the forward transform against a direct DFT, and the single-precision twiddle it carries.
#include "audio/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace orvane {
namespace {

TEST(FftTest, MatchesADirectTransform) {
  for (size_t n : {2u, 8u, 64u, 512u}) {
    std::vector<std::complex<float>> data(n);
    uint32_t state = 7;
    for (auto& v : data) {
      state = state * 1664525u + 1013904223u;
      const float re = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
      state = state * 1664525u + 1013904223u;
      v = {re, static_cast<float>(state >> 8) / 16777216.0f - 0.5f};
    }
    std::vector<std::complex<double>> expected(n);
    for (size_t k = 0; k < n; ++k) {
      for (size_t j = 0; j < n; ++j) {
        const double angle = -2.0 * M_PI * static_cast<double>(j * k % n) / static_cast<double>(n);
        expected[k] += std::complex<double>(data[j]) * std::polar(1.0, angle);
      }
    }
    Fft::Forward(data.data(), n);
    for (size_t k = 0; k < n; ++k) {
      ASSERT_NEAR(data[k].real(), expected[k].real(), 1e-4 * std::sqrt(double(n))) << n << " bin " << k;
      ASSERT_NEAR(data[k].imag(), expected[k].imag(), 1e-4 * std::sqrt(double(n))) << n << " bin " << k;
    }
  }
}

TEST(FftTest, CarriesTheRoundedTwiddleByMultiplication) {
  // A unit impulse at index 1 of 8 comes out as the last stage's running twiddles: 1, b, b*b, b*b*b
  // and their negatives, b being the single-precision cosine and sine of -6.2831855f / 8. The
  // features the model was trained on carry this rounding, so exact roots of unity (or twiddles
  // recomputed per k) would be a different front end.
  std::vector<std::complex<float>> data(8);
  data[1] = 1.0f;
  Fft::Forward(data.data(), data.size());
  const std::complex<float> b(std::cos(-6.2831855f / 8.0f), std::sin(-6.2831855f / 8.0f));
  const std::complex<float> b2 = b * b;
  const std::complex<float> b3 = b2 * b;
  EXPECT_EQ(data[0], std::complex<float>(1.0f, 0.0f));
  EXPECT_EQ(data[1], b);
  EXPECT_EQ(data[2], b2);
  EXPECT_EQ(data[3], b3);
  EXPECT_EQ(data[4], -std::complex<float>(1.0f, 0.0f));
  EXPECT_EQ(data[6], -b2);
  // Recomputing the twiddle of k = 2 would give (-4.371139e-08, -1) instead.
  EXPECT_NE(data[2], std::complex<float>(std::cos(-6.2831855f / 4.0f), std::sin(-6.2831855f / 4.0f)));
  EXPECT_EQ(std::complex<float>(std::cos(-6.2831855f / 2.0f), std::sin(-6.2831855f / 2.0f)),
            std::complex<float>(-1.0f, 8.742278e-08f));
}

TEST(FftTest, SizeOneAndNullAreLeftAlone) {
  std::complex<float> one(3.0f, -2.0f);
  Fft::Forward(&one, 1);
  EXPECT_EQ(one, std::complex<float>(3.0f, -2.0f));
  Fft::Forward(nullptr, 8);
}

}  // namespace
}  // namespace orvane
