// SPDX-License-Identifier: ISC
// A progress line on a terminal: a percentage, or the seconds done when
// the length is unknown, rewritten in place.
#ifndef TOLVANIC_TOOLS_PROGRESS_H
#define TOLVANIC_TOOLS_PROGRESS_H

#include <cstdint>
#include <cstdio>

class ProgressLine {
public:
  // Shows nothing when `out` is null.
  ProgressLine(std::FILE* out, int64_t total_frames, double rate);
  void update(int64_t frames_done);
  // Clears the line.
  void finish();

private:
  std::FILE* out_;
  int64_t total_;
  double rate_;
  int64_t last_shown_ = -1;
};

#endif
