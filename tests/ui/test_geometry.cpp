// SPDX-License-Identifier: ISC
// How readings map onto the UI's bar and readout, as tables.
#include "ui/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(UiGeometry, DecibelsMapOntoTheBarFromBottomToTop)
{
  const Rect bar{ 10.0, 100.0, 20.0, 660.0 }; // 10 pixels per dB
  struct Case {
    float amplitude;
    double y;
  };
  const Case cases[] = {
    { 1.0f, 160.0 },          // 0 dBFS, 6 dB below the top
    { 2.0f, 100.0 },          // +6.02 dBFS clamps to the top
    { 0.5f, 160.0 + 60.206 }, // -6.02 dBFS
    { 0.001f, 760.0 },        // -60 dBFS, the bottom
    { 1e-5f, 760.0 },         // below the scale
    { 0.0f, 760.0 },          // silence
    { -0.5f, 760.0 },         // not a reading: the bottom
    { NAN, 760.0 },           // nor is NaN
    { 1000.0f, 100.0 },       // far above
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amplitude);
    EXPECT_NEAR(y_from_db(bar, amplitude_db(c.amplitude)), c.y, 0.01);
  }
}

TEST(UiGeometry, ScaleFromDpiStaysWithinOneToFour)
{
  const std::pair<double, double> cases[] = {
    { 96.0, 1.0 }, { 192.0, 2.0 },    { 144.0, 1.5 },     { 72.0, 1.0 },
    { 0.0, 1.0 },  { 384.0, 4.0 },    { 1000.0, 4.0 },    { NAN, 1.0 },
    { -NAN, 1.0 }, { HUGE_VAL, 4.0 }, { -HUGE_VAL, 1.0 }, { -192.0, 1.0 },
  };
  for (const auto& [dpi, scale] : cases) {
    SCOPED_TRACE(dpi);
    EXPECT_EQ(scale_from_dpi(dpi), scale);
  }
}

TEST(UiGeometry, ZonesAndReadoutText)
{
  struct Case {
    float peak;
    Zone zone;
    const char* text;
  };
  const Case cases[] = {
    { 0.0f, Zone::safe, "-inf" },
    { 0.001f, Zone::safe, "-60.0" },
    { 0.2f, Zone::safe, "-14.0" },
    { 0.25f, Zone::safe, "-12.0" },
    { 0.26f, Zone::hot, "-11.7" },
    { 0.9f, Zone::hot, "-0.9" },
    { 0.99999f, Zone::hot, "0.0" },
    { 1.0f, Zone::hot, "0.0" },
    { 1.2f, Zone::over, "+1.6" },
    { 1e-9f, Zone::safe, "-inf" },
    // At or below the meter's silence floor of -120 dBFS, where a host's
    // offset against denormals lands, the readout shows silence.
    { 1e-6f, Zone::safe, "-inf" },
    { 1.2e-6f, Zone::safe, "-118.4" },
    { 1e-18f, Zone::safe, "-inf" },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.peak);
    EXPECT_EQ(zone_of(amplitude_db(c.peak)), c.zone);
    EXPECT_EQ(std::string(format_peak(c.peak).text), c.text);
  }
}

// Where the parts go, for one channel and for two, at natural size and at
// sizes a host may force: inside the window, side by side without
// overlapping, the bars alike, and each readout found where it is.
TEST(UiGeometry, LayoutsOfOneAndTwoChannels)
{
  EXPECT_EQ(natural_size(1.0, 1).width, 96);
  EXPECT_EQ(natural_size(1.0, 2).width, 148);
  EXPECT_EQ(natural_size(2.0, 2).width, 296);
  EXPECT_EQ(natural_size(2.0, 2).height, 600);
  // One channel keeps its place: readout across the top, bar centred with
  // the scale's labels.
  const Layout mono = layout_for(96, 300, 1.0, 1);
  EXPECT_EQ(mono.channels, 1);
  EXPECT_DOUBLE_EQ(mono.readout[0].x, 6.0);
  EXPECT_DOUBLE_EQ(mono.readout[0].width, 84.0);
  EXPECT_DOUBLE_EQ(mono.bar[0].x, 41.0);
  EXPECT_DOUBLE_EQ(mono.bar[0].width, 44.0);
  EXPECT_DOUBLE_EQ(mono.bar[0].y + mono.bar[0].height, 289.5);

  struct Case {
    int width, height;
    double scale;
  };
  const Case cases[] = { { 148, 300, 1.0 },
                         { 296, 600, 2.0 },
                         { 500, 900, 1.0 },
                         { 100, 200, 1.0 },
                         { 40, 60, 1.0 } };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const Layout l = layout_for(c.width, c.height, c.scale, 2);
    ASSERT_EQ(l.channels, 2);
    const Rect window{ 0.0, 0.0, double(c.width), double(c.height) };
    const auto inside = [&](const Rect& r) {
      return r.x >= window.x && r.y >= window.y &&
             r.x + r.width <= window.width + 1e-9 &&
             r.y + r.height <= window.height + 1e-9;
    };
    EXPECT_TRUE(inside(l.readout[0]) && inside(l.readout[1]));
    EXPECT_LE(l.readout[0].x + l.readout[0].width, l.readout[1].x);
    EXPECT_DOUBLE_EQ(l.readout[0].width, l.readout[1].width);
    EXPECT_DOUBLE_EQ(l.bar[0].y, l.bar[1].y);
    EXPECT_DOUBLE_EQ(l.bar[0].height, l.bar[1].height);
    EXPECT_DOUBLE_EQ(l.bar[0].width, l.bar[1].width);
    EXPECT_LT(l.bar[0].x + l.bar[0].width, l.bar[1].x);
    EXPECT_LT(l.label_right, l.bar[0].x);
    for (int ch = 0; ch < 2; ++ch) {
      const Rect& r = l.readout[ch];
      EXPECT_EQ(readout_at(l, r.x + r.width / 2.0, r.y + r.height / 2.0), ch);
      const Rect& letter = l.channel_label[ch];
      EXPECT_GE(letter.y, l.bar[ch].y + l.bar[ch].height);
      if (c.height >= 300) {
        EXPECT_TRUE(inside(l.bar[ch]) && inside(letter));
      }
    }
    EXPECT_EQ(readout_at(l, l.bar[1].x + 1.0, l.bar[1].y + 1.0), -1);
  }
  // Wider than it needs, the group stays centred and the bars no wider
  // than one channel's.
  const Layout wide = layout_for(500, 900, 1.0, 2);
  EXPECT_DOUBLE_EQ(wide.bar[0].width, mono.bar[0].width);
  EXPECT_NEAR(wide.bar[1].x + wide.bar[1].width - 250.0,
              250.0 - (wide.label_right - 22.0),
              1e-9);
}

} // namespace
