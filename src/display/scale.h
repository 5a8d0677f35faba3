// SPDX-License-Identifier: ISC
// The meter's dBFS scale, its zones and its colours: one definition for
// every picture of the meter, the window's and the mixer strip's.
#ifndef TOLVANIC_DISPLAY_SCALE_H
#define TOLVANIC_DISPLAY_SCALE_H

// The span of the scale in dBFS, from its low end to its high end.
constexpr float SCALE_BOTTOM_DB = -60.0f;
constexpr float SCALE_TOP_DB = 6.0f;
// Readings from here up are hot; above 0 dBFS they are over.
constexpr float HOT_DB = -12.0f;

enum class Zone { safe, hot, over };

constexpr Zone zone_of(float db)
{
  return db > 0.0f ? Zone::over : db >= HOT_DB ? Zone::hot : Zone::safe;
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
