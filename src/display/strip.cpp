// SPDX-License-Identifier: ISC
#include "display/strip.h"

#include "display/scale.h"

#include <cmath>
#include <cstring>

namespace {

// Sizes for a strip 112 pixels wide, Ardour's usual, which other widths
// scale together.
struct Sizes {
  double width, pad, bar_height, mark_width;
};
constexpr Sizes NOMINAL = { 112.0, 3.0, 10.0, 2.0 };
// Bars no higher than this, however wide the strip.
constexpr int LARGEST_BAR_HEIGHT = 24;
// Narrower than this, a bar cannot tell one reading from another.
constexpr uint32_t NARROWEST = 16;
// Wider than any mixer strip; keeps the pixels' size in bounds.
constexpr uint32_t WIDEST = 4096;

// The nearest whole number to a value that is not negative, without a
// library call.
long nearest(double value)
{
  return static_cast<long>(value + 0.5);
}

int scaled(double size, double scale)
{
  const long pixels = nearest(size * scale);
  return pixels < 1 ? 1 : static_cast<int>(pixels);
}

uint32_t pixel_of(Colour c)
{
  return ::pixel_of(c.r, c.g, c.b);
}

struct Canvas {
  unsigned char* pixels;
  int stride;

  void fill(int x, int y, int width, int height, uint32_t pixel) const
  {
    for (int row = y; row < y + height; ++row) {
      unsigned char* at = pixels + static_cast<long>(row) * stride + 4L * x;
      for (int column = 0; column < width; ++column, at += 4) {
        std::memcpy(at, &pixel, sizeof pixel);
      }
    }
  }
};

// Fills columns [from, to) of a bar's rows, each column in its zone's
// colour as `shade` makes it.
template<typename Shade>
void fill_zones(const Canvas& canvas,
                const StripLayout& layout,
                int from,
                int to,
                int top,
                int height,
                Shade shade)
{
  for (const ZoneSpan& span : ZONE_SPANS) {
    const int low = lit_columns(layout.bar_length, span.low_db);
    const int high = lit_columns(layout.bar_length, span.high_db);
    const int start = from > low ? from : low;
    const int end = to < high ? to : high;
    if (end > start) {
      canvas.fill(layout.bar_left + start,
                  top,
                  end - start,
                  height,
                  pixel_of(shade(colour_of(span.zone))));
    }
  }
}

void paint_unlit(const Canvas& canvas, const StripLayout& layout, int top)
{
  fill_zones(
    canvas, layout, 0, layout.bar_length, top, layout.bar_height, [](Colour c) {
      return over(BACKGROUND, c, UNLIT_ALPHA);
    });
}

// 0 dBFS across the whole picture, on the first column of the over zone:
// over the margins and the unlit bars, under what the readings light, so
// that a level past full scale shows its colour.
void paint_full_scale(const Canvas& canvas, const StripLayout& layout)
{
  const int x = layout.bar_left + lit_columns(layout.bar_length, FULL_SCALE_DB);
  for (int row = 0; row < layout.height; ++row) {
    unsigned char* at =
      canvas.pixels + static_cast<long>(row) * canvas.stride + 4L * x;
    uint32_t below;
    std::memcpy(&below, at, sizeof below);
    const Colour under = { ((below >> 16) & 0xffu) / 255.0,
                           ((below >> 8) & 0xffu) / 255.0,
                           (below & 0xffu) / 255.0 };
    const uint32_t mark = pixel_of(over(under, FULL_SCALE, FULL_SCALE_ALPHA));
    std::memcpy(at, &mark, sizeof mark);
  }
}

void paint_readings(const Canvas& canvas,
                    const StripLayout& layout,
                    int top,
                    const StripReadings& readings)
{
  const int length = layout.bar_length;
  fill_zones(canvas,
             layout,
             0,
             lit_columns(length, amplitude_db(readings.level)),
             top,
             layout.bar_height,
             [](Colour c) { return over(BACKGROUND, c, LEVEL_ALPHA); });
  fill_zones(canvas,
             layout,
             0,
             lit_columns(length, amplitude_db(readings.rms)),
             top + layout.core_top,
             layout.core_height,
             [](Colour c) { return lighter(c, RMS_LIGHTEN); });

  // The mark ends where a level at the peak hold would end.
  const float peak_db = amplitude_db(readings.peak);
  const int peak_end = lit_columns(length, peak_db);
  if (peak_end > 0) {
    const int width =
      peak_end < layout.mark_width ? peak_end : layout.mark_width;
    canvas.fill(layout.bar_left + peak_end - width,
                top,
                width,
                layout.bar_height,
                pixel_of(lighter(colour_of(zone_of(peak_db)), PEAK_LIGHTEN)));
  }
}

} // namespace

