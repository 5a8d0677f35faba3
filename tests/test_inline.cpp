// SPDX-License-Identifier: ISC
// The inline variant beside tolvanic, both loaded as a host loads them: its
// module holds the variant alone, its audio output carries the input on
// bit for bit (in place and out of place), and every port it writes equals
// tolvanic's on the same blocks, bit for bit.
#include "hosted_meter.h"
#include "variant_module.h"

#include <gtest/gtest.h>

#include <cstring>

#ifndef TOLVANIC_INLINE_MODULE
#error "TOLVANIC_INLINE_MODULE must name the built inline module"
#endif

TEST(Inline, ModuleHoldsTheVariantAlone)
{
  expect_module_holds_the_variant_alone(
    TOLVANIC_INLINE_MODULE, "http://tolvanic.org/oss/lv2/tolvanic#inline");
}

TEST(Inline, PassesTheAudioOnAndReadsAsTolvanic)
{
  const LV2_Descriptor& variant = load_plugin(TOLVANIC_INLINE_MODULE);
  const std::vector<float> signal = varied_signal(23, 400000);
  const std::vector<uint32_t> lengths = varied_lengths(23, 3000);
  for (const double rate : { 48000.0, 44100.0, 50000.0, 0.0 }) {
    SCOPED_TRACE(rate);
    HostedMeter plain(rate);
    HostedMeter inline_meter(rate, variant);
    size_t position = 0;
    for (size_t block = 0; block < lengths.size(); ++block) {
      SCOPED_TRACE(block);
      const uint32_t n = lengths[block];
      if (position + n > signal.size()) position = 0;
      const float* samples = signal.data() + position;
      plain.reset = inline_meter.reset = block % 89 == 5 ? 1.0f : 0.0f;

      // In place the variant gets a copy of the block as its one buffer;
      // out of place, an output buffer whose sample after the block must
      // stay untouched.
      const bool in_place = block % 3 == 0;
      std::vector<float> buffer(samples, samples + n);
      std::fill(inline_meter.output.begin(),
                inline_meter.output.begin() + n + 1,
                unwritten());
      const PortBits expected = plain.run(samples, n);
      const PortBits got = inline_meter.run(buffer.data(), n, in_place);
      ASSERT_EQ(got, expected);
      const float* passed =
        in_place ? buffer.data() : inline_meter.output.data();
      ASSERT_TRUE(n == 0 ||
                  std::memcmp(passed, samples, n * sizeof(float)) == 0)
        << (in_place ? "in place" : "out of place");
      ASSERT_FALSE(written(inline_meter.output[n]));
      position += n;
    }
  }
}
