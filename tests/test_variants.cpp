// SPDX-License-Identifier: ISC
// The variants that insert into a track beside tolvanic, all loaded as a
// host loads them. Each module holds its variant alone; each channel's
// readings equal those of a tolvanic instance fed that channel alone, bit
// for bit, on seeded blocks with resets at several rates, one reset
// clearing every channel; and the outputs carry the inputs on unchanged
// whatever audio buffers the host shares (in place, on an input's buffer,
// crossed).
#include "hosted_variant.h"

#include <gtest/gtest.h>

#ifndef TOLVANIC_INLINE_MODULE
#error "TOLVANIC_INLINE_MODULE must name the built inline module"
#endif

namespace {

struct Variant {
  const char* module;
  const char* uri;
};

// One plug-in under the variant's URI, at index 0 only, with no activate or
// deactivate and no extension interface but the picture's.
void expect_module_holds_the_variant_alone(const Variant& variant)
{
  const LoadedModule module(variant.module);
  ASSERT_TRUE(module.loaded()) << module.error();
  const LV2_Descriptor* plugin = module.plugin(0);
  ASSERT_NE(plugin, nullptr);
  EXPECT_STREQ(plugin->URI, variant.uri);
  EXPECT_EQ(module.plugin(0), plugin);
  EXPECT_EQ(module.plugin(1), nullptr);
  EXPECT_EQ(plugin->activate, nullptr);
  EXPECT_EQ(plugin->deactivate, nullptr);
  EXPECT_EQ(plugin->extension_data("http://lv2plug.in/ns/ext/state#interface"),
            nullptr);
}

void expect_tolvanic_per_channel_passing_audio_on(const Variant& variant)
{
  expect_module_holds_the_variant_alone(variant);
  const LV2_Descriptor& plugin = load_plugin(variant.module);
  std::vector<float> left = varied_signal(41, 400000);
  const std::vector<float> right = varied_signal(43, 400000);
  // A signalling NaN must come through as it is, not quietened.
  const uint32_t signalling = 0x7f800123;
  std::memcpy(&left[1000], &signalling, sizeof signalling);
  const std::vector<uint32_t> lengths = varied_lengths(47, 3000);

  for (const double rate : { 48000.0, 44100.0, 96000.0, 50000.0, 0.0 }) {
    SCOPED_TRACE(rate);
    HostedMeter plain[2] = { HostedMeter(rate), HostedMeter(rate) };
    HostedVariant hosted(rate, plugin);
    size_t position = 0;
    for (size_t block = 0; block < lengths.size(); ++block) {
      SCOPED_TRACE(block);
      const uint32_t n = lengths[block];
      if (position + n > left.size()) position = 0;
      const Sharing& sharing = hosted.sharing(block);
      const float* l = left.data() + position;
      // Inputs on one buffer carry one signal, which both channels meter.
      const float* r = sharing.in_r == BUFFER_A ? l : right.data() + position;
      // Pressed now and then, for one to three blocks: a press clears the
      // peak holds once.
      const float reset =
        block > 80 && block % 89 <= block / 89 % 3 ? 1.0f : 0.0f;
      plain[0].reset = plain[1].reset = hosted.reset = reset;

      VariantBits expected{};
      for (uint32_t c = 0; c < hosted.ports().channels; ++c) {
        expected[c] = plain[c].run(c == 0 ? l : r, n);
      }
      ASSERT_EQ(hosted.run(l, r, n, sharing), expected);
      ASSERT_TRUE(hosted.passed_unchanged(l, r, n, sharing))
        << "in_r on " << sharing.in_r << ", out_l on " << sharing.out_l
        << ", out_r on " << sharing.out_r;
      position += n;
    }
  }
}

} // namespace

TEST(Inline, ReadsAsTolvanicAndPassesTheAudioOn)
{
  expect_tolvanic_per_channel_passing_audio_on(
    { TOLVANIC_INLINE_MODULE, INLINE_METER_URI });
}

TEST(Stereo, EachChannelReadsAsTolvanicAloneAndPassesOnUnderEverySharing)
{
  expect_tolvanic_per_channel_passing_audio_on(
    { TOLVANIC_STEREO_MODULE, STEREO_METER_URI });
}
