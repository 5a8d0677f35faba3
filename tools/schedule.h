// SPDX-License-Identifier: ISC
// When the reset control goes up and when the timeline takes a row, block
// by block; the same answer for every channel.
#ifndef TOLVANIC_TOOLS_SCHEDULE_H
#define TOLVANIC_TOOLS_SCHEDULE_H

#include <cstdint>
#include <vector>

// The frame at which a time falls, for a time already known to be >= 0;
// times beyond any file (a --reset-at of 1e300) fall at the last frame.
int64_t frame_at(double seconds, double rate);

class Schedule {
public:
  Schedule(const std::vector<double>& reset_times,
           double interval,
           double rate);
  // A reset time raises the control for the block [start, end) that holds
  // it, and for no other.
  bool reset_in(int64_t start, int64_t end) const;
  // A row is due after the block in which a multiple of the interval falls.
  bool row_due(int64_t start, int64_t end) const;

private:
  int64_t tick_frame(int64_t tick) const;

  std::vector<int64_t> resets_; // frames, in order
  double interval_;
  double rate_;
};

#endif
