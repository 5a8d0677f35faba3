// SPDX-License-Identifier: ISC
// The meter's work on one block of one channel, in three steps: the block's
// start (reset edge, falloff, start values), one sample, and the block's
// end (non-finite guard, store, publication). Every plug-in's run is made
// of these, whether it meters one channel or several side by side, so the
// arithmetic exists once. They are inline so that a run loop compiles to
// the operations written here, one at a time and in this order (the build
// forbids contraction into fused multiply-adds), which keeps the meters
// reproducible bit for bit on any x86-64 machine.
#ifndef TOLVANIC_METER_BLOCK_H
#define TOLVANIC_METER_BLOCK_H

#include "meter/report.h"
#include "plugin/meter.h"

#include <cmath>
#include <cstdint>

constexpr float METER_TINY_OFFSET = 1e-20f; // keeps the meters off exact 0
constexpr float METER_FALLOFF_PER_SECOND = -0.75f; // log10 of it: -15 dB/s
constexpr float METER_LARGEST_FINITE = 3.4028235e38f;

// The running values of one channel within a block.
struct MeterBlock {
  float level;
  float peak;
  float mean_square;
  float k; // the per-sample smoothing coefficient
};

// The level falls once per block, by a factor that depends only on the
// block's duration. Hosts keep the block length constant, so a one-entry
// cache turns the powf into a once-per-instance cost.
inline float meter_falloff_for(Meter& meter, uint32_t sample_count) noexcept
{
  if (sample_count != meter.falloff_samples) {
    const float seconds = static_cast<float>(sample_count) / meter.rate;
    meter.falloff = std::pow(10.0f, seconds * METER_FALLOFF_PER_SECOND);
    meter.falloff_samples = sample_count;
  }
  return meter.falloff;
}

// Hosts must never see a non-finite control value: an infinite or NaN meter
// (from an infinite sample, an overflowing square or a 0 Hz rate) restarts
// from 0.
inline float meter_finite_or_zero(float value) noexcept
{
  return std::fabs(value) <= METER_LARGEST_FINITE ? value : 0.0f;
}

// Starts a block of sample_count samples, given the reset control's value
// for it: a rising edge clears the peak hold once (NaN counts as not above
// 0), and the level takes the block's falloff.
inline MeterBlock meter_block_begin(Meter& meter,
                                    float reset,
                                    uint32_t sample_count) noexcept
{
  const bool reset_high = reset > 0.0f;
  const float peak = reset_high && !meter.reset_high ? 0.0f : meter.peak;
  meter.reset_high = reset_high;
  return {
    meter_falloff_for(meter, sample_count) * (meter.level + METER_TINY_OFFSET),
    peak,
    meter.mean_square + METER_TINY_OFFSET,
    meter.rms_coeff,
  };
}

// One sample. The comparisons are strict and fail on NaN, so a NaN sample
// raises neither maximum. The mean square is a chain of dependent
// operations and sets a loop's pace; the two maxima run alongside it.
inline void meter_block_sample(MeterBlock& block, float x) noexcept
{
  const float magnitude = std::fabs(x);
  block.level = magnitude > block.level ? magnitude : block.level;
  block.peak = magnitude > block.peak ? magnitude : block.peak;
  block.mean_square = block.mean_square + (x * x - block.mean_square) * block.k;
}

// Ends the block: stores the meters, publishes the level and the RMS when
// they have moved, and the peak hold always.
inline void meter_block_end(Meter& meter, const MeterBlock& block) noexcept
{
  meter.level = meter_finite_or_zero(block.level);
  meter.peak = meter_finite_or_zero(block.peak);
  meter.mean_square = meter_finite_or_zero(block.mean_square);
  meter_report_levels(meter);
  *meter.p_peak = meter.peak;
}

#endif
