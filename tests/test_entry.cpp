// SPDX-License-Identifier: ISC
// Entry point, descriptor, instance creation and port wiring.
#include "test_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(Entry, OnlyIndexZeroYieldsTheDescriptorAndItMeters)
{
  const LV2_Descriptor* first = lv2_descriptor(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, lv2_descriptor(0));
  EXPECT_STREQ(first->URI, METER_URI);
  EXPECT_EQ(first->activate, nullptr);
  EXPECT_EQ(first->deactivate, nullptr);
  for (uint32_t index : { 1U, 2U, 255U, 0xFFFFFFFFU }) {
    EXPECT_EQ(lv2_descriptor(index), nullptr) << index;
  }

  // Its operations are the meter's: a block of 0.5 reads 0.5.
  TestMeter meter(48000.0, *first);
  meter.run(constant(64, 0.5f));
  EXPECT_EQ(meter.level, 0.5f);
  EXPECT_EQ(meter.peak, 0.5f);
  EXPECT_GT(meter.rms, 0.0f);
}

TEST(Entry, NoExtensionData)
{
  for (const char* uri : { "http://lv2plug.in/ns/ext/state#interface",
                           "http://lv2plug.in/ns/ext/worker#interface",
                           "http://lv2plug.in/ns/ext/options#interface",
                           "http://lv2plug.in/ns/ext/urid#map",
                           "" }) {
    EXPECT_EQ(meter_descriptor.extension_data(uri), nullptr) << uri;
  }
}

TEST(Instance, StartsFromZeroAtItsRateWithRoundedCoefficient)
{
  // The coefficient is 9.72 / rate in double, rounded once to float. The
  // rates where a float division would round differently (50 kHz, 37.8
  // kHz, 100 Hz) tell the two apart.
  struct Case {
    double rate;
    float rms_coeff;
  };
  for (const Case c : { Case{ 48000.0, 0x1.a8ac5cp-13f },
                        Case{ 44100.0, 0x1.ce3abcp-13f },
                        Case{ 50000.0, 0x1.97afb4p-13f },
                        Case{ 37800.0, 0x1.0da242p-12f },
                        Case{ 100.0, 0x1.8e2196p-4f } }) {
    SCOPED_TRACE(c.rate);
    // Every meter starts at 0, and what was last published at 0 dB: a
    // first block of silence publishes 0 on all three ports.
    TestMeter silent(c.rate);
    silent.run(constant(64, 0.0f));
    EXPECT_EQ(bits_of(silent.level), bits_of(0.0f));
    EXPECT_EQ(bits_of(silent.peak), bits_of(0.0f));
    EXPECT_EQ(bits_of(silent.rms), bits_of(0.0f));

    // One full-scale sample takes the mean square from 0 to the
    // coefficient itself, and the RMS port shows its square root; the
    // level at 0 dB counts as published already.
    TestMeter meter(c.rate);
    meter.run(constant(1, 1.0f));
    EXPECT_EQ(meter.rms, std::sqrt(c.rms_coeff));
    EXPECT_FALSE(written(meter.level));
    EXPECT_EQ(meter.peak, 1.0f);
    // One second of silence at this rate takes the level down 15 dB.
    meter.run(constant(static_cast<uint32_t>(c.rate), 0.0f));
    EXPECT_EQ(meter.level, std::pow(10.0f, -0.75f));
  }
}

TEST(Instance, ConnectPortRewiresExactlyTheMatchingPort)
{
  for (const uint32_t port :
       { 0U, 1U, 2U, 3U, 4U, 5U, 6U, 255U, 0xFFFFFFFFU }) {
    SCOPED_TRACE(port);
    // The port is rewired to `spare` (samples of 0.75, or a pressed reset)
    // between two blocks; `alike` is fed the same on its own ports. The
    // second block shows a rewired reset by being quieter than the first
    // (the peak hold falls to it), and writes all three readings else.
    const bool output = port >= PORT_LEVEL && port <= PORT_RMS;
    std::vector<float> spare(64, 0.75f);
    const std::vector<float> first = constant(64, 0.5f);
    std::vector<float> second =
      constant(64, port == PORT_RESET ? 0.25f : 0.75f);
    TestMeter meter(48000.0);
    TestMeter alike(48000.0);
    meter.run(first);
    alike.run(first);
    if (output) spare[0] = unwritten();
    meter_connect_port(meter.handle, port, spare.data());
    if (port != PORT_INPUT) {
      meter_connect_port(meter.handle, PORT_INPUT, second.data());
    }
    meter.level = meter.peak = meter.rms = unwritten();
    meter_run(meter.handle, 64);
    alike.reset = port == PORT_RESET ? spare[0] : 0.0f;
    alike.run(second);

    const float seen[] = { meter.level, meter.peak, meter.rms };
    const float expected[] = { alike.level, alike.peak, alike.rms };
    for (uint32_t reading = 0; reading < READINGS; ++reading) {
      SCOPED_TRACE(reading);
      if (PORT_LEVEL + reading == port) {
        EXPECT_FALSE(written(seen[reading]));
        EXPECT_EQ(bits_of(spare[0]), bits_of(expected[reading]));
      } else {
        EXPECT_EQ(bits_of(seen[reading]), bits_of(expected[reading]));
      }
    }
    if (!output) {
      EXPECT_EQ(spare, std::vector<float>(64, 0.75f)) << "read, not written";
    }
  }
}
