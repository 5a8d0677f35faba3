// SPDX-License-Identifier: ISC
#include "report.h"

#include <cmath>
#include <string>

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

std::string bar(const Readings& r)
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

// dBFS with two decimals, or -inf, in a field of `width`.
std::string db_text(float amplitude, int width, int decimals)
{
  char text[32];
  const double db = to_dbfs(amplitude);
  if (std::isinf(db)) {
    std::snprintf(text, sizeof text, "%*s", width, "-inf");
  } else {
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, db);
  }
  return text;
}

} // namespace

double to_dbfs(float amplitude)
{
  return amplitude > 0.0f ? 20.0 * std::log10(static_cast<double>(amplitude))
                          : -HUGE_VAL;
}

Timeline::Timeline(std::FILE* out, bool csv, bool bars)
  : out_(out)
  , csv_(csv)
  , bars_(bars && !csv)
{}

void Timeline::header(int channels)
{
  if (csv_) {
    std::fprintf(out_,
                 "time_s,channel,level,peak,rms,level_dbfs,peak_dbfs,"
                 "rms_dbfs\n");
  } else {
    std::fprintf(out_,
                 "%8s %3s %7s %7s %7s   (dBFS)\n",
                 "time_s",
                 channels > 1 ? "ch" : "",
                 "level",
                 "peak",
                 "rms");
  }
}

void Timeline::row(double seconds, const std::vector<Readings>& channels)
{
  for (size_t c = 0; c < channels.size(); ++c) {
    const Readings& r = channels[c];
    if (csv_) {
      std::fprintf(out_,
                   "%.6f,%zu,%.9g,%.9g,%.9g,%s,%s,%s\n",
                   seconds,
                   c + 1,
                   static_cast<double>(r.level),
                   static_cast<double>(r.peak),
                   static_cast<double>(r.rms),
                   db_text(r.level, 0, 4).c_str(),
                   db_text(r.peak, 0, 4).c_str(),
                   db_text(r.rms, 0, 4).c_str());
      continue;
    }
    std::string channel = channels.size() > 1 ? std::to_string(c + 1) : "";
    std::fprintf(out_,
                 "%8.3f %3s %s %s %s",
                 seconds,
                 channel.c_str(),
                 db_text(r.level, 7, 1).c_str(),
                 db_text(r.peak, 7, 1).c_str(),
                 db_text(r.rms, 7, 1).c_str());
    std::fprintf(out_, bars_ ? "   %s\n" : "\n", bar(r).c_str());
  }
}

void ChannelSummary::add(double start, const Readings& readings)
{
  if (readings.peak > highest_peak_) {
    highest_peak_ = readings.peak;
    highest_peak_time_ = start;
  }
  if (readings.rms > highest_rms_) highest_rms_ = readings.rms;
  final_peak_ = readings.peak;
}

void print_summary(std::FILE* out,
                   bool csv,
                   const std::vector<ChannelSummary>& channels)
{
  if (csv) {
    std::fprintf(out,
                 "channel,highest_peak,highest_peak_time_s,"
                 "final_peak_hold,highest_rms\n");
    for (size_t c = 0; c < channels.size(); ++c) {
      const ChannelSummary& s = channels[c];
      std::fprintf(out,
                   "%zu,%.9g,%.6f,%.9g,%.9g\n",
                   c + 1,
                   static_cast<double>(s.highest_peak()),
                   s.highest_peak_time(),
                   static_cast<double>(s.final_peak()),
                   static_cast<double>(s.highest_rms()));
    }
    return;
  }
  std::fprintf(out,
               "\n%-14s  %12s  %6s  %15s  %11s\n",
               "summary (dBFS)",
               "highest peak",
               "at (s)",
               "final peak hold",
               "highest RMS");
  for (size_t c = 0; c < channels.size(); ++c) {
    const ChannelSummary& s = channels[c];
    const std::string name = "channel " + std::to_string(c + 1);
    std::fprintf(out,
                 "%-14s  %12s  %6.3f  %15s  %11s\n",
                 name.c_str(),
                 db_text(s.highest_peak(), 0, 2).c_str(),
                 s.highest_peak_time(),
                 db_text(s.final_peak(), 0, 2).c_str(),
                 db_text(s.highest_rms(), 0, 2).c_str());
  }
}

Progress::Progress(std::FILE* out, int64_t total_frames, double rate)
  : out_(out)
  , total_(total_frames)
  , rate_(rate)
{}

void Progress::update(int64_t frames_done)
{
  if (!out_) return;
  // Redraw only when the figure shown changes: whole percents, or whole
  // seconds when the length is unknown.
  const int64_t shown =
    total_ > 0 ? frames_done * 100 / total_
               : static_cast<int64_t>(static_cast<double>(frames_done) / rate_);
  if (shown == last_shown_) return;
  last_shown_ = shown;
  if (total_ > 0) {
    std::fprintf(out_, "\rmetering: %3lld%%", static_cast<long long>(shown));
  } else {
    std::fprintf(out_, "\rmetering: %lld s", static_cast<long long>(shown));
  }
  std::fflush(out_);
}

void Progress::finish()
{
  if (out_ && last_shown_ >= 0) std::fprintf(out_, "\r\033[K");
}
