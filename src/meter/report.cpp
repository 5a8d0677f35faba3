// SPDX-License-Identifier: ISC
// Level and RMS publication with 0.2 dB hysteresis.
//
// Hosts redraw on every change of a control output, so a reading is only
// written when it has moved audibly (more than 0.2 dB) since it was last
// written; in between the port keeps the host's last value. dB values are
// computed for this decision only: the ports carry linear amplitudes.
#include "meter/report.h"

#include <cmath>

namespace {

// Also the mark, in last_level_db or last_rms_db, that silence (0) was the
// last value written.
constexpr float DB_FLOOR = -120.0f;
constexpr float LEVEL_FLOOR = 1e-6f;        // an amplitude of -120 dB
constexpr float MEAN_SQUARE_FLOOR = 1e-12f; // a power of -120 dB
constexpr double HYSTERESIS_DB = 0.2;

// Decides whether a meter at `db` must be written, given the dB value it
// was last written at; remembers the new value if so.
bool publishes(float db, float& last_db) noexcept
{
  if (db == DB_FLOOR) {
    // Silence is written once, as 0, and not again while it lasts.
    if (last_db == DB_FLOOR) {
      return false;
    }
  } else if (!(static_cast<double>(std::fabs(db - last_db)) > HYSTERESIS_DB)) {
    // The float difference is compared in double, so a difference equal to
    // the float nearest 0.2 (a little above it) still publishes.
    return false;
  }
  last_db = db;
  return true;
}

} // namespace

void meter_report_levels(Meter& meter) noexcept
{
  const float level = meter.level;
  const float mean_square = meter.mean_square;
  // A value whose dB rounds to exactly -120 counts as silence, even when it
  // is a little above its floor.
  const float level_db =
    level > LEVEL_FLOOR ? 20.0f * std::log10(level) : DB_FLOOR;
  const float rms_db = mean_square > MEAN_SQUARE_FLOOR
                         ? 10.0f * std::log10(mean_square)
                         : DB_FLOOR;

  if (publishes(level_db, meter.last_level_db)) {
    *meter.p_level = level_db == DB_FLOOR ? 0.0f : level;
  }
  if (publishes(rms_db, meter.last_rms_db)) {
    *meter.p_rms = rms_db == DB_FLOOR ? 0.0f : std::sqrt(mean_square);
  }
}
