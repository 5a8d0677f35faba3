// SPDX-License-Identifier: ISC
// The meter's run operation: one pass over the block updates the falling-peak
// level, the peak hold and the smoothed mean square, then publishes them.
#include "meter/block.h"
#include "plugin/meter.h"

void meter_run(LV2_Handle instance, uint32_t sample_count) noexcept
{
  auto& meter = *static_cast<Meter*>(instance);
  const float* const input = meter.p_input;
  MeterBlock block = meter_block_begin(meter, *meter.p_reset, sample_count);
  for (uint32_t i = 0; i < sample_count; ++i) {
    meter_block_sample(block, input[i]);
  }
  meter_block_end(meter, block);
}
