// SPDX-License-Identifier: ISC
// When the reset control goes up and the timeline takes a row, block by
// block.
#include "schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr double RATE = 48000.0;

TEST(Schedule, ResetRaisesTheOneBlockThatHoldsItsTime)
{
  // 0.768 s is frame 36864, the first frame of the 145th block of 256;
  // 0.7 s is frame 33600, inside a block.
  struct Case {
    std::vector<double> resets;
    int64_t start, end;
    bool raised;
  };
  const Case cases[] = {
    { { 0.768 }, 36608, 36864, false }, // the block before ends there
    { { 0.768 }, 36864, 37120, true },
    { { 0.768 }, 37120, 37376, false },
    { { 0.7 }, 33536, 33792, true },
    { { 0.7 }, 33280, 33536, false },
    { { 2.0, 0.7 }, 33536, 33792, true }, // any order
    { { 2.0, 0.7 }, 95744, 96000, false },
    { { 2.0, 0.7 }, 96000, 96256, true },
    // 0.700015 s is frame 33600.72: frame 33600 holds it, not 33601.
    { { 0.700015 }, 33344, 33601, true },
    { { 0.700015 }, 33601, 33857, false },
    { { 0.0 }, 0, 256, true },
    { { 1e300 }, 0, 256, false }, // beyond any file
    { {}, 0, 256, false },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
    const Schedule schedule(c.resets, 0.1, RATE);
    EXPECT_EQ(schedule.reset_in(c.start, c.end), c.raised);
  }
}

TEST(Schedule, RowFollowsTheBlockWhereAMultipleOfTheIntervalFalls)
{
  struct Case {
    double interval;
    int64_t start, end;
    bool due;
  };
  const Case cases[] = {
    { 0.1, 0, 256, false },
    { 0.1, 4608, 4864, true }, // 0.1 s is frame 4800
    { 0.1, 4864, 5120, false },
    { 0.1, 4544, 4800, true }, // a block ending on the tick takes the row
    { 0.1, 4800, 5056, false },
    { 0.001, 0, 256, true }, // finer than a block: every block
    { 0.001, 256, 512, true },
    { 2.0, 48000, 48256, false },
    { 2.0, 95744, 96000, true },
    { 0.1, 4799, 4800, true }, // blocks of one frame
    { 0.1, 4800, 4801, false },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.interval << " s, " << c.start << ".." << c.end);
    const Schedule schedule({}, c.interval, RATE);
    EXPECT_EQ(schedule.row_due(c.start, c.end), c.due);
  }
}

} // namespace
