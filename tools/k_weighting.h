// SPDX-License-Identifier: ISC
// The K-weighting of ITU-R BS.1770-4: a high shelf of about +4 dB above
// 1.5 kHz, then a high-pass at about 38 Hz, at any sample rate.
#ifndef TOLVANIC_TOOLS_K_WEIGHTING_H
#define TOLVANIC_TOOLS_K_WEIGHTING_H

#include <cstdint>

// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
struct Biquad {
  double b0, b1, b2, a1, a2;
};

struct KWeighting {
  Biquad shelf;
  Biquad high_pass;
};

// At 48 kHz these are BS.1770-4's own coefficients (to rounding); at other
// rates the same analog filters, through the bilinear transform. A rate
// below 1 Hz (or NaN) is taken as 1 Hz.
KWeighting k_weighting(double rate);

// Both filters in turn, their state in double, kept from call to call.
class KWeightingFilter {
public:
  explicit KWeightingFilter(double rate);

  // Filters `count` samples and returns the sum of the squares of the
  // filtered ones. A NaN or infinite sample is filtered as 0, so that it
  // cannot stay in the filters' state for ever.
  double sum_squares(const float* samples, int64_t count);

private:
  // The last two inputs, shelf outputs and high-pass outputs.
  struct State {
    double x1, x2, s1, s2, h1, h2;
  };
  KWeighting k_;
  State state_{};
};

#endif
