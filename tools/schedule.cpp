// SPDX-License-Identifier: ISC
#include "schedule.h"

#include <algorithm>
#include <cmath>

int64_t frame_at(double seconds, double rate)
{
  const double frame = std::floor(seconds * rate);
  return frame < 9.0e18 ? static_cast<int64_t>(frame) : INT64_MAX;
}

Schedule::Schedule(const std::vector<double>& reset_times,
                   double interval,
                   double rate)
  : interval_(interval)
  , rate_(rate)
{
  for (double t : reset_times)
    resets_.push_back(frame_at(t, rate));
  std::sort(resets_.begin(), resets_.end());
}

bool Schedule::reset_in(int64_t start, int64_t end) const
{
  const auto first = std::lower_bound(resets_.begin(), resets_.end(), start);
  return first != resets_.end() && *first < end;
}

int64_t Schedule::tick_frame(int64_t tick) const
{
  return frame_at(static_cast<double>(tick) * interval_, rate_);
}

bool Schedule::row_due(int64_t start, int64_t end) const
{
  // The first tick past the previous block's end (nothing before the first
  // block), found near its estimate without counting up from 1.
  const int64_t previous = start > 0 ? start : -1;
  const double estimate =
    static_cast<double>(previous + 1) / (interval_ * rate_);
  int64_t tick = std::max<int64_t>(
    1, estimate < 9.0e18 ? static_cast<int64_t>(estimate) : INT64_MAX / 2);
  while (tick > 1 && tick_frame(tick - 1) > previous)
    --tick;
  while (tick_frame(tick) <= previous)
    ++tick;
  return tick_frame(tick) <= end;
}
