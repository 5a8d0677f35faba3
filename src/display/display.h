// SPDX-License-Identifier: ISC
// A meter's picture for the host's mixer strip, kept beside the meters of a
// plug-in that passes its audio on: run hands the readings over and asks
// the host to draw when the picture would change; render paints it on the
// host's GUI thread. It knows the readings alone, not the plug-in's record.
#ifndef TOLVANIC_DISPLAY_DISPLAY_H
#define TOLVANIC_DISPLAY_DISPLAY_H

#include "display/inline_display.h"
#include "display/strip.h"

#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdint>

// One channel's readings after a block: the level and the peak hold as
// linear amplitudes, and the mean square, whose root render takes only
// when it paints.
struct MeterReadings {
  float level;
  float peak;
  float mean_square;
};

// run never waits for render: what they share is atomics without a lock.
static_assert(std::atomic<float>::is_always_lock_free &&
                std::atomic<int>::is_always_lock_free,
              "run and render share values through lock-free atomics only");

// One channel's readings, from the audio thread to the GUI thread.
struct SharedReadings {
  std::atomic<float> level;
  std::atomic<float> peak;
  std::atomic<float> mean_square;
};

// What run remembers of a value it last asked the host to draw: the columns
// it lit, and the amplitudes (or, for a mean square, powers) between which
// it lights as many.
struct LitColumns {
  float low;
  float high;
  int columns;
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
  uint32_t frames_counted; // since the readings were last handed over
  int lit_length;          // the bar length the lit columns are counted on
  bool asked_before_render;
  LitColumns level_lit[STRIP_MAX_CHANNELS];
  LitColumns rms_lit[STRIP_MAX_CHANNELS];
  float asked_peak[STRIP_MAX_CHANNELS];

  // render's own: the pixels, kept until cleanup.
  InlineDisplaySurface surface;
};

// Instantiation class: finds the host's queue_draw feature.
void display_init(MeterDisplay& display,
                  int channels,
                  const LV2_Feature* const* features) noexcept;

// The picture takes the readings once per this many frames at most (10.7
// ms at 48 kHz, less than a frame of a 60 Hz screen): hosts redraw less
// often, and small blocks then pay for it once in several.
constexpr uint32_t DISPLAY_FRAMES_PER_HANDOVER = 512;

// Audio class, real-time safe: adds a block of sample_count frames to the
// count, and says whether DISPLAY_FRAMES_PER_HANDOVER have passed since
// the readings were last handed over; if so, starts counting again. So the
// host's queue_draw is called at most once per block.
inline bool display_count_frames(MeterDisplay& display,
                                 uint32_t sample_count) noexcept
{
  if (sample_count < DISPLAY_FRAMES_PER_HANDOVER - display.frames_counted) {
    display.frames_counted += sample_count;
    return false;
  }
  display.frames_counted = 0;
  return true;
}

// Audio class, real-time safe: hands each channel's readings to render and
// calls the host's queue_draw when a value the picture shows has moved by a
// column or the peak hold changed.
void display_hand_over(MeterDisplay& display,
                       const MeterReadings readings[]) noexcept;

// GUI thread: paints the picture for at most width by height pixels;
// allocates only when its size changes. Null if there is no room or no
// memory.
InlineDisplaySurface* display_render(MeterDisplay& display,
                                     uint32_t width,
                                     uint32_t height) noexcept;

// Instantiation class: frees the pixels.
void display_free(MeterDisplay& display) noexcept;

// Discovery class: `display` for the inline-display interface's URI, null
// for any other.
const void* display_extension_data(
  const char* uri,
  const InlineDisplayInterface& display) noexcept;

#endif
