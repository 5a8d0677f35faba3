// SPDX-License-Identifier: ISC
// The meter's picture in a mixer strip: one horizontal bar per channel on
// the window's dBFS scale and in its zone colours (scale.h), with the RMS as a
// lighter core, the peak hold as a mark and 0 dBFS marked across. Small
// functions of numbers, painting filled rectangles straight into 32-bit
// pixels, so that they need neither cairo nor the C++ runtime.
#ifndef TOLVANIC_DISPLAY_STRIP_H
#define TOLVANIC_DISPLAY_STRIP_H

#include <cstdint>

constexpr int STRIP_MAX_CHANNELS = 2;

// One channel's readings, as linear amplitudes.
struct StripReadings {
  float level;
  float peak;
  float rms;
};

// Where the parts go. A width of 0 means there is no room for a picture.
struct StripLayout {
  int width, height;
  int bar_left;   // the first column of each bar, the scale's low end
  int bar_length; // columns from the scale's low end to its high end
  int bar_top[STRIP_MAX_CHANNELS];
  int bar_height;
  int core_top;    // the RMS core's first row, from a bar's top
  int core_height; // its rows
  int mark_width;  // columns of the peak hold mark
};

// The picture of `channels` bars (1 or 2) in at most width by max_height
// pixels: as wide as offered, its height from its width.
StripLayout strip_layout(uint32_t width, uint32_t max_height, int channels);

// The columns a dBFS value lights on a bar `length` columns long, from the
// scale's low end: 0 at or below it, all at or above its high end.
int lit_columns(int length, float db);

// The least amplitude that lights `columns` columns (1 to length) of a bar
// `length` long.
float amplitude_lighting(int length, int columns);

// An opaque colour as a pixel of cairo's ARGB32 layout.
uint32_t pixel_of(double r, double g, double b);

// Paints the picture for `layout` into pixels whose rows are `stride` bytes
// apart, from each channel's readings.
void paint_strip(unsigned char* pixels,
                 int stride,
                 const StripLayout& layout,
                 const StripReadings* channels,
                 int channel_count);

#endif
