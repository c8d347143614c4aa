// AudioResampler: streaming conversion of mono float audio between integer sample rates by
// windowed-sinc interpolation (a Hann-tapered sinc over `half_width` input samples on each side,
// cut off at the input's Nyquist frequency, weights renormalised for every output sample).
#ifndef ORVANE_AUDIO_RESAMPLER_H_
#define ORVANE_AUDIO_RESAMPLER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orvane/export.h"

namespace orvane {

// Output sample k of a stream sits at input position k * in_rate / out_rate; the position is kept
// by adding in_rate / out_rate (a double) once per output sample, so long streams follow the
// rounding of that repeated addition (44100 samples at 44100 Hz give 16001 samples at 16000 Hz).
// An output is produced as soon as every input sample its kernel reaches has arrived; Flush
// produces the rest, with the taps past the end of the input left out.
//
// The kernel is tabulated once per object (at construction, under a millisecond) for a grid of
// fractional positions: one row per phase of the rate ratio, at most 256 rows, each with the
// weights and their slopes. Weights between rows come from cubic Hermite interpolation and agree
// with direct evaluation to about 1e-11, so outputs equal those of direct evaluation up to the
// final rounding to float (far inside 1e-6 for input in -1..1), also on long streams where the
// accumulated position has drifted off the exact phases. Half-widths above 64 are evaluated
// directly.
//
// Rates must be positive. A resampler built with a rate of 0 or below takes no input and produces
// nothing (instead of dividing by zero or never finishing a block); callers that turn a declared
// floating-point rate into an integer one check it first with IsSupportedRate.
//
// Not thread-safe: one object serves one stream on one thread at a time.
class ORVANE_EXPORT AudioResampler {
 public:
  // Rates in Hz. The session uses half_width 16. A half-width below 1 yields silence.
  AudioResampler(int in_rate, int out_rate, int half_width);

  // True when `rate` (Hz) is finite and its integer part, the rate a resampler is built with, is
  // between 1 and INT32_MAX. Zero, negative, NaN, infinite, below 1 (truncates to 0) and too large
  // for a 32-bit integer are refused; a session refuses to open with such a rate.
  static bool IsSupportedRate(float rate);

  // Adds n samples. With equal rates they go straight to the output. A null pointer is ignored.
  void AcceptWaveform(const float* samples, size_t n);

  // Hands over every output sample produced so far.
  std::vector<float> PopAll();

  // Produces the outputs left up to the end of the input accepted so far. A second Flush adds
  // nothing; samples accepted afterwards continue the same stream of positions.
  void Flush();

  // Starts a new stream with the same rates.
  void Reset();

  // Kernel weight at distance x (input samples) from the output position, for half-width a:
  // sinc(x) * (0.5 + 0.5 cos(pi x / a)) inside |x| < a, 0 outside.
  static double SincWindow(double x, double half_width);

  int in_rate() const { return in_rate_; }
  int out_rate() const { return out_rate_; }
  int half_width() const { return half_width_; }

 private:
  void BuildKernelTable();
  // One output sample at input position `pos`, from the buffered input.
  float Interpolate(double pos) const;
  float InterpolateDirect(double pos) const;
  void ProduceBelow(double limit);

  int32_t in_rate_;
  int32_t out_rate_;
  int32_t half_width_;
  double step_;               // input samples per output sample
  std::vector<float> input_;  // buffered input; input_[0] is stream sample dropped_
  std::vector<float> output_;
  double next_pos_ = 0.0;     // position of the next output, in input samples from stream start
  int64_t dropped_ = 0;

  bool usable_;               // both rates positive
  // Kernel table: rows r = 0..num_phases_ hold, for the fractional position r / num_phases_, the
  // weights of the 2 * half_width_ taps followed by their derivatives in x. Empty (num_phases_ 0)
  // when the kernel is evaluated directly.
  int32_t num_phases_ = 0;
  std::vector<double> kernel_;
};

}  // namespace orvane

#endif  // ORVANE_AUDIO_RESAMPLER_H_
