// SPDX-License-Identifier: ISC
// A meter's picture for the host's mixer strip, kept beside the meters of a
// plug-in that passes its audio on: run hands the readings over and asks
// the host to draw when the picture would change; render paints it on the
// host's GUI thread.
#ifndef TOLVANIC_DISPLAY_DISPLAY_H
#define TOLVANIC_DISPLAY_DISPLAY_H

#include "display/inline_display.h"
#include "display/strip.h"
#include "plugin/meter.h"

#include <lv2/core/lv2.h>

#include <atomic>

// What run remembers of a value it last asked the host to draw: the columns
// it lit, and the amplitudes (or, for a mean square, powers) between which
// it lights as many.
struct ColumnTrack {
  float low;
  float high;
  int columns;
};

// One channel's readings, from the audio thread to the GUI thread.
struct SharedReadings {
  std::atomic<float> level;
  std::atomic<float> peak;
  std::atomic<float> mean_square;
};

// Part of an instance record, allocated zero-filled with it.
struct MeterDisplay {
  int channels;
  const InlineDisplayQueue* queue; // the host's, or null

  // Written by run, read by render; relaxed, each value on its own.
  SharedReadings shared[STRIP_MAX_CHANNELS];
  // Written by render, read by run: the bar length last painted, 0 before
  // the first render.
  std::atomic<int> painted_length;

  // run's own.
  uint32_t frames_unseen; // run since the picture last looked
  int tracked_length;
  bool asked_before_render;
  ColumnTrack level_track[STRIP_MAX_CHANNELS];
  ColumnTrack rms_track[STRIP_MAX_CHANNELS];
  float asked_peak[STRIP_MAX_CHANNELS];

  // render's own: the pixels, kept until cleanup.
  InlineDisplaySurface surface;
};

// Instantiation class: finds the host's queue_draw feature.
void display_init(MeterDisplay& display,
                  int channels,
                  const LV2_Feature* const* features) noexcept;

// The picture looks at the readings once per this many frames at most
// (10.7 ms at 48 kHz, less than a frame of a 60 Hz screen): hosts redraw
// less often, and small blocks then pay for it once in several.
constexpr uint32_t DISPLAY_FRAMES_PER_LOOK = 512;

// Audio class, real-time safe: hands the meters' readings to render and
// calls the host's queue_draw when a value the picture shows has moved by a
// column or the peak hold changed.
void display_look(MeterDisplay& display, const Meter* const meters[]) noexcept;

// Audio class, real-time safe: after each block of sample_count frames;
// looks at the readings once DISPLAY_FRAMES_PER_LOOK frames have passed, so
// the host's queue_draw is called at most once per call.
inline void display_update(MeterDisplay& display,
                           const Meter* const meters[],
                           uint32_t sample_count) noexcept
{
  if (sample_count < DISPLAY_FRAMES_PER_LOOK - display.frames_unseen) {
    display.frames_unseen += sample_count;
    return;
  }
  display.frames_unseen = 0;
  display_look(display, meters);
}

// GUI thread: paints the picture for at most width by height pixels;
// allocates only when its size changes. Null if there is no room or no
// memory.
InlineDisplaySurface* display_render(MeterDisplay& display,
                                     uint32_t width,
                                     uint32_t height) noexcept;

// Instantiation class: frees the pixels.
void display_free(MeterDisplay& display) noexcept;

// The extension's render for a plug-in whose instance record holds its
// MeterDisplay as `display`.
template<typename Record>
InlineDisplaySurface* display_render_of(LV2_Handle instance,
                                        uint32_t width,
                                        uint32_t height) noexcept
{
  return display_render(static_cast<Record*>(instance)->display, width, height);
}

// Discovery class: `display` for the inline-display interface's URI, null
// for any other.
const void* display_extension_data(
  const char* uri,
  const InlineDisplayInterface& display) noexcept;

#endif
