// SPDX-License-Identifier: ISC
#include "format_parts.h"

#include "text.h"

#include <cmath>

namespace {

// The bar spans -60 to 0 dBFS.
constexpr int BAR_WIDTH = 40;
constexpr double BAR_FLOOR_DB = -60.0;

int bar_position(float amplitude)
{
  const double db = to_dbfs(amplitude);
  if (db <= BAR_FLOOR_DB) return 0;
  const double filled = (db - BAR_FLOOR_DB) / -BAR_FLOOR_DB * BAR_WIDTH;
  return static_cast<int>(std::lround(std::fmin(filled, BAR_WIDTH)));
}

} // namespace

std::string bar(const MeterReadings& r)
{
  std::string text(BAR_WIDTH, '.');
  const int rms = bar_position(r.rms);
  const int level = bar_position(r.level);
  for (int i = 0; i < BAR_WIDTH; ++i) {
    if (i < rms) {
      text[static_cast<size_t>(i)] = '#';
    } else if (i < level) {
      text[static_cast<size_t>(i)] = '=';
    }
  }
  const int peak = bar_position(r.peak);
  if (peak > 0) text[static_cast<size_t>(peak - 1)] = '|';
  return "[" + text + "]";
}

// dBFS with `decimals` decimals, or -inf, in a field of `width`.
std::string db_text(double amplitude, int width, int decimals)
{
  const double db = to_dbfs(amplitude);
  return std::isinf(db) ? printf_text("%*s", width, "-inf")
                        : printf_text("%*.*f", width, decimals, db);
}

std::string db_json(double amplitude)
{
  const double db = to_dbfs(amplitude);
  return std::isinf(db) ? "null" : printf_text("%.4f", db);
}

// The time of the highest peak, or `none` for silence.
std::string peak_time(const ChannelResult& c, double rate, const char* none)
{
  return c.samples.peak_frame < 0
           ? none
           : printf_text("%.6f",
                         static_cast<double>(c.samples.peak_frame) / rate);
}

std::string level_text(std::optional<double> level,
                       int decimals,
                       const char* none)
{
  if (!level) return none;
  return std::isinf(*level) ? "-inf" : printf_text("%.*f", decimals, *level);
}

std::string level_json(std::optional<double> level)
{
  return level && std::isfinite(*level) ? printf_text("%.4f", *level) : "null";
}
