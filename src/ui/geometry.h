// SPDX-License-Identifier: ISC
// Where the meter's parts go in a window of a given size and scale, and how
// a reading maps onto them: small functions of numbers only, with no X or
// cairo in them, so that they can be tested as a table.
#ifndef TOLVANIC_UI_GEOMETRY_H
#define TOLVANIC_UI_GEOMETRY_H

// The scale's span, its zones and its colours are the mixer-strip
// picture's too.
#include "display/scale.h"

#include <cstddef>

// The meter's own silence floor: a peak hold at or below it reads "-inf".
constexpr float SILENCE_DB = -120.0f;

// The stereo variant's two channels, side by side.
constexpr int MAX_CHANNELS = 2;

// The scale's marks, top to bottom: every 3 dB near full scale, where
// levels are set, every 6 dB below.
constexpr float MARKS_DB[] = { 6.0f,   3.0f,   0.0f,   -3.0f,  -6.0f,  -9.0f,
                               -12.0f, -15.0f, -18.0f, -24.0f, -30.0f, -36.0f,
                               -42.0f, -48.0f, -54.0f, -60.0f };
constexpr size_t MARK_COUNT = sizeof MARKS_DB / sizeof MARKS_DB[0];

struct Rect {
  double x, y, width, height;
};

struct Size {
  int width, height;
};

// Each channel has its bar and its peak hold readout; with two, the left
// channel's come first, and each bar gets its channel's letter below it.
struct Layout {
  double scale;                     // 1 at 96 dpi
  int channels;                     // 1 or 2
  Rect readout[MAX_CHANNELS];       // peak hold readouts, also reset buttons
  Rect bar[MAX_CHANNELS];           // the meters: SCALE_TOP_DB at their top
  Rect channel_label[MAX_CHANNELS]; // "L" and "R"; empty with one channel
  double label_right;               // the scale's labels end here
  double label_size;   // font size of the scale's labels, in pixels
  double readout_size; // font size of the readout's number, in pixels
};

// The size the UI asks for at a scale factor: wider by a bar for each
// channel after the first.
Size natural_size(double scale, int channels);

// The scale factor for a display's dots per inch (96 is 1), within 1 to 4;
// 1 for a value that is missing or not a number.
double scale_from_dpi(double dpi);

// Places the parts of a meter of 1 or 2 channels in a window of any size,
// down to 1 by 1.
Layout layout_for(int width, int height, double scale, int channels);

// The channel whose peak hold readout holds the point, or -1.
int readout_at(const Layout& layout, double x, double y);

// The height of a dBFS value on the bar, clamped to the bar.
double y_from_db(const Rect& bar, float db);

bool contains(const Rect& rect, double x, double y);

// Which marks get a label: those whose label keeps clear of the previous
// labelled one, from the top.
void label_marks(const Layout& layout, bool labelled[MARK_COUNT]);

struct PeakText {
  char text[16];
};

// The peak hold in dBFS with one decimal and its sign ("-0.9", "+1.5"), or
// "-inf" at or below the silence floor (a host may feed a tiny offset
// instead of silence).
PeakText format_peak(float peak);

#endif
