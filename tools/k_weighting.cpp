// SPDX-License-Identifier: ISC
#include "k_weighting.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>

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

Biquad bilinear_shelf(double rate)
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

// |H|^2 of a biquad at `omega` radians per sample.
double squared_magnitude(const Biquad& b, double omega)
{
  const std::complex<double> z = std::polar(1.0, -omega);
  return std::norm((b.b0 + b.b1 * z + b.b2 * z * z) /
                   (1.0 + b.a1 * z + b.a2 * z * z));
}

// Below 40 kHz the bilinear transform squeezes the shelf, whose corner
// lies ever closer to Nyquist: at 8 kHz it reads a 1 kHz tone 0.2 dB low.
// There the shelf's poles are the analog poles mapped exactly (z = e^sT),
// and its zeros are chosen so that its magnitude equals the 48 kHz
// filter's at 0 Hz, at Nyquist and at the corner (or a quarter of the
// rate, when that is lower): within 0.04 dB of it at 8 kHz, and of the
// table's filter at 48 kHz up to Nyquist at every rate from 6 kHz.
//   |B(e^jw)|^2 = (b0+b1+b2)^2 c + (b0-b1+b2)^2 s - 16 b0 b2 c s,
//   c = cos^2(w/2), s = sin^2(w/2), and so for the poles.
Biquad matched_shelf(double rate)
{
  const Biquad at_48k = bilinear_shelf(48000.0);
  const auto target = [&](double hz) {
    return squared_magnitude(at_48k, 2.0 * M_PI * hz / 48000.0);
  };
  const double zeta = 1.0 / (2.0 * SHELF_Q);
  const double w0 = 2.0 * M_PI * SHELF_HZ / rate;
  const double radius = std::exp(-zeta * w0);
  const double a1 = -2.0 * radius * std::cos(w0 * std::sqrt(1.0 - zeta * zeta));
  const double a2 = radius * radius;
  const double at_dc = (1.0 + a1 + a2) * (1.0 + a1 + a2);
  const double at_nyquist = (1.0 - a1 + a2) * (1.0 - a1 + a2);
  // The numerator's three terms, from the magnitude at the three points.
  const double hz = std::min(SHELF_HZ, rate / 4.0);
  const double s = std::pow(std::sin(M_PI * hz / rate), 2.0), c = 1.0 - s;
  const double denominator = at_dc * c + at_nyquist * s - 16.0 * a2 * c * s;
  const double sum = std::sqrt(target(0.0) * at_dc); // b0+b1+b2
  const double alternating = std::sqrt(target(rate / 2.0) * at_nyquist);
  const double cross =
    (target(hz) * denominator - sum * sum * c - alternating * alternating * s) /
    (c * s);                                      // -16 b0 b2
  const double outer = (sum + alternating) / 2.0; // b0 + b2
  const double root = std::sqrt(outer * outer + cross / 4.0);
  const double b0 = (outer + root) / 2.0;
  return { b0, (sum - alternating) / 2.0, outer - b0, a1, a2 };
}

Biquad shelf(double rate)
{
  return rate < 40000.0 ? matched_shelf(rate) : bilinear_shelf(rate);
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
