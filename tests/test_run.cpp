// SPDX-License-Identifier: ISC
// Block analysis: reset edges, the falloff cache, the three meters and the
// non-finite guard.
#include "test_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <xmmintrin.h>

namespace {

constexpr double RATE = 48000.0;
const float INF = std::numeric_limits<float>::infinity();
const float NaN = std::numeric_limits<float>::quiet_NaN();

// Sets or clears DAZ and FTZ on this thread for one scope.
class FloatMode {
public:
  explicit FloatMode(bool flush)
    : saved_(_mm_getcsr())
  {
    _mm_setcsr(flush ? saved_ | 0x8040U : saved_ & ~0x8040U);
  }
  ~FloatMode() { _mm_setcsr(saved_); }

private:
  unsigned saved_;
};

} // namespace

TEST(Reset, ClearsOnRisingEdgesOnly)
{
  struct Case {
    std::vector<float> controls;
    std::vector<bool> clears;
  };
  const Case cases[] = {
    { { 0, 1, 1, 1, 0, 1 }, { false, true, false, false, false, true } },
    { { 0, -1, -0.0f, NaN, 0, 0 },
      { false, false, false, false, false, false } },
    { { 1, NaN, 1, 0.5f, 1e-30f }, { true, false, true, false, false } },
  };
  for (const Case& c : cases) {
    TestMeter meter(RATE);
    for (size_t run = 0; run < c.controls.size(); ++run) {
      SCOPED_TRACE(testing::Message()
                   << "control " << c.controls[run] << " at run " << run);
      meter.state().peak = 0.75f; // what the hold would show without a reset
      meter.reset = c.controls[run];
      meter.run(constant(16, 0.25f));
      // A cleared hold shows the block's own largest magnitude, not 0.
      EXPECT_EQ(meter.peak, c.clears[run] ? 0.25f : 0.75f);
    }
  }
}

TEST(Reset, ClearedHoldShowsZeroOnlyWithoutAPositiveMagnitude)
{
  for (const auto& block :
       { std::vector<float>{}, constant(8, 0.0f), constant(8, NaN) }) {
    TestMeter meter(RATE);
    meter.run(constant(8, 0.5f));
    meter.reset = 1.0f;
    meter.run(block);
    EXPECT_EQ(meter.peak, 0.0f) << block.size();
  }
}

TEST(Falloff, EachBlockFallsByItsOwnLengthsFactor)
{
  TestMeter meter(RATE);
  const float& level = meter.state().level;
  const auto factor = [](uint32_t n) {
    return std::pow(10.0f,
                    static_cast<float>(n) / static_cast<float>(RATE) * -0.75f);
  };
  // A new instance falls by the factor 0 in a block of 0 samples.
  meter.run(nullptr, 0);
  EXPECT_EQ(level, 0.0f); // 0 * (0 + 1e-20)

  // Lengths that come back after others: each block falls by its own
  // length's factor, as if computed afresh, never by a stale one.
  meter.run(constant(1, 1.0f));
  const uint32_t lengths[] = { 256, 256, 128, 256, 1, 1, 4096, 128, 0 };
  for (const uint32_t n : lengths) {
    SCOPED_TRACE(n);
    const float before = level;
    meter.run(constant(n, 0.0f));
    EXPECT_EQ(level, factor(n) * (before + 1e-20f));
  }
}

TEST(Level, FallsFifteenDecibelsPerSecond)
{
  TestMeter meter(RATE);
  meter.run(constant(4, 1.0f));
  ASSERT_EQ(meter.state().level, 1.0f);
  meter.run(constant(48000, 0.0f)); // exactly one second
  EXPECT_EQ(meter.state().level, std::pow(10.0f, -0.75f) * (1.0f + 1e-20f));
  EXPECT_NEAR(
    20.0 * std::log10(static_cast<double>(meter.state().level)), -15.0, 1e-5);
}

TEST(MeanSquare, GrowsTowardsTheSquareOfAConstant)
{
  for (const uint32_t n : { 1U, 100U, 4800U, 48000U }) {
    TestMeter meter(RATE);
    const float amplitude = 0.5f;
    meter.run(constant(n, amplitude));
    const double k = 9.72 / RATE;
    const double expected = 0.25 * (1.0 - std::pow(1.0 - k, n));
    EXPECT_NEAR(meter.state().mean_square, expected, expected * 1e-4) << n;
  }
}

TEST(Samples, InfinitiesAndOverflowZeroTheAffectedMeters)
{
  struct Case {
    const char* name;
    std::vector<float> block;
    float level_and_peak;
  };
  const Case cases[] = {
    { "+inf", { 0.5f, INF, 0.25f }, 0.0f },
    { "-inf", { -INF, 0.5f }, 0.0f },
    { "square overflows", { 3e38f, 0.1f }, 3e38f },
    { "largest finite", { 0.25f, -3.4028235e38f }, 3.4028235e38f },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestMeter meter(RATE);
    meter.run(c.block);
    EXPECT_EQ(meter.state().level, c.level_and_peak);
    EXPECT_EQ(meter.peak, c.level_and_peak);
    EXPECT_EQ(meter.state().mean_square, 0.0f);
  }
}

TEST(Samples, NaNRestartsOnlyTheMeanSquare)
{
  for (const auto& block : { std::vector<float>{ 0.0f, NaN, 0.0f },
                             std::vector<float>{ 0.5f, NaN, -0.25f } }) {
    TestMeter with_nan(RATE);
    TestMeter without(RATE);
    with_nan.run(block);
    without.run({ block[0], 0.0f, block[2] });
    EXPECT_EQ(with_nan.state().mean_square, 0.0f);
    EXPECT_EQ(with_nan.state().level, without.state().level);
    EXPECT_EQ(with_nan.peak, without.peak);
  }
}

TEST(Samples, NegativeSamplesCountByMagnitude)
{
  TestMeter meter(RATE);
  meter.run(constant(3, -0.5f));
  EXPECT_EQ(meter.peak, 0.5f);
  EXPECT_EQ(meter.state().level, 0.5f);
  EXPECT_GT(meter.state().mean_square, 0.0f);
}

TEST(Samples, DenormalsFollowTheCallingThreadsMode)
{
  const float denormal = 5e-39f;
  ASSERT_EQ(std::fpclassify(denormal), FP_SUBNORMAL);
  for (const bool flush : { true, false }) {
    SCOPED_TRACE(flush ? "DAZ set" : "DAZ clear");
    FloatMode mode(flush);
    TestMeter meter(RATE);
    meter.run(constant(1, denormal));
    EXPECT_EQ(meter.peak, flush ? 0.0f : denormal);
  }
}

TEST(Samples, ZeroRateKeepsEveryMeterFinite)
{
  for (const double rate : { 0.0, -48000.0, 1.0, std::nan("") }) {
    SCOPED_TRACE(rate);
    TestMeter meter(rate);
    for (const uint32_t n : { 0U, 64U, 64U }) {
      meter.run(sine(n, 0.9f, 1000.0, 48000.0));
      const Meter& m = meter.state();
      EXPECT_TRUE(std::isfinite(m.level) && std::isfinite(m.peak) &&
                  std::isfinite(m.mean_square));
    }
  }
}