StripLayout strip_layout(uint32_t width, uint32_t max_height, int channels)
{
  StripLayout layout{};
  if (channels < 1 || channels > STRIP_MAX_CHANNELS || width < NARROWEST) {
    return layout;
  }
  const uint32_t w = width > WIDEST ? WIDEST : width;
  const double scale = w / NOMINAL.width;
  const int pad = scaled(NOMINAL.pad, scale);
  int bar_height = scaled(NOMINAL.bar_height, scale);
  if (bar_height > LARGEST_BAR_HEIGHT) {
    bar_height = LARGEST_BAR_HEIGHT;
  }
  // Lower than asked for, the bars give up height first.
  const long spacing = 2L * pad + static_cast<long>(channels - 1) * pad;
  const long room = static_cast<long>(max_height) - spacing;
  if (room < bar_height * static_cast<long>(channels)) {
    bar_height = static_cast<int>(room / channels);
  }
  if (bar_height < 1) {
    return layout;
  }

  layout.width = static_cast<int>(w);
  layout.height = static_cast<int>(spacing) + channels * bar_height;
  layout.bar_left = pad;
  layout.bar_length = layout.width - 2 * pad;
  for (int c = 0; c < channels; ++c) {
    layout.bar_top[c] = pad + c * (bar_height + pad);
  }
  layout.bar_height = bar_height;
  layout.core_height = bar_height / 3 < 1 ? 1 : bar_height / 3;
  layout.core_top = (bar_height - layout.core_height) / 2;
  layout.mark_width = scaled(NOMINAL.mark_width, scale);
  return layout;
}

int lit_columns(int length, float db)
{
  const long columns = nearest(scale_fraction(db) * length);
  return columns > length ? length : static_cast<int>(columns);
}

float amplitude_lighting(int length, int columns)
{
  // lit_columns rounds, so a column lights from half a column below it.
  const double span = static_cast<double>(SCALE_TOP_DB - SCALE_BOTTOM_DB);
  const double db =
    static_cast<double>(SCALE_BOTTOM_DB) + (columns - 0.5) * span / length;
  return std::pow(10.0f, static_cast<float>(db) / 20.0f);
}

uint32_t pixel_of(double r, double g, double b)
{
  const auto byte = [](double v) {
    const long value = v > 0.0 ? nearest(v * 255.0) : 0;
    return static_cast<uint32_t>(value > 255 ? 255 : value);
  };
  return 0xff000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

void paint_strip(unsigned char* pixels,
                 int stride,
                 const StripLayout& layout,
                 const StripReadings* channels,
                 int channel_count)
{
  const Canvas canvas{ pixels, stride };
  const int count =
    channel_count < STRIP_MAX_CHANNELS ? channel_count : STRIP_MAX_CHANNELS;
  canvas.fill(0, 0, layout.width, layout.height, pixel_of(BACKGROUND));
  for (int c = 0; c < count; ++c) {
    paint_unlit(canvas, layout, layout.bar_top[c]);
  }
  paint_full_scale(canvas, layout);
  for (int c = 0; c < count; ++c) {
    paint_readings(canvas, layout, layout.bar_top[c], channels[c]);
  }
}
