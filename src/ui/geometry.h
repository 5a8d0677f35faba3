// SPDX-License-Identifier: ISC
// Where the meter's parts go in a window of a given size and scale, and how
// a reading maps onto them: small functions of numbers only, with no X or
// cairo in them, so that they can be tested as a table.
#ifndef TOLVANIC_UI_GEOMETRY_H
#define TOLVANIC_UI_GEOMETRY_H

#include <cstddef>

// The span of the scale in dBFS, bottom to top.
constexpr float SCALE_BOTTOM_DB = -60.0f;
constexpr float SCALE_TOP_DB = 6.0f;
// Readings from here up are hot; above 0 dBFS they are over.
constexpr float HOT_DB = -12.0f;

// The scale's marks, top to bottom: every 3 dB near full scale, where
// levels are set, every 6 dB below.
constexpr float MARKS_DB[] = { 6.0f,   3.0f,   0.0f,   -3.0f,  -6.0f,  -9.0f,
                               -12.0f, -15.0f, -18.0f, -24.0f, -30.0f, -36.0f,
                               -42.0f, -48.0f, -54.0f, -60.0f };
constexpr size_t MARK_COUNT = sizeof MARKS_DB / sizeof MARKS_DB[0];

enum class Zone { safe, hot, over };

struct Rect {
  double x, y, width, height;
};

struct Size {
  int width, height;
};

struct Layout {
  double scale;        // 1 at 96 dpi
  Rect readout;        // the peak hold readout, also the reset button
  Rect bar;            // the meter: SCALE_TOP_DB at its top edge
  double label_right;  // the scale's labels end here
  double label_size;   // font size of the scale's labels, in pixels
  double readout_size; // font size of the readout's number, in pixels
};

// The size the UI asks for at a scale factor.
Size natural_size(double scale);

// The scale factor for a display's dots per inch (96 is 1), within 1 to 4;
// 1 for a value that is missing or not a number.
double scale_from_dpi(double dpi);

// Places the parts in a window of any size, down to 1 by 1.
Layout layout_for(int width, int height, double scale);

// A linear amplitude in dBFS: -infinity for 0, a negative number or NaN.
float db_from_amplitude(float amplitude);

// The height of a dBFS value on the bar, clamped to the bar.
double y_from_db(const Rect& bar, float db);

Zone zone_of(float db);

bool contains(const Rect& rect, double x, double y);

// Which marks get a label: those whose label keeps clear of the previous
// labelled one, from the top.
void label_marks(const Layout& layout, bool labelled[MARK_COUNT]);

struct PeakText {
  char text[16];
};

// The peak hold in dBFS with one decimal and its sign ("-0.9", "+1.5"), or
// "-inf" when it is 0.
PeakText format_peak(float peak);

#endif
