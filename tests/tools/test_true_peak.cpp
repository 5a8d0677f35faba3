// SPDX-License-Identifier: ISC
// The true-peak meter beyond the cases of Tech 3341: its accuracy at any
// phase, how much it oversamples at which rate, and the same peak however
// the samples come and whichever kernel filters them.
#include "true_peak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

// A sine of peak 1 with a gentle fade in and out.
std::vector<float> sine(double cycles_per_sample, double phase_degrees)
{
  std::vector<float> x(4000);
  const double fade = 400.0, end = static_cast<double>(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const double t = static_cast<double>(n);
    const double edge = std::min({ 1.0, t / fade, (end - t) / fade });
    x[n] = static_cast<float>(edge * edge *
                              std::sin(2.0 * M_PI * cycles_per_sample * t +
                                       phase_degrees * M_PI / 180.0));
  }
  return x;
}

double peak_db(double rate, const std::vector<float>& x)
{
  TruePeakMeter meter(rate);
  meter.add(x.data(), static_cast<int64_t>(x.size()));
  meter.finish();
  return 20.0 * std::log10(static_cast<double>(meter.peak()));
}

TEST(TruePeak, ReadsSinesWithinItsToleranceAndOversamplesByTheRate)
{
  const double at_67 = 20 * std::log10(std::sin(67.5 * M_PI / 180));
  const double at_45 = 20 * std::log10(std::sin(45 * M_PI / 180));
  const struct {
    double rate, cycles, first_phase, last_phase, expected_db, below, above;
  } cases[] = {
    // Within +0.2 / -0.4 dB at any phase up to 0.37 fs (17.8 kHz).
    { 48000, 0.02, 0, 90, 0, 0.4, 0.2 },
    { 48000, 0.1, 0, 90, 0, 0.4, 0.2 },
    { 48000, 0.2, 0, 90, 0, 0.4, 0.2 },
    { 48000, 0.3, 0, 90, 0, 0.4, 0.2 },
    { 48000, 0.37, 0, 90, 0, 0.4, 0.2 },
    // The crest a quarter of a sample after one: 4x finds it, 2x reads
    // the points half-way, at 67.5 degrees.
    { 95999, 0.25, 22.5, 22.5, 0, 0.03, 0.03 },
    { 96000, 0.25, 22.5, 22.5, at_67, 0.03, 0.03 },
    // Half-way: 2x finds it, the samples alone read 45 degrees.
    { 191999, 0.25, 45, 45, 0, 0.03, 0.03 },
    { 192000, 0.25, 45, 45, at_45, 0.03, 0.03 },
  };
  for (const auto& c : cases) {
    for (double phase = c.first_phase; phase <= c.last_phase; phase += 1.7) {
      SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.cycles) +
                   " fs, " + std::to_string(phase));
      const double db = peak_db(c.rate, sine(c.cycles, phase));
      EXPECT_GE(db, c.expected_db - c.below);
      EXPECT_LE(db, c.expected_db + c.above);
    }
  }
}

TEST(TruePeak, TakesTheSamplesThemselvesAndLeavesNonFiniteOnesOut)
{
  // The points around a lone sample are all lower than it.
  const std::vector<float> lone = { 0, 1, 0, NAN, INFINITY, -INFINITY, 0 };
  const std::vector<float> huge = { 0, -3e38f, 0 };
  for (double rate : { 48000.0, 96000.0, 192000.0 }) {
    for (const std::vector<float>& x : { lone, huge }) {
      TruePeakMeter meter(rate);
      meter.add(x.data(), static_cast<int64_t>(x.size()));
      meter.finish();
      EXPECT_EQ(meter.peak(), std::fabs(x[1])) << rate;
    }
  }
}

TEST(TruePeak, IsTheSameInAnyChunksWithAnyKernelSkippedOrNot)
{
  // Noise bursts of rising and falling levels, so that some stretches are
  // skipped and some are not; and silence with two samples of 0.5 among
  // the last of those that one stretch of points shares with the next,
  // whose own samples are silent: the point between the two is the peak.
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> noise(50000), pair(300);
  for (size_t n = 0; n < noise.size(); ++n) {
    noise[n] =
      unit(rng) * std::pow(10.0f, -static_cast<float>(n % 7919) / 2000.0f);
  }
  pair[122] = pair[123] = 0.5f;
  for (const std::vector<float>& x : { noise, pair }) {
    for (double rate : { 44100.0, 96000.0 }) {
      SCOPED_TRACE(rate);
      const auto peak = [&](TruePeakMeter::Options options, size_t chunk) {
        TruePeakMeter meter(rate, options);
        for (size_t start = 0; start < x.size(); start += chunk) {
          meter.add(x.data() + start, 0);
          meter.add(x.data() + start,
                    static_cast<int64_t>(std::min(chunk, x.size() - start)));
        }
        meter.finish();
        return meter.peak();
      };
      const float whole = peak({}, x.size());
      EXPECT_GT(whole, x[0] == 0 ? 0.5f : 1.0f);
      for (size_t chunk : { size_t{ 1 }, size_t{ 7 }, size_t{ 1031 } })
        EXPECT_EQ(peak({}, chunk), whole) << chunk;
      EXPECT_EQ(peak({ false, false }, 1031), whole);
      EXPECT_EQ(peak({ true, true }, 1031), whole);
    }
  }
}

} // namespace
