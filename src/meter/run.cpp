// SPDX-License-Identifier: ISC
// The meter's run operation: one pass over the block updates the falling-peak
// level, the peak hold and the smoothed mean square, then publishes them.
//
// Every float operation happens one at a time in the order written (the
// build forbids contraction into fused multiply-adds), so the meters are
// reproducible bit for bit on any x86-64 machine.
#include "../plugin/meter.h"
#include "report.h"

#include <cmath>

namespace {

constexpr float TINY_OFFSET = 1e-20f;        // keeps the meters off exact zero
constexpr float FALLOFF_PER_SECOND = -0.75f; // log10 of the fall, -15 dB/s
constexpr float LARGEST_FINITE = 3.4028235e38f;

// The level falls once per block, by a factor that depends only on the
// block's duration. Hosts keep the block length constant, so a one-entry
// cache turns the powf into a once-per-instance cost.
float falloff_for(Meter& meter, uint32_t sample_count) noexcept
{
  if (sample_count != meter.falloff_samples) {
    const float seconds = static_cast<float>(sample_count) / meter.rate;
    meter.falloff = std::pow(10.0f, seconds * FALLOFF_PER_SECOND);
    meter.falloff_samples = sample_count;
  }
  return meter.falloff;
}

// Hosts must never see a non-finite control value: an infinite or NaN meter
// (from an infinite sample, an overflowing square or a 0 Hz rate) restarts
// from 0.
float finite_or_zero(float value) noexcept
{
  return std::fabs(value) <= LARGEST_FINITE ? value : 0.0f;
}

} // namespace

void meter_run(LV2_Handle instance, uint32_t sample_count) noexcept
{
  auto& meter = *static_cast<Meter*>(instance);
  const float* const input = meter.p_input;
  const float reset = *meter.p_reset;

  // A rising edge of the reset control clears the peak hold once; NaN counts
  // as not above 0.
  const bool reset_high = reset > 0.0f;
  float peak = reset_high && !meter.reset_high ? 0.0f : meter.peak;
  meter.reset_high = reset_high;

  float level = falloff_for(meter, sample_count) * (meter.level + TINY_OFFSET);
  float mean_square = meter.mean_square + TINY_OFFSET;
  const float k = meter.rms_coeff;

  // The comparisons are strict and fail on NaN, so a NaN sample raises
  // neither maximum. The mean square is a chain of dependent operations and
  // sets the loop's pace; the two maxima run alongside it.
  for (uint32_t i = 0; i < sample_count; ++i) {
    const float x = input[i];
    const float magnitude = std::fabs(x);
    level = magnitude > level ? magnitude : level;
    peak = magnitude > peak ? magnitude : peak;
    mean_square = mean_square + (x * x - mean_square) * k;
  }

  meter.level = finite_or_zero(level);
  meter.peak = finite_or_zero(peak);
  meter.mean_square = finite_or_zero(mean_square);

  meter_report_levels(meter);

  *meter.p_peak = meter.peak;
}
