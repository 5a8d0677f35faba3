// SPDX-License-Identifier: ISC
// The inline-display extension, through which Ardour, Mixbus and Carla show
// a small picture of a plug-in in the mixer strip. No package ships a
// header for it; these declarations follow its published interface.
#ifndef TOLVANIC_DISPLAY_INLINE_DISPLAY_H
#define TOLVANIC_DISPLAY_INLINE_DISPLAY_H

#include <lv2/core/lv2.h>

#include <cstdint>

#define INLINE_DISPLAY_URI "http://harrisonconsoles.com/lv2/inlinedisplay"
// Extension data: an InlineDisplayInterface.
#define INLINE_DISPLAY_INTERFACE_URI INLINE_DISPLAY_URI "#interface"
// Host feature: an InlineDisplayQueue.
#define INLINE_DISPLAY_QUEUE_DRAW_URI INLINE_DISPLAY_URI "#queue_draw"

// A picture, 32-bit native-endian pixels with premultiplied alpha (cairo's
// ARGB32). The plug-in owns the pixels; they stay valid from the first
// render until cleanup.
struct InlineDisplaySurface {
  unsigned char* data;
  int width;
  int height;
  int stride; // bytes from one row to the next
};

// The host's feature: queue_draw asks the host to call render soon. It is
// real-time safe and may be called from run.
struct InlineDisplayQueue {
  void* handle;
  void (*queue_draw)(void* handle);
};

// The plug-in's extension data. render runs on the host's GUI thread,
// concurrently with run; width and height are the most the host has room
// for. It returns the picture, or null to show none.
struct InlineDisplayInterface {
  InlineDisplaySurface* (*render)(LV2_Handle instance,
                                  uint32_t width,
                                  uint32_t height);
};

#endif
