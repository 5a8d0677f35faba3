// SPDX-License-Identifier: ISC
// The meter's dBFS scale, its zones and its colours: one definition for
// every picture of the meter, the window's and the mixer strip's, each of
// which only maps the scale onto its own pixels. Inline and free of any
// library but libm, so that both modules compile it in.
#ifndef TOLVANIC_DISPLAY_SCALE_H
#define TOLVANIC_DISPLAY_SCALE_H

#include <cmath>

// The span of the scale in dBFS, from its low end to its high end.
constexpr float SCALE_BOTTOM_DB = -60.0f;
constexpr float SCALE_TOP_DB = 6.0f;
// Readings from here up are hot; above full scale they are over.
constexpr float HOT_DB = -12.0f;
constexpr float FULL_SCALE_DB = 0.0f;

enum class Zone { safe, hot, over };

constexpr Zone zone_of(float db)
{
  return db > FULL_SCALE_DB ? Zone::over
         : db >= HOT_DB     ? Zone::hot
                            : Zone::safe;
}

// The zones as they lie on the scale, from its low end up.
struct ZoneSpan {
  Zone zone;
  float low_db;
  float high_db;
};
constexpr ZoneSpan ZONE_SPANS[] = {
  { Zone::safe, SCALE_BOTTOM_DB, HOT_DB },
  { Zone::hot, HOT_DB, FULL_SCALE_DB },
  { Zone::over, FULL_SCALE_DB, SCALE_TOP_DB },
};

// A linear amplitude in dBFS: -infinity for 0, a negative number or NaN.
inline float amplitude_db(float amplitude)
{
  if (!(amplitude > 0.0f)) {
    return -INFINITY;
  }
  return 20.0f * std::log10(amplitude);
}

// Where a dBFS value lies on the scale: 0 at its low end and below it (and
// for -infinity and NaN), 1 at its high end and above it.
inline double scale_fraction(float db)
{
  if (!(db > SCALE_BOTTOM_DB)) {
    return 0.0;
  }
  if (db >= SCALE_TOP_DB) {
    return 1.0;
  }
  return static_cast<double>(db - SCALE_BOTTOM_DB) /
         static_cast<double>(SCALE_TOP_DB - SCALE_BOTTOM_DB);
}

// Colours, each channel from 0 to 1.
struct Colour {
  double r, g, b;
};

constexpr Colour BACKGROUND = { 0.094, 0.102, 0.118 };
constexpr Colour PANEL = { 0.055, 0.059, 0.071 };
constexpr Colour PANEL_PRESSED = { 0.18, 0.19, 0.22 };
constexpr Colour TEXT = { 0.62, 0.65, 0.70 };
constexpr Colour MARK = { 0.36, 0.38, 0.42 };
constexpr Colour FULL_SCALE = { 0.85, 0.87, 0.90 };
constexpr Colour SAFE = { 0.22, 0.78, 0.42 };
constexpr Colour HOT = { 0.96, 0.72, 0.18 };
constexpr Colour OVER = { 0.94, 0.27, 0.27 };

constexpr Colour colour_of(Zone zone)
{
  return zone == Zone::over ? OVER : zone == Zone::hot ? HOT : SAFE;
}

// Part way from a colour to white.
constexpr Colour lighter(Colour c, double amount)
{
  return { c.r + (1.0 - c.r) * amount,
           c.g + (1.0 - c.g) * amount,
           c.b + (1.0 - c.b) * amount };
}

// A colour laid over another with an opacity.
constexpr Colour over(Colour below, Colour above, double alpha)
{
  return { below.r + (above.r - below.r) * alpha,
           below.g + (above.g - below.g) * alpha,
           below.b + (above.b - below.b) * alpha };
}

// How the bar shows each part, as opacities and lightness: the unlit
// zones dim, the level lit, the RMS a lighter core, the peak hold light.
constexpr double UNLIT_ALPHA = 0.14;
constexpr double LEVEL_ALPHA = 0.9;
constexpr double RMS_LIGHTEN = 0.45;
constexpr double PEAK_LIGHTEN = 0.6;
constexpr double FULL_SCALE_ALPHA = 0.6;

#endif
