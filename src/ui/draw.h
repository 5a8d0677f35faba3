// SPDX-License-Identifier: ISC
// Paints the meter with cairo.
#ifndef TOLVANIC_UI_DRAW_H
#define TOLVANIC_UI_DRAW_H

#include "ui/geometry.h"

#include <cairo.h>

// The last values the plug-in published, linear amplitudes.
struct Readings {
  float level;
  float peak;
  float rms;
};

// Paints the whole window: a readout and a bar per channel (one Readings
// each, layout.channels of them) and the scale. `pressed` shows the
// readouts pressed while the reset is held.
void draw_meter(cairo_t* cr,
                const Layout& layout,
                const Readings readings[],
                bool pressed);

#endif
