// SPDX-License-Identifier: ISC
#include "floor.h"

void floor_run(FloorState& state,
               const float* input,
               uint32_t sample_count) noexcept
{
  float mean_square = state.mean_square;
  const float k = state.k;
  for (uint32_t i = 0; i < sample_count; ++i) {
    const float x = input[i];
    mean_square = mean_square + (x * x - mean_square) * k;
  }
  state.mean_square = mean_square;
}
