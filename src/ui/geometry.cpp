// SPDX-License-Identifier: ISC
#include "ui/geometry.h"

#include <cmath>
#include <cstdio>

namespace {

// Sizes at scale 1, in pixels.
constexpr double MARGIN = 6.0;
constexpr double READOUT_HEIGHT = 36.0;
constexpr double READOUT_GAP = 10.0;
constexpr double LABEL_WIDTH = 22.0;
constexpr double TICK_SPACE = 8.0;
constexpr double BAR_MAX_WIDTH = 44.0;
constexpr double CHANNEL_GAP = 8.0;       // between two bars, two readouts
constexpr double CHANNEL_LABEL_GAP = 4.0; // between a bar and its letter
constexpr double LABEL_SIZE = 9.0;
constexpr double READOUT_SIZE = 17.0;
constexpr double NATURAL_WIDTH = 96.0;
constexpr double NATURAL_HEIGHT = 300.0;

double at_least(double value, double low)
{
  return value < low ? low : value;
}

} // namespace

Size natural_size(double scale, int channels)
{
  const double width =
    NATURAL_WIDTH + (BAR_MAX_WIDTH + CHANNEL_GAP) * (channels - 1);
  return { static_cast<int>(std::lround(width * scale)),
           static_cast<int>(std::lround(NATURAL_HEIGHT * scale)) };
}

double scale_from_dpi(double dpi)
{
  if (!(dpi > 96.0)) {
    return 1.0; // NaN, missing or low-resolution: never shrink below 1
  }
  return dpi >= 384.0 ? 4.0 : dpi / 96.0;
}

Layout layout_for(int width, int height, double scale, int channels)
{
  const double w = width;
  const double h = height;
  const int n = channels;
  const double margin = MARGIN * scale;
  const double gap = CHANNEL_GAP * scale;
  Layout layout{};
  layout.scale = scale;
  layout.channels = n;
  layout.label_size = LABEL_SIZE * scale;
  layout.readout_size = READOUT_SIZE * scale;
  const double readout_width =
    at_least((w - 2.0 * margin - gap * (n - 1)) / n, 1.0);
  for (int c = 0; c < n; ++c) {
    layout.readout[c] = { margin + c * (readout_width + gap),
                          margin,
                          readout_width,
                          READOUT_HEIGHT * scale };
  }

  // The labels and the bars form one group, centred, each bar no wider
  // than a meter needs to be; half a label's height is kept free above and
  // below the bars for the labels of the scale's end marks, and with two
  // channels a label's height below for the channels' letters.
  const double group_room = w - 2.0 * margin;
  const double labels = (LABEL_WIDTH + TICK_SPACE) * scale;
  const double gaps = gap * (n - 1);
  double bar_width = at_least((group_room - labels - gaps) / n, 1.0);
  if (bar_width > BAR_MAX_WIDTH * scale) {
    bar_width = BAR_MAX_WIDTH * scale;
  }
  const double group_x =
    margin + (group_room - labels - gaps - bar_width * n) / 2.0;
  const double top = margin + layout.readout[0].height + READOUT_GAP * scale +
                     layout.label_size / 2.0;
  const double letters =
    n > 1 ? (CHANNEL_LABEL_GAP * scale + layout.label_size) : 0.0;
  const double below =
    letters > layout.label_size / 2.0 ? letters : layout.label_size / 2.0;
  const double bottom = h - margin - below;
  layout.label_right = group_x + LABEL_WIDTH * scale;
  for (int c = 0; c < n; ++c) {
    layout.bar[c] = { group_x + labels + c * (bar_width + gap),
                      top,
                      bar_width,
                      at_least(bottom - top, 1.0) };
    if (n > 1) {
      const Rect& bar = layout.bar[c];
      layout.channel_label[c] = { bar.x,
                                  bar.y + bar.height +
                                    CHANNEL_LABEL_GAP * scale,
                                  bar.width,
                                  layout.label_size };
    }
  }
  return layout;
}

int readout_at(const Layout& layout, double x, double y)
{
  for (int c = 0; c < layout.channels; ++c) {
    if (contains(layout.readout[c], x, y)) {
      return c;
    }
  }
  return -1;
}

double y_from_db(const Rect& bar, float db)
{
  return bar.y + bar.height * (1.0 - scale_fraction(db));
}

bool contains(const Rect& rect, double x, double y)
{
  return x >= rect.x && x < rect.x + rect.width && y >= rect.y &&
         y < rect.y + rect.height;
}

void label_marks(const Layout& layout, bool labelled[MARK_COUNT])
{
  const double clearance = layout.label_size * 1.2;
  double last_y = -HUGE_VAL;
  for (size_t i = 0; i < MARK_COUNT; ++i) {
    const double y = y_from_db(layout.bar[0], MARKS_DB[i]);
    labelled[i] = y - last_y >= clearance;
    if (labelled[i]) {
      last_y = y;
    }
  }
}

PeakText format_peak(float peak)
{
  PeakText formatted{};
  const float db = amplitude_db(peak);
  if (!(db > SILENCE_DB)) {
    std::snprintf(formatted.text, sizeof formatted.text, "-inf");
    return formatted;
  }
  // Rounded first, so that a peak just below full scale reads 0.0, not
  // -0.0.
  double tenths = std::round(static_cast<double>(db) * 10.0);
  if (tenths == 0.0) {
    tenths = 0.0; // drops the sign of -0
  }
  std::snprintf(formatted.text,
                sizeof formatted.text,
                tenths > 0.0 ? "%+.1f" : "%.1f",
                tenths / 10.0);
  return formatted;
}
