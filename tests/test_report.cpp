// SPDX-License-Identifier: ISC
// Publication of the level and RMS readings: 0.2 dB hysteresis, silence
// written once as 0, and the first publications of a new instance.
#include "meter/report.h"
#include "test_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

constexpr double RATE = 48000.0;
constexpr float SILENT = -120.0f;

float db(float amplitude)
{
  return 20.0f * std::log10(amplitude);
}

} // namespace

TEST(Report, PublicationRule)
{
  struct Case {
    const char* name;
    float level, last_level_db;
    std::optional<float> level_port; // empty: not written
    float mean_square, last_rms_db;
    std::optional<float> rms_port;
  };
  const float barely_above_floor = std::nextafter(1e-6f, 1.0f);
  ASSERT_EQ(db(barely_above_floor), SILENT);
  const float within = 1e-6f * std::pow(10.0f, 0.19f / 20.0f);
  const float past = 1e-6f * std::pow(10.0f, 0.25f / 20.0f);
  const Case cases[] = {
    { "within 0.2 dB",
      0.51f,
      db(0.5f),
      {},
      0.25f,
      10.0f * std::log10(0.26f),
      {} },
    { "past 0.2 dB", 0.52f, db(0.5f), 0.52f, 0.25f, -10.0f, 0.5f },
    { "first run, silent", 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f },
    { "first run, near 0 dB", 0.99f, 0.0f, {}, 0.98f, 0.0f, {} },
    { "first run, elsewhere", 0.5f, 0.0f, 0.5f, 0.01f, 0.0f, 0.1f },
    { "silence already written", 0.0f, SILENT, {}, 0.0f, SILENT, {} },
    { "exact floors are silence", 1e-6f, db(0.5f), 0.0f, 1e-12f, -6.0f, 0.0f },
    { "dB rounding to -120 is silence",
      barely_above_floor,
      -3.0f,
      0.0f,
      0.0f,
      SILENT,
      {} },
    { "rise from silence within 0.2 dB",
      within,
      SILENT,
      {},
      1.04e-12f,
      SILENT,
      {} },
    { "rise from silence past 0.2 dB",
      past,
      SILENT,
      past,
      1.2e-12f,
      SILENT,
      std::sqrt(1.2e-12f) },
    { "negative mean square is silence",
      0.5f,
      db(0.5f),
      {},
      -1e-3f,
      -6.0f,
      0.0f },
    { "decided independently", 0.9f, db(0.5f), 0.9f, 0.25f, -6.0206f, {} },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Meter m{};
    float level_port = unwritten();
    float rms_port = unwritten();
    m.p_level = &level_port;
    m.p_rms = &rms_port;
    m.level = c.level;
    m.last_level_db = c.last_level_db;
    m.mean_square = c.mean_square;
    m.last_rms_db = c.last_rms_db;
    meter_report_levels(m);
    EXPECT_EQ(written(level_port), c.level_port.has_value());
    EXPECT_EQ(written(rms_port), c.rms_port.has_value());
    if (c.level_port) {
      EXPECT_EQ(level_port, *c.level_port);
      EXPECT_EQ(m.last_level_db, *c.level_port == 0.0f ? SILENT : db(c.level));
    } else {
      EXPECT_EQ(m.last_level_db, c.last_level_db);
    }
    if (c.rms_port) {
      EXPECT_FLOAT_EQ(rms_port, *c.rms_port);
    } else {
      EXPECT_EQ(m.last_rms_db, c.last_rms_db);
    }
  }
}

TEST(Report, ThresholdIsComparedInDouble)
{
  // The float nearest 0.2 lies a little above 0.2, so a float difference
  // equal to it publishes; the next float down does not.
  const float step = 0.2f;
  ASSERT_GT(static_cast<double>(step), 0.2);
  // With d in [0.25, 0.5) both subtractions below are exact.
  const float d = db(1.04f);
  ASSERT_TRUE(d >= 0.25f && d < 0.5f);
  for (const bool at_threshold : { true, false }) {
    SCOPED_TRACE(at_threshold);
    const float wanted = at_threshold ? step : std::nextafter(step, 0.0f);
    const float last = d - wanted;
    ASSERT_EQ(d - last, wanted);
    Meter m{};
    float port = unwritten();
    float rms_port = unwritten();
    m.p_level = &port;
    m.p_rms = &rms_port;
    m.level = 1.04f;
    m.last_level_db = last;
    meter_report_levels(m);
    EXPECT_EQ(written(port), at_threshold);
  }
}

TEST(Report, FallingLevelIsRepublishedAtTheFirstBlockPastTheThreshold)
{
  TestMeter meter(RATE);
  meter.run(constant(1, 0.5f));
  ASSERT_EQ(meter.level, 0.5f);
  int publications = 0;
  // 64 samples at 48 kHz fall by 0.02 dB: about one publication a dozen blocks.
  for (int block = 0; block < 240; ++block) {
    SCOPED_TRACE(block);
    const float before_db = meter.state().last_level_db;
    meter.run(constant(64, 0.0f));
    const float now_db = db(meter.state().level);
    const bool past = static_cast<double>(std::fabs(now_db - before_db)) > 0.2;
    EXPECT_EQ(written(meter.level), past);
    if (past) {
      ++publications;
      EXPECT_EQ(meter.level, meter.state().level);
    }
  }
  EXPECT_GE(publications, 18); // 15 dB/s over 0.32 s is 4.8 dB
}

TEST(Report, SilenceIsWrittenOnceThroughRun)
{
  TestMeter meter(RATE);
  meter.run(constant(64, 0.5f));
  meter.run(constant(1, INFINITY)); // the guard zeroes every meter
  EXPECT_EQ(meter.level, 0.0f);
  EXPECT_EQ(meter.rms, 0.0f);
  for (int block = 0; block < 3; ++block) {
    meter.run(constant(64, 0.0f));
    EXPECT_FALSE(written(meter.level));
    EXPECT_FALSE(written(meter.rms));
  }
}

TEST(Report, SteadyFullScaleSine)
{
  for (const bool silent_start : { false, true }) {
    SCOPED_TRACE(silent_start ? "after silence" : "from the first block");
    TestMeter meter(RATE);
    if (silent_start) {
      meter.run(constant(256, 0.0f));
      EXPECT_EQ(meter.level, 0.0f);
    }
    bool level_written = false;
    float level_port = silent_start ? 0.0f : 1.0f; // the declared default
    float rms_port = 0.0f;
    for (uint32_t block = 0; block < 48000 / 256 * 2; ++block) {
      meter.run(sine(256, 1.0f, 1000.0, RATE, block * 256));
      if (block == 0) {
        EXPECT_TRUE(written(meter.rms));
      }
      if (written(meter.level)) {
        level_written = true;
        level_port = meter.level;
      }
      if (written(meter.rms)) {
        rms_port = meter.rms;
      }
    }
    EXPECT_EQ(level_written, silent_start);
    EXPECT_NEAR(level_port, 1.0f, 1e-3f);
    EXPECT_NEAR(
      20.0 * std::log10(static_cast<double>(rms_port) / 0.70710678), 0.0, 0.2);
  }
}
