// SPDX-License-Identifier: ISC
// The mixer-strip picture of the variants that pass audio on, through the
// inline-display extension as Ardour uses it: the picture at the sizes
// hosts ask for, a bar per channel for a loud, a quiet and a silent signal,
// read back against the dBFS scale (-60 dBFS at a bar's left end, +6 dBFS
// at its right end); and how often run asks the host to draw it.
#include "display_host.h"
#include "hosted_variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>

#ifndef TOLVANIC_INLINE_MODULE
#error "TOLVANIC_INLINE_MODULE must name the built inline module"
#endif

namespace {

constexpr double RATE = 48000.0;
constexpr uint32_t BLOCK = 256;

struct Rgb {
  int r, g, b;
};

Rgb pixel(const DisplaySurface& surface, int x, int y)
{
  uint32_t value;
  std::memcpy(&value, surface.data + y * surface.stride + 4 * x, 4);
  EXPECT_EQ(value >> 24, 0xffu) << "opaque, premultiplied: alpha is full";
  return { static_cast<int>(value >> 16 & 0xff),
           static_cast<int>(value >> 8 & 0xff),
           static_cast<int>(value & 0xff) };
}

bool same(Rgb a, Rgb b)
{
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Lit parts are bright and coloured; the unlit bar and the background are
// dark, the 0 dBFS mark grey.
bool lit(Rgb c)
{
  const int most = std::max({ c.r, c.g, c.b });
  return most > 120 && most - std::min({ c.r, c.g, c.b }) > 40;
}

// The zone a lit colour belongs to, by its hue: red, yellow or green.
const char* zone_of(Rgb c)
{
  const int most = std::max({ c.r, c.g, c.b });
  const int range = most - std::min({ c.r, c.g, c.b });
  if (range < 30) return "grey";
  double hue = most == c.r   ? 60.0 * (c.g - c.b) / range
               : most == c.g ? 120.0 + 60.0 * (c.b - c.r) / range
                             : 240.0 + 60.0 * (c.r - c.g) / range;
  if (hue < 0.0) hue += 360.0;
  if (hue < 20.0 || hue >= 340.0) return "over";
  if (hue < 80.0) return "hot";
  if (hue < 180.0) return "safe";
  return "other";
}

// A signal: a short burst, which the peak hold keeps, then a steady
// amplitude, to which the level falls; and what the picture shows of it.
struct Signal {
  const char* name;
  float burst;
  float steady;
  const char* level_zone; // at the lit bar's end; null: nothing lit
  double peak_db;         // where the peak hold mark ends
  const char* peak_zone;
};
const Signal LOUD = { "loud", 1.122f, 1.122f, "over", 1.0, "over" };
const Signal QUIET = { "quiet", 0.5f, 0.05f, "safe", -6.02, "hot" };
const Signal SILENT = { "silent", 0.0f, 0.0f, nullptr, 0.0, nullptr };

// Runs each channel's signal through the instance in blocks of BLOCK.
void feed(HostedVariant& meter, const Signal& left, const Signal& right)
{
  const auto blocks = [](double seconds) {
    return static_cast<int>(seconds * RATE / BLOCK);
  };
  const auto run = [&](float l, float r, int count) {
    const std::vector<float> left_block(BLOCK, l), right_block(BLOCK, r);
    for (int i = 0; i < count; ++i) {
      meter.run(left_block.data(), right_block.data(), BLOCK, meter.sharing(0));
    }
  };
  run(left.burst, right.burst, blocks(0.1));
  run(left.steady, right.steady, blocks(3.0));
}

// A bar as the picture shows it: its top row, and the columns that are not
// background there.
struct Bar {
  int row, left, length;
};

std::vector<Bar> find_bars(const DisplaySurface& surface)
{
  const Rgb background = pixel(surface, 0, 0);
  std::vector<Bar> bars;
  bool in_bar = false;
  for (int y = 0; y < surface.height; ++y) {
    int left = -1, right = -1;
    for (int x = 0; x < surface.width; ++x) {
      if (!same(pixel(surface, x, y), background)) {
        if (left < 0) left = x;
        right = x;
      }
    }
    // The 0 dBFS mark alone crosses the margins: a bar spans more.
    const bool bar_row = right - left > surface.width / 2;
    if (bar_row && !in_bar) bars.push_back({ y, left, right + 1 - left });
    in_bar = bar_row;
  }
  return bars;
}

// The column a dBFS value ends on, by the scale's definition.
int column_of(const Bar& bar, double db)
{
  return bar.left + static_cast<int>((db + 60.0) / 66.0 * bar.length + 0.5) - 1;
}

// The level lights the bar up to its place on the scale, in the zone there;
// the peak hold mark ends at its place, in its zone; between the two the
// bar is dark; silence lights nothing.
void expect_bar_shows(const DisplaySurface& surface,
                      const Bar& bar,
                      const Signal& s)
{
  SCOPED_TRACE(s.name);
  EXPECT_GE(bar.length, surface.width * 3 / 4);
  int lit_end = -1;
  for (int x = bar.left; x < bar.left + bar.length; ++x) {
    if (lit(pixel(surface, x, bar.row))) lit_end = x;
  }
  if (s.level_zone == nullptr) {
    EXPECT_EQ(lit_end, -1) << "silence lights nothing";
    return;
  }
  const double level_db = 20.0 * std::log10(static_cast<double>(s.steady));
  const int level_end = column_of(bar, level_db);
  const int peak_end = column_of(bar, s.peak_db);
  EXPECT_NEAR(lit_end, peak_end, 1);
  EXPECT_STREQ(zone_of(pixel(surface, level_end, bar.row)), s.level_zone);
  EXPECT_STREQ(zone_of(pixel(surface, peak_end, bar.row)), s.peak_zone);
  if (peak_end - level_end > 4) {
    EXPECT_FALSE(lit(pixel(surface, level_end + 2, bar.row)));
  }
}

} // namespace

TEST(Display, OfferedByTheVariantsThatPassAudioOn)
{
  EXPECT_EQ(display_of(load_plugin(TOLVANIC_MODULE)), nullptr);
  for (const char* module :
       { TOLVANIC_INLINE_MODULE, TOLVANIC_STEREO_MODULE }) {
    const DisplayInterface* display = display_of(load_plugin(module));
    ASSERT_NE(display, nullptr) << module;
    EXPECT_NE(display->render, nullptr);
  }
}

TEST(Display, PictureShowsLevelZoneAndPeakHoldOnTheScale)
{
  struct Case {
    const char* module;
    std::vector<Signal> channels;
  };
  const Case cases[] = {
    { TOLVANIC_INLINE_MODULE, { LOUD } },
    { TOLVANIC_INLINE_MODULE, { QUIET } },
    { TOLVANIC_INLINE_MODULE, { SILENT } },
    { TOLVANIC_STEREO_MODULE, { LOUD, QUIET } },
    { TOLVANIC_STEREO_MODULE, { SILENT, QUIET } },
  };
  struct Room {
    uint32_t width, height;
  };
  const Room rooms[] = { { 60, 100 }, { 112, 400 }, { 224, 300 }, { 112, 16 } };
  for (const Case& c : cases) {
    const LV2_Descriptor& plugin = load_plugin(c.module);
    const DisplayInterface& display = *display_of(plugin);
    for (const Room& room : rooms) {
      SCOPED_TRACE(testing::Message() << c.channels.size() << " channel(s) in "
                                      << room.width << "x" << room.height);
      HostedVariant meter(RATE, plugin);
      ASSERT_EQ(meter.ports().channels, c.channels.size());
      feed(meter, c.channels.front(), c.channels.back());
      const DisplaySurface* surface =
        display.render(meter.handle(), room.width, room.height);
      ASSERT_NE(surface, nullptr);
      EXPECT_EQ(surface->width, static_cast<int>(room.width));
      EXPECT_GT(surface->height, 0);
      EXPECT_LE(surface->height, static_cast<int>(room.height));
      EXPECT_EQ(surface->stride, 4 * surface->width);
      const std::vector<Bar> bars = find_bars(*surface);
      ASSERT_EQ(bars.size(), c.channels.size());
      for (size_t channel = 0; channel < bars.size(); ++channel) {
        expect_bar_shows(*surface, bars[channel], c.channels[channel]);
      }
    }
  }
}

TEST(Display, AsksForAPictureOnlyWhenItChanges)
{
  const LV2_Descriptor& plugin = load_plugin(TOLVANIC_INLINE_MODULE);
  const DisplayInterface& display = *display_of(plugin);
  const QueueDrawFeature queue_draw;
  HostedVariant meter(RATE, plugin, queue_draw.features());
  std::vector<float> tone(BLOCK * 3750); // 20 s of a 1 kHz tone at -6 dBFS
  for (size_t i = 0; i < tone.size(); ++i) {
    tone[i] = 0.5f * static_cast<float>(std::sin(
                       2.0 * M_PI * 1000.0 * static_cast<double>(i) / RATE));
  }
  const std::vector<float> silence(BLOCK, 0.0f);
  // A host that renders whenever it was asked, as Ardour does.
  int rendered = 0;
  const auto run_blocks =
    [&](const float* samples, size_t blocks, bool move) -> int {
    const int before = queue_draw.calls();
    for (size_t block = 0; block < blocks; ++block) {
      const int asked = queue_draw.calls();
      const float* block_samples = samples + (move ? block * BLOCK : 0);
      meter.run(block_samples, block_samples, BLOCK, meter.sharing(block));
      if (queue_draw.calls() > asked) {
        EXPECT_NE(display.render(meter.handle(), 112, 200), nullptr);
        ++rendered;
      }
      EXPECT_LE(queue_draw.calls() - asked, 1) << "one request per run";
    }
    return queue_draw.calls() - before;
  };

  run_blocks(tone.data(), 375, true); // two seconds: the meters settle
  const int steady = run_blocks(tone.data() + 375 * BLOCK, 3375, true);
  const int falling = run_blocks(silence.data(), 1125, false); // 6 s
  const int silent = run_blocks(silence.data(), 1125, false);
  std::cout << "queue_draw calls: steady tone " << steady
            << " in 3375 blocks, falling level " << falling
            << " in 1125 blocks, silence " << silent << " in 1125 blocks\n";
  EXPECT_EQ(steady, 0);
  // The level falls 54 dB to the scale's end in 3.6 s, the RMS faster:
  // at most one request for each column either passes (108 at this width).
  EXPECT_GT(falling, 30);
  EXPECT_LE(falling, 2 * 108);
  EXPECT_EQ(silent, 0);
  EXPECT_GT(rendered, 0);
}
