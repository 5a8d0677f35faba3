// SPDX-License-Identifier: ISC
#include "display/display.h"

#include "display/scale.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr auto RELAXED = std::memory_order_relaxed;

// Counts the columns `value` lights, and the range of values that light as
// many. For a mean square, `power` squares the range.
void count_lit(LitColumns& lit, float value, int length, bool power) noexcept
{
  const float amplitude = power ? std::sqrt(value) : value;
  const int columns = lit_columns(length, amplitude_db(amplitude));
  float low = columns > 0 ? amplitude_lighting(length, columns) : 0.0f;
  float high =
    columns < length ? amplitude_lighting(length, columns + 1) : INFINITY;
  if (power) {
    low *= low;
    high *= high;
  }
  lit = { low, high, columns };
}

// Counts again the columns `value` lights, if it has left the range of the
// last count; true if they are other columns than before. Within the range,
// two comparisons; outside it, a logarithm.
bool recount_lit(LitColumns& lit, float value, int length, bool power) noexcept
{
  if (value >= lit.low && value < lit.high) {
    return false;
  }
  const int before = lit.columns;
  count_lit(lit, value, length, power);
  return lit.columns != before;
}

} // namespace

void display_init(MeterDisplay& display,
                  int channels,
                  const LV2_Feature* const* features) noexcept
{
  display.channels = channels;
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (std::strcmp(features[i]->URI, INLINE_DISPLAY_QUEUE_DRAW_URI) == 0) {
      display.queue = static_cast<const InlineDisplayQueue*>(features[i]->data);
    }
  }
}

void display_hand_over(MeterDisplay& display,
                       const MeterReadings readings[]) noexcept
{
  for (int c = 0; c < display.channels; ++c) {
    display.shared[c].level.store(readings[c].level, RELAXED);
    display.shared[c].peak.store(readings[c].peak, RELAXED);
    display.shared[c].mean_square.store(readings[c].mean_square, RELAXED);
  }
  if (display.queue == nullptr) {
    return;
  }

  const int length = display.painted_length.load(RELAXED);
  if (length == 0) {
    // Until the host renders, one request is enough.
    if (!display.asked_before_render) {
      display.asked_before_render = true;
      display.queue->queue_draw(display.queue->handle);
    }
    return;
  }
  bool changed = false;
  if (length != display.lit_length) {
    // A new size: the next render paints what is counted now.
    display.lit_length = length;
    for (int c = 0; c < display.channels; ++c) {
      count_lit(display.level_lit[c], readings[c].level, length, false);
      count_lit(display.rms_lit[c], readings[c].mean_square, length, true);
    }
    changed = true;
  }
  for (int c = 0; c < display.channels; ++c) {
    const MeterReadings& now = readings[c];
    changed |= recount_lit(display.level_lit[c], now.level, length, false);
    changed |= recount_lit(display.rms_lit[c], now.mean_square, length, true);
    if (now.peak != display.asked_peak[c]) {
      display.asked_peak[c] = now.peak;
      changed = true;
    }
  }
  if (changed) {
    display.queue->queue_draw(display.queue->handle);
  }
}

InlineDisplaySurface* display_render(MeterDisplay& display,
                                     uint32_t width,
                                     uint32_t height) noexcept
{
  const StripLayout layout = strip_layout(width, height, display.channels);
  if (layout.width == 0) {
    return nullptr;
  }
  InlineDisplaySurface& surface = display.surface;
  if (layout.width != surface.width || layout.height != surface.height) {
    std::free(surface.data);
    surface = {};
    const int stride = 4 * layout.width;
    auto* data = static_cast<unsigned char*>(std::calloc(
      static_cast<size_t>(layout.height), static_cast<size_t>(stride)));
    if (data == nullptr) {
      return nullptr;
    }
    surface = { data, layout.width, layout.height, stride };
  }

  StripReadings readings[STRIP_MAX_CHANNELS] = {};
  for (int c = 0; c < display.channels; ++c) {
    const SharedReadings& shared = display.shared[c];
    const float mean_square = shared.mean_square.load(RELAXED);
    readings[c] = { shared.level.load(RELAXED),
                    shared.peak.load(RELAXED),
                    mean_square > 0.0f ? std::sqrt(mean_square) : 0.0f };
  }
  paint_strip(surface.data, surface.stride, layout, readings, display.channels);
  display.painted_length.store(layout.bar_length, RELAXED);
  return &surface;
}

void display_free(MeterDisplay& display) noexcept
{
  if (display.surface.data != nullptr) {
    std::free(display.surface.data);
    display.surface = {};
  }
}

const void* display_extension_data(
  const char* uri,
  const InlineDisplayInterface& display) noexcept
{
  return std::strcmp(uri, INLINE_DISPLAY_INTERFACE_URI) == 0 ? &display
                                                             : nullptr;
}
