// SPDX-License-Identifier: ISC
#include "sample_stats.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

void SampleStats::add(const float* samples, int64_t count, int64_t first_frame)
{
  // Magnitudes compared as bit patterns: for floats of one sign the order
  // of the patterns is the order of the values, infinity and NaN lie above
  // every finite value, and whole numbers let the compiler use the vector
  // unit. A call holds at most 2^16 samples, so 32-bit counts do.
  constexpr int32_t MAGNITUDE = 0x7FFFFFFF, INFINITE = 0x7F800000,
                    FULL_SCALE = 0x3F800000; // 1.0f
  int32_t highest = 0, bad = 0, over = 0;
  for (int64_t i = 0; i < count; ++i) {
    int32_t bits = 0;
    std::memcpy(&bits, samples + i, sizeof bits);
    bits &= MAGNITUDE;
    const bool counts = bits < INFINITE;
    const int32_t counted = counts ? bits : 0;
    bad += counts ? 0 : 1;
    over += counted >= FULL_SCALE ? 1 : 0;
    highest = std::max(highest, counted);
  }

  // Eight partial sums, so that the additions need not wait on each other;
  // the order differs from one sum's by far less than 0.01 dB.
  double sums[8] = {};
  const int64_t whole = bad == 0 ? count - count % 8 : 0;
  for (int64_t i = 0; i < whole; i += 8) {
    for (int64_t k = 0; k < 8; ++k) {
      const auto x = static_cast<double>(samples[i + k]);
      sums[k] += x * x;
    }
  }
  for (int64_t i = whole; i < count; ++i) {
    const float x = samples[i];
    const auto counted =
      static_cast<double>(std::fabs(x) <= FLT_MAX ? x : 0.0f);
    sums[0] += counted * counted;
  }

  // Rarely needed: where the new peak and the first non-finite sample are.
  float magnitude = 0.0f;
  std::memcpy(&magnitude, &highest, sizeof magnitude);
  if (magnitude > peak) {
    peak = magnitude;
    peak_frame = first_frame;
    while (std::fabs(samples[peak_frame - first_frame]) != magnitude)
      ++peak_frame;
  }
  if (bad > 0 && first_nonfinite < 0) {
    first_nonfinite = first_frame;
    while (std::fabs(samples[first_nonfinite - first_frame]) <= FLT_MAX)
      ++first_nonfinite;
  }
  sum_squares += ((sums[0] + sums[1]) + (sums[2] + sums[3])) +
                 ((sums[4] + sums[5]) + (sums[6] + sums[7]));
  finite += count - bad;
  nonfinite += bad;
  clipped += over;
}

double SampleStats::rms() const
{
  return finite > 0 ? std::sqrt(sum_squares / static_cast<double>(finite))
                    : 0.0;
}
