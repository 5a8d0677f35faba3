// SPDX-License-Identifier: ISC
// The stereo variant beside two instances of tolvanic, all loaded as a host
// loads them: its module holds the variant alone; each channel's readings
// equal those of a tolvanic instance fed that channel alone, bit for bit,
// on seeded blocks with resets at several rates; and its outputs carry the
// inputs on unchanged whatever audio buffers the host shares.
#include "hosted_stereo.h"
#include "variant_module.h"

#include <gtest/gtest.h>

#ifndef TOLVANIC_STEREO_MODULE
#error "TOLVANIC_STEREO_MODULE must name the built stereo module"
#endif

TEST(Stereo, ModuleHoldsTheVariantAlone)
{
  expect_module_holds_the_variant_alone(
    TOLVANIC_STEREO_MODULE, "http://tolvanic.org/oss/lv2/tolvanic#stereo");
}

TEST(Stereo, EachChannelReadsAsTolvanicAloneAndPassesOnUnderEverySharing)
{
  const LV2_Descriptor& variant = load_plugin(TOLVANIC_STEREO_MODULE);
  const std::array<Sharing, SHARINGS> sharings = every_sharing();
  std::vector<float> left = varied_signal(41, 400000);
  const std::vector<float> right = varied_signal(43, 400000);
  // A signalling NaN must come through as it is, not quietened.
  const uint32_t signalling = 0x7f800123;
  std::memcpy(&left[1000], &signalling, sizeof signalling);
  const std::vector<uint32_t> lengths = varied_lengths(47, 3000);

  for (const double rate : { 48000.0, 44100.0, 96000.0, 50000.0, 0.0 }) {
    SCOPED_TRACE(rate);
    HostedMeter plain_left(rate);
    HostedMeter plain_right(rate);
    HostedStereo stereo(rate, variant);
    size_t position = 0;
    for (size_t block = 0; block < lengths.size(); ++block) {
      SCOPED_TRACE(block);
      const uint32_t n = lengths[block];
      if (position + n > left.size()) position = 0;
      const Sharing& sharing = sharings[block % sharings.size()];
      const float* l = left.data() + position;
      // Inputs on one buffer carry one signal, which both channels meter.
      const float* r = sharing.in_r == BUFFER_A ? l : right.data() + position;
      // Pressed now and then, and held for a few blocks: one press clears
      // both peak holds once.
      const float reset = block % 89 < 3 && block > 80 ? 1.0f : 0.0f;
      plain_left.reset = plain_right.reset = stereo.reset = reset;

      const StereoBits expected{ plain_left.run(l, n), plain_right.run(r, n) };
      ASSERT_EQ(stereo.run(l, r, n, sharing), expected);
      ASSERT_TRUE(stereo.passed_unchanged(l, r, n, sharing))
        << "in_r on " << sharing.in_r << ", out_l on " << sharing.out_l
        << ", out_r on " << sharing.out_r;
      position += n;
    }
  }
}
