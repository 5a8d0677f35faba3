// SPDX-License-Identifier: ISC
// Entry point, descriptor, instance creation and port wiring.
#include "test_meter.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Entry, OnlyIndexZeroYieldsTheDescriptor)
{
  const LV2_Descriptor* first = lv2_descriptor(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, lv2_descriptor(0));
  EXPECT_STREQ(first->URI, METER_URI);
  EXPECT_EQ(first->activate, nullptr);
  EXPECT_EQ(first->deactivate, nullptr);
  EXPECT_EQ(first->run, &meter_run);
  for (uint32_t index : { 1U, 2U, 255U, 0xFFFFFFFFU }) {
    EXPECT_EQ(lv2_descriptor(index), nullptr) << index;
  }
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

TEST(Instance, StartsAtRateWithRoundedCoefficientAndZeroes)
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
    TestMeter meter(c.rate);
    Meter& m = meter.state();
    EXPECT_EQ(m.rate, static_cast<float>(c.rate));

    // Everything but the rate and the coefficient is zero.
    Meter expected{};
    expected.p_reset = &meter.reset;
    expected.p_level = &meter.level;
    expected.p_peak = &meter.peak;
    expected.p_rms = &meter.rms;
    expected.rate = m.rate;
    expected.rms_coeff = m.rms_coeff;
    EXPECT_EQ(std::memcmp(&m, &expected, sizeof m), 0);

    // One full-scale sample takes the mean square from 0 to the
    // coefficient itself, and the RMS port shows its square root.
    meter.run(constant(1, 1.0f));
    EXPECT_EQ(meter.rms, std::sqrt(c.rms_coeff));
  }
}

TEST(Instance, ConnectPortSetsExactlyTheMatchingPointer)
{
  TestMeter meter(48000.0);
  float buffers[6];
  for (uint32_t port = 0; port <= 5; ++port) {
    SCOPED_TRACE(port);
    Meter before;
    std::memcpy(&before, &meter.state(), sizeof before);
    meter_connect_port(meter.handle, port, &buffers[port]);
    const void* fields[] = { before.p_input,
                             before.p_reset,
                             before.p_level,
                             before.p_peak,
                             before.p_rms };
    if (port < 5) {
      fields[port] = &buffers[port];
    }
    const Meter& after = meter.state();
    const void* now[] = {
      after.p_input, after.p_reset, after.p_level, after.p_peak, after.p_rms
    };
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(now[i], fields[i]) << "field " << i;
    }
    // Port 5 and above touch nothing at all.
    if (port >= 5) {
      EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    }
  }
}
