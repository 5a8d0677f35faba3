// SPDX-License-Identifier: ISC
#include "k_weighting.h"

#include <cfloat>
#include <cmath>

namespace {

// The analog filters behind BS.1770-4's 48 kHz table, found by inverting
// the bilinear transform of its coefficients: a second-order high shelf
//   H(s) = (VH s^2 + VB s / Q + 1) / (s^2 + s / Q + 1),  s = p / w0,
// and a second-order high-pass with a passband gain a little above 1
// (the table's numerator is exactly 1, -2, 1):
//   H(s) = GAIN s^2 / (s^2 + s / Q + 1).
constexpr double SHELF_HZ = 1681.974450955533;
constexpr double SHELF_Q = 0.7071752369554196;
constexpr double SHELF_HIGH_GAIN = 1.5848647011308554; // +3.9998 dB
constexpr double SHELF_MID_GAIN = 1.2587209302325617;
constexpr double HIGH_PASS_HZ = 38.13547087602444;
constexpr double HIGH_PASS_Q = 0.5003270373238773;
constexpr double HIGH_PASS_GAIN = 1.0049948987146884;

// tan(pi f / fs) is the bilinear transform's scale that puts the corner
// exactly at f. A corner above fs / 4 (low rates only) gets the scale that
// keeps fs / 4 in place instead: near Nyquist the tangent would run off to
// infinity, while this keeps the filter stable and its response continuous
// in the rate.
double warped(double hz, double rate)
{
  const double quarter = rate / 4.0;
  return hz <= quarter ? std::tan(M_PI * hz / rate) : hz / quarter;
}

Biquad shelf(double rate)
{
  const double k = warped(SHELF_HZ, rate);
  const double kq = k / SHELF_Q;
  const double a0 = 1.0 + kq + k * k;
  return { (SHELF_HIGH_GAIN + SHELF_MID_GAIN * kq + k * k) / a0,
           2.0 * (k * k - SHELF_HIGH_GAIN) / a0,
           (SHELF_HIGH_GAIN - SHELF_MID_GAIN * kq + k * k) / a0,
           2.0 * (k * k - 1.0) / a0,
           (1.0 - kq + k * k) / a0 };
}

Biquad high_pass(double rate)
{
  const double k = warped(HIGH_PASS_HZ, rate);
  const double kq = k / HIGH_PASS_Q;
  const double a0 = 1.0 + kq + k * k;
  const double b = HIGH_PASS_GAIN / a0;
  return { b, -2.0 * b, b, 2.0 * (k * k - 1.0) / a0, (1.0 - kq + k * k) / a0 };
}

} // namespace

KWeighting k_weighting(double rate)
{
  const double usable = rate >= 1.0 ? rate : 1.0;
  return { shelf(usable), high_pass(usable) };
}

KWeightingFilter::KWeightingFilter(double rate)
  : k_(k_weighting(rate))
{}

double KWeightingFilter::sum_squares(const float* samples, int64_t count)
{
  const Biquad s = k_.shelf, h = k_.high_pass;
  State z = state_; // in registers for the loop
  double sum = 0.0;
  for (int64_t i = 0; i < count; ++i) {
    const float sample = samples[i];
    const double x =
      std::fabs(sample) <= FLT_MAX ? static_cast<double>(sample) : 0.0;
    // The terms of older samples first, so that only the last subtraction
    // waits for the previous output.
    const double shelved =
      (s.b0 * x + s.b1 * z.x1 + s.b2 * z.x2 - s.a2 * z.s2) - s.a1 * z.s1;
    const double weighted =
      (h.b0 * shelved + h.b1 * z.s1 + h.b2 * z.s2 - h.a2 * z.h2) - h.a1 * z.h1;
    sum += weighted * weighted;
    z = { x, z.x1, shelved, z.s1, weighted, z.h1 };
  }
  state_ = z;
  return sum;
}
