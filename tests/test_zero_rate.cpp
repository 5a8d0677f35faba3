// SPDX-License-Identifier: ISC
// What a host that passes a sample rate of 0 sees: the level shows each
// block's own peak (it falls to nothing between blocks), the RMS reads 0,
// and the peak hold works as at any rate.
#include "test_meter.h"

#include <gtest/gtest.h>

TEST(ZeroRate, LevelShowsEachBlocksPeakRmsReadsZeroPeakHoldWorks)
{
  TestMeter meter(0.0);
  struct Step {
    float amplitude;
    uint32_t length;
    float level; // expected on the level port, or unwritten()
    float peak;
    float rms;
  };
  const float none = unwritten();
  const Step steps[] = {
    { 0.5f, 64, 0.5f, 0.5f, 0.0f }, // RMS is silence from the first block
    { 0.25f, 64, 0.25f, 0.5f, none },
    { 0.0f, 64, 0.0f, 0.5f, none },
    { 0.75f, 32, 0.75f, 0.75f, none },
    { 0.0f, 0, 0.0f, 0.75f, none }, // 0 samples: 0/0 gives a NaN factor
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << step.amplitude << " x " << step.length);
    meter.run(constant(step.length, step.amplitude));
    EXPECT_EQ(bits_of(meter.level), bits_of(step.level));
    EXPECT_EQ(bits_of(meter.peak), bits_of(step.peak));
    EXPECT_EQ(bits_of(meter.rms), bits_of(step.rms));
  }
}
