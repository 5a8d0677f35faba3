// SPDX-License-Identifier: ISC
#include "ui/draw.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double HALF_TURN = 3.14159265358979323846;

void set(cairo_t* cr, Colour c, double alpha = 1.0)
{
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void fill_rect(cairo_t* cr, double x, double y, double w, double h)
{
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

void rounded_rect(cairo_t* cr, const Rect& r, double radius)
{
  const double x = r.x, y = r.y, w = r.width, h = r.height;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -HALF_TURN / 2.0, 0.0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0.0, HALF_TURN / 2.0);
  cairo_arc(cr, x + radius, y + h - radius, radius, HALF_TURN / 2.0, HALF_TURN);
  cairo_arc(cr, x + radius, y + radius, radius, HALF_TURN, 1.5 * HALF_TURN);
  cairo_close_path(cr);
}

void text_centred(cairo_t* cr, const char* text, double cx, double cy)
{
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  cairo_move_to(cr,
                cx - extents.width / 2.0 - extents.x_bearing,
                cy - extents.height / 2.0 - extents.y_bearing);
  cairo_show_text(cr, text);
}

// Fills the bar's span from the bottom up to `db`, each zone in its own
// colour; the zone boundaries stay where they are, whatever the reading.
void fill_zones(cairo_t* cr,
                const Rect& bar,
                double x,
                double width,
                float db,
                double lighten,
                double alpha)
{
  for (const ZoneSpan& span : ZONE_SPANS) {
    const float high = db < span.high_db ? db : span.high_db;
    if (!(high > span.low_db)) {
      break;
    }
    const double top = y_from_db(bar, high);
    set(cr, lighter(colour_of(span.zone), lighten), alpha);
    fill_rect(cr, x, top, width, y_from_db(bar, span.low_db) - top);
  }
}

void draw_readout(cairo_t* cr,
                  const Layout& layout,
                  const Rect& r,
                  float peak,
                  bool pressed)
{
  const float db = amplitude_db(peak);
  rounded_rect(cr, r, 4.0 * layout.scale);
  set(cr, pressed ? PANEL_PRESSED : PANEL);
  cairo_fill_preserve(cr);
  set(cr, db > FULL_SCALE_DB ? OVER : MARK);
  cairo_set_line_width(cr, layout.scale);
  cairo_stroke(cr);

  cairo_select_font_face(
    cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, layout.label_size * 0.85);
  set(cr, TEXT);
  text_centred(
    cr, "PEAK dBFS", r.x + r.width / 2.0, r.y + layout.label_size * 0.75);

  const PeakText number = format_peak(peak);
  cairo_select_font_face(
    cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, layout.readout_size);
  set(cr, db > SILENCE_DB ? lighter(colour_of(zone_of(db)), 0.15) : TEXT);
  text_centred(cr,
               number.text,
               r.x + r.width / 2.0,
               r.y + r.height - layout.readout_size * 0.75);
}

void draw_scale(cairo_t* cr, const Layout& layout)
{
  bool labelled[MARK_COUNT];
  label_marks(layout, labelled);
  const Rect& bar = layout.bar[0];
  const double tick_start = layout.label_right + 2.0 * layout.scale;
  cairo_select_font_face(
    cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, layout.label_size);
  for (size_t i = 0; i < MARK_COUNT; ++i) {
    const double y = std::round(y_from_db(bar, MARKS_DB[i])) + 0.5;
    set(cr, MARKS_DB[i] == FULL_SCALE_DB ? FULL_SCALE : MARK);
    cairo_move_to(cr, tick_start, y);
    cairo_line_to(cr, bar.x - layout.scale, y);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    if (!labelled[i]) {
      continue;
    }
    char text[8];
    std::snprintf(text,
                  sizeof text,
                  MARKS_DB[i] > 0.0f ? "+%.0f" : "%.0f",
                  static_cast<double>(MARKS_DB[i]));
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    set(cr, MARKS_DB[i] == FULL_SCALE_DB ? FULL_SCALE : TEXT);
    cairo_move_to(cr,
                  layout.label_right - extents.width - extents.x_bearing,
                  y - extents.height / 2.0 - extents.y_bearing);
    cairo_show_text(cr, text);
  }
}

void draw_bar(cairo_t* cr,
              const Layout& layout,
              const Rect& bar,
              const Readings& readings)
{
  // The unlit meter shows its zones dimly; the level lights them, the RMS
  // is a lighter core inside it, the peak hold a line across.
  fill_zones(cr, bar, bar.x, bar.width, SCALE_TOP_DB, 0.0, UNLIT_ALPHA);
  fill_zones(
    cr, bar, bar.x, bar.width, amplitude_db(readings.level), 0.0, LEVEL_ALPHA);
  const double core = bar.width / 3.0;
  fill_zones(
    cr, bar, bar.x + core, core, amplitude_db(readings.rms), RMS_LIGHTEN, 1.0);

  // Gaps every few pixels give the bar the look of a segmented meter.
  const double step = 3.0 * layout.scale;
  set(cr, BACKGROUND, 0.55);
  for (double y = bar.y + bar.height - step; y > bar.y; y -= step) {
    fill_rect(cr, bar.x, std::round(y), bar.width, 1.0);
  }

  const double full_scale = std::round(y_from_db(bar, FULL_SCALE_DB));
  set(cr, FULL_SCALE, FULL_SCALE_ALPHA);
  fill_rect(cr, bar.x, full_scale, bar.width, 1.0);

  const float peak_db = amplitude_db(readings.peak);
  if (peak_db > SCALE_BOTTOM_DB) {
    const double thickness = std::round(2.0 * layout.scale);
    set(cr, lighter(colour_of(zone_of(peak_db)), PEAK_LIGHTEN));
    fill_rect(
      cr, bar.x, std::round(y_from_db(bar, peak_db)), bar.width, thickness);
  }
}

void draw_channel_letter(cairo_t* cr, const Layout& layout, int channel)
{
  const Rect& r = layout.channel_label[channel];
  cairo_select_font_face(
    cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, layout.label_size);
  set(cr, TEXT);
  text_centred(
    cr, channel == 0 ? "L" : "R", r.x + r.width / 2.0, r.y + r.height / 2.0);
}

} // namespace

void draw_meter(cairo_t* cr,
                const Layout& layout,
                const Readings readings[],
                bool pressed)
{
  set(cr, BACKGROUND);
  cairo_paint(cr);
  draw_scale(cr, layout);
  for (int c = 0; c < layout.channels; ++c) {
    draw_readout(cr, layout, layout.readout[c], readings[c].peak, pressed);
    draw_bar(cr, layout, layout.bar[c], readings[c]);
    if (layout.channels > 1) {
      draw_channel_letter(cr, layout, c);
    }
  }
}
