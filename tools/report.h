// SPDX-License-Identifier: ISC
// What tolvanic-meter prints: the timeline rows (text, with bars on a
// terminal, or CSV), the summary per channel and a progress indicator.
#ifndef TOLVANIC_TOOLS_REPORT_H
#define TOLVANIC_TOOLS_REPORT_H

#include "plugin_host.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// A linear amplitude in dBFS; 0 gives -infinity.
double to_dbfs(float amplitude);

class Timeline {
public:
  Timeline(std::FILE* out, bool csv, bool bars);
  void header(int channels);
  void row(double seconds, const std::vector<Readings>& channels);

private:
  std::FILE* out_;
  bool csv_;
  bool bars_;
};

// Highest readings of one channel over the whole run.
class ChannelSummary {
public:
  // `start` is the time of the block the readings follow.
  void add(double start, const Readings& readings);
  float highest_peak() const { return highest_peak_; }
  double highest_peak_time() const { return highest_peak_time_; }
  float final_peak() const { return final_peak_; }
  float highest_rms() const { return highest_rms_; }

private:
  float highest_peak_ = 0.0f;
  double highest_peak_time_ = 0.0;
  float final_peak_ = 0.0f;
  float highest_rms_ = 0.0f;
};

void print_summary(std::FILE* out,
                   bool csv,
                   const std::vector<ChannelSummary>& channels);

// A percentage (or the seconds done, when the length is unknown) rewritten
// in place on a terminal.
class Progress {
public:
  Progress(std::FILE* out, int64_t total_frames, double rate);
  void update(int64_t frames_done);
  void finish();

private:
  std::FILE* out_;
  int64_t total_;
  double rate_;
  int64_t last_shown_ = -1;
};

#endif
