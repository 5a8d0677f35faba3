// SPDX-License-Identifier: ISC
// The command's own count of one channel's samples, which sees what the
// plug-in's readings cannot show (an infinite sample zeroes them).
#ifndef TOLVANIC_TOOLS_SAMPLE_STATS_H
#define TOLVANIC_TOOLS_SAMPLE_STATS_H

#include <cstdint>

struct SampleStats {
  float peak = 0.0f;        // largest finite magnitude
  int64_t peak_frame = -1;  // its first frame; -1 while all are 0
  double sum_squares = 0.0; // of the finite samples, in double
  int64_t finite = 0;       // samples counted in sum_squares
  int64_t nonfinite = 0;    // NaN and infinities
  int64_t first_nonfinite = -1;
  int64_t clipped = 0; // finite samples at or above full scale

  // Counts `count` samples, the first of which is frame `first_frame`; at
  // most 2^16 samples a call.
  void add(const float* samples, int64_t count, int64_t first_frame);
  // Over the finite samples only; 0 when there are none.
  double rms() const;
};

#endif
