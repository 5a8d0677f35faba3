// SPDX-License-Identifier: ISC
// The UI's layout and value functions, as tables.
#include "geometry.h"

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
    { NAN, 760.0 },           { 1000.0f, 100.0 }, // far above
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amplitude);
    EXPECT_NEAR(y_from_db(bar, db_from_amplitude(c.amplitude)), c.y, 0.01);
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
    { 0.0f, Zone::safe, "-inf" },   { 0.001f, Zone::safe, "-60.0" },
    { 0.2f, Zone::safe, "-14.0" },  { 0.25f, Zone::safe, "-12.0" },
    { 0.26f, Zone::hot, "-11.7" },  { 0.9f, Zone::hot, "-0.9" },
    { 0.99999f, Zone::hot, "0.0" }, { 1.0f, Zone::hot, "0.0" },
    { 1.2f, Zone::over, "+1.6" },   { 1e-9f, Zone::safe, "-180.0" },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.peak);
    EXPECT_EQ(zone_of(db_from_amplitude(c.peak)), c.zone);
    EXPECT_EQ(std::string(format_peak(c.peak).text), c.text);
  }
}

TEST(UiGeometry, LayoutFitsAnySizeAndScale)
{
  struct Case {
    int width, height;
    double scale;
    int labels; // marks with room for a label
  };
  const Case cases[] = {
    { 96, 300, 1.0, 12 }, { 192, 600, 2.0, 12 }, { 160, 900, 1.0, 16 },
    { 96, 120, 1.0, 5 },  { 1, 1, 1.0, 1 },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const Layout layout = layout_for(c.width, c.height, c.scale);
    const Rect& bar = layout.bar;
    EXPECT_GE(bar.width, 1.0);
    EXPECT_GE(bar.height, 1.0);
    if (c.width > 1) {
      EXPECT_GT(bar.y, layout.readout.y + layout.readout.height);
      EXPECT_LE(bar.x + bar.width, c.width);
      EXPECT_LE(bar.y + bar.height, c.height);
      EXPECT_GE(layout.label_right, 0.0);
      EXPECT_LE(layout.label_right, bar.x);
    }
    bool labelled[MARK_COUNT];
    label_marks(layout, labelled);
    int count = 0;
    for (bool l : labelled) {
      count += l;
    }
    EXPECT_EQ(count, c.labels);
    // The readout is the reset button; the bar is not.
    const Rect& r = layout.readout;
    EXPECT_TRUE(contains(r, r.x + r.width / 2.0, r.y + r.height / 2.0));
    EXPECT_FALSE(contains(r, bar.x + 1.0, bar.y + bar.height / 2.0));
  }
}

} // namespace
