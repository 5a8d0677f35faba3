// SPDX-License-Identifier: ISC
// A meter instance wired to buffers of its own, as a host would hold it.
#ifndef TOLVANIC_TESTS_TEST_METER_H
#define TOLVANIC_TESTS_TEST_METER_H

#include "plugin/meter.h"
#include "port_bits.h"

#include <cmath>
#include <cstdint>
#include <vector>

struct TestMeter {
  explicit TestMeter(double rate,
                     const LV2_Descriptor& descriptor = meter_descriptor)
    : plugin(descriptor)
    , handle(plugin.instantiate(&plugin, rate, "", nullptr))
  {
    for (uint32_t port = 0; port < METER_PORTS; ++port) {
      plugin.connect_port(handle, port, nullptr);
    }
    plugin.connect_port(handle, PORT_RESET, &reset);
    plugin.connect_port(handle, PORT_LEVEL, &level);
    plugin.connect_port(handle, PORT_PEAK, &peak);
    plugin.connect_port(handle, PORT_RMS, &rms);
  }
  ~TestMeter() { plugin.cleanup(handle); }
  TestMeter(const TestMeter&) = delete;
  TestMeter& operator=(const TestMeter&) = delete;

  Meter& state() { return *static_cast<Meter*>(handle); }

  void run(const float* samples, uint32_t count)
  {
    level = peak = rms = unwritten();
    plugin.connect_port(handle, PORT_INPUT, const_cast<float*>(samples));
    plugin.run(handle, count);
  }
  void run(const std::vector<float>& block)
  {
    run(block.data(), static_cast<uint32_t>(block.size()));
  }

  const LV2_Descriptor& plugin;
  LV2_Handle handle;
  float reset = 0.0f;
  float level = 0.0f;
  float peak = 0.0f;
  float rms = 0.0f;
};

inline std::vector<float> constant(uint32_t count, float value)
{
  return std::vector<float>(count, value);
}

inline std::vector<float> sine(uint32_t count,
                               float amplitude,
                               double hz,
                               double rate,
                               uint32_t start = 0)
{
  std::vector<float> block(count);
  for (uint32_t i = 0; i < count; ++i) {
    const double phase = 2.0 * M_PI * hz * (start + i) / rate;
    block[i] = amplitude * static_cast<float>(std::sin(phase));
  }
  return block;
}

#endif
