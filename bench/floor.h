// SPDX-License-Identifier: ISC
// The meter's floor: its smoothed mean square alone. Each sample costs three
// dependent float operations (subtract, multiply, add) that no bit-exact
// meter can reorder, so no meter can run faster than this recurrence.
#ifndef TOLVANIC_BENCH_FLOOR_H
#define TOLVANIC_BENCH_FLOOR_H

#include <cstdint>

struct FloorState {
  float mean_square;
  float k; // per-sample smoothing coefficient, as the meter's rms_coeff
};

// M = M + (x*x - M)*k over the block, then stores M. Compiled in a file of
// its own with the plug-in's float flags and called once per block, as a
// host calls meter_run, so the two differ only in the meter's own work.
void floor_run(FloorState& state,
               const float* input,
               uint32_t sample_count) noexcept;

#endif
