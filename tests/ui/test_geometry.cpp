// SPDX-License-Identifier: ISC
// How readings map onto the UI's bar and readout, as tables.
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
    { NAN, 760.0 },           // nor is NaN
    { 1000.0f, 100.0 },       // far above
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amplitude);
    EXPECT_NEAR(y_from_db(bar, db_from_amplitude(c.amplitude)), c.y, 0.01);
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

} // namespace
