// SPDX-License-Identifier: ISC
// The plug-in against the sequential reference model, bit for bit, on
// seeded random block sequences. Guards every speed-up of the run loop.
#include "reference_meter.h"
#include "test_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

// One block's worth of a signal chosen to reach the meters' edges.
std::vector<float> random_block(std::mt19937& rng, uint32_t n, double rate)
{
  std::uniform_int_distribution<int> kind(0, 7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> block(n);
  const int k = kind(rng);
  // Amplitudes near the -120 dB floors and the 0 dB start.
  const float amplitudes[] = { 1.0f,     0.98f, 1.02f, 1e-6f,
                               1.02e-6f, 1e-3f, 0.5f,  4.0f };
  const float amplitude =
    amplitudes[std::uniform_int_distribution<int>(0, 7)(rng)];
  for (uint32_t i = 0; i < n; ++i) {
    switch (k) {
      case 0: block[i] = 0.0f; break;
      case 1: block[i] = amplitude * unit(rng); break;
      case 2:
        block[i] =
          amplitude * static_cast<float>(std::sin(0.13 * i + rate * 1e-9));
        break;
      case 3:
        block[i] = unit(rng) * 1e-38f;
        break; // denormals and tiny normals
      default: block[i] = amplitude * unit(rng) * unit(rng); break;
    }
  }
  // Now and then one odd sample.
  if (n > 0 && std::uniform_int_distribution<int>(0, 15)(rng) == 0) {
    const float odd[] = { std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(),
                          3e38f,
                          -5e-39f };
    block[std::uniform_int_distribution<uint32_t>(0, n - 1)(rng)] =
      odd[std::uniform_int_distribution<int>(0, 4)(rng)];
  }
  return block;
}

void expect_port(float plugin, const std::optional<float>& reference)
{
  ASSERT_EQ(written(plugin), reference.has_value());
  if (reference) {
    EXPECT_EQ(bits_of(plugin), bits_of(*reference));
  }
}

} // namespace

TEST(Reference, RandomBlockSequencesMatchBitForBit)
{
  // Round rates, and awkward ones whose coefficient rounds differently
  // when divided in float (50000, 37800, 100, 123457 among them).
  const double rates[] = { 48000.0, 44100.0, 96000.0, 8000.0,  192000.0,
                           9.72,    1.0,     0.0,     50000.0, 37800.0,
                           100.0,   11025.0, 7919.0,  33333.0, 123457.0 };
  const uint32_t lengths[] = { 0, 1, 7, 32, 64, 256, 257, 1024 };
  for (uint32_t seed = 1; seed <= 75; ++seed) {
    std::mt19937 rng(seed);
    const double rate = rates[seed % 15];
    SCOPED_TRACE(testing::Message() << "seed " << seed << " rate " << rate);
    TestMeter plugin(rate);
    ReferenceMeter reference(rate);
    uint32_t length = lengths[std::uniform_int_distribution<int>(0, 7)(rng)];
    float spare_ports[3];
    std::vector<float> padded(1025);
    for (int run = 0; run < 150; ++run) {
      SCOPED_TRACE(run);
      if (std::uniform_int_distribution<int>(0, 4)(rng) == 0) {
        length = lengths[std::uniform_int_distribution<int>(0, 7)(rng)];
      }
      const float resets[] = { 0.0f,
                               0.0f,
                               1.0f,
                               1.0f,
                               -1.0f,
                               0.5f,
                               std::numeric_limits<float>::quiet_NaN() };
      plugin.reset = resets[std::uniform_int_distribution<int>(0, 6)(rng)];
      const std::vector<float> block = random_block(rng, length, rate);
      // Any 4-byte alignment of the input buffer.
      const size_t offset = std::uniform_int_distribution<size_t>(0, 1)(rng);
      std::copy(
        block.begin(), block.end(), padded.begin() + static_cast<long>(offset));
      const ReferenceOutputs expected =
        reference.run(block.data(), length, plugin.reset);

      if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
        // Reconnect the outputs to other buffers for one run.
        spare_ports[0] = spare_ports[1] = spare_ports[2] = unwritten();
        meter_connect_port(plugin.handle, PORT_LEVEL, &spare_ports[0]);
        meter_connect_port(plugin.handle, PORT_PEAK, &spare_ports[1]);
        meter_connect_port(plugin.handle, PORT_RMS, &spare_ports[2]);
        meter_connect_port(plugin.handle, PORT_INPUT, padded.data() + offset);
        meter_run(plugin.handle, length);
        expect_port(spare_ports[0], expected.level);
        EXPECT_EQ(bits_of(spare_ports[1]), bits_of(expected.peak));
        expect_port(spare_ports[2], expected.rms);
        meter_connect_port(plugin.handle, PORT_LEVEL, &plugin.level);
        meter_connect_port(plugin.handle, PORT_PEAK, &plugin.peak);
        meter_connect_port(plugin.handle, PORT_RMS, &plugin.rms);
        continue;
      }
      plugin.run(padded.data() + offset, length);
      expect_port(plugin.level, expected.level);
      EXPECT_EQ(bits_of(plugin.peak), bits_of(expected.peak));
      expect_port(plugin.rms, expected.rms);
      if (HasFatalFailure()) return;
    }
  }
}
