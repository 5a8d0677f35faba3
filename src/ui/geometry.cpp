// SPDX-License-Identifier: ISC
#include "geometry.h"

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
constexpr double LABEL_SIZE = 9.0;
constexpr double READOUT_SIZE = 17.0;
constexpr double NATURAL_WIDTH = 96.0;
constexpr double NATURAL_HEIGHT = 300.0;

double at_least(double value, double low)
{
  return value < low ? low : value;
}

} // namespace

Size natural_size(double scale)
{
  return { static_cast<int>(std::lround(NATURAL_WIDTH * scale)),
           static_cast<int>(std::lround(NATURAL_HEIGHT * scale)) };
}

double scale_from_dpi(double dpi)
{
  if (!(dpi > 96.0)) {
    return 1.0; // NaN, missing or low-resolution: never shrink below 1
  }
  return dpi >= 384.0 ? 4.0 : dpi / 96.0;
}

Layout layout_for(int width, int height, double scale)
{
  const double w = width;
  const double h = height;
  const double margin = MARGIN * scale;
  Layout layout{};
  layout.scale = scale;
  layout.label_size = LABEL_SIZE * scale;
  layout.readout_size = READOUT_SIZE * scale;
  layout.readout = {
    margin, margin, at_least(w - 2.0 * margin, 1.0), READOUT_HEIGHT * scale
  };

  // The labels and the bar form one group, centred, the bar no wider than
  // a meter needs to be; half a label's height is kept free above and
  // below the bar for the labels of its end marks.
  const double group_room = w - 2.0 * margin;
  const double labels = (LABEL_WIDTH + TICK_SPACE) * scale;
  double bar_width = at_least(group_room - labels, 1.0);
  if (bar_width > BAR_MAX_WIDTH * scale) {
    bar_width = BAR_MAX_WIDTH * scale;
  }
  const double group_x = margin + (group_room - labels - bar_width) / 2.0;
  const double top = margin + layout.readout.height + READOUT_GAP * scale +
                     layout.label_size / 2.0;
  const double bottom = h - margin - layout.label_size / 2.0;
  layout.label_right = group_x + LABEL_WIDTH * scale;
  layout.bar = {
    group_x + labels, top, bar_width, at_least(bottom - top, 1.0)
  };
  return layout;
}

float db_from_amplitude(float amplitude)
{
  if (!(amplitude > 0.0f)) {
    return -INFINITY;
  }
  return 20.0f * std::log10(amplitude);
}

double y_from_db(const Rect& bar, float db)
{
  if (!(db > SCALE_BOTTOM_DB)) {
    return bar.y + bar.height; // also -infinity and NaN
  }
  if (db > SCALE_TOP_DB) {
    return bar.y;
  }
  const double below_top = static_cast<double>(SCALE_TOP_DB - db);
  return bar.y + bar.height * below_top /
                   static_cast<double>(SCALE_TOP_DB - SCALE_BOTTOM_DB);
}

Zone zone_of(float db)
{
  if (db > 0.0f) {
    return Zone::over;
  }
  return db >= HOT_DB ? Zone::hot : Zone::safe;
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
    const double y = y_from_db(layout.bar, MARKS_DB[i]);
    labelled[i] = y - last_y >= clearance;
    if (labelled[i]) {
      last_y = y;
    }
  }
}

PeakText format_peak(float peak)
{
  PeakText formatted{};
  const float db = db_from_amplitude(peak);
  if (db == -INFINITY) {
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
