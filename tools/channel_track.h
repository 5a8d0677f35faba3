// SPDX-License-Identifier: ISC
// One channel of a file: its plug-in instance, the block being filled, the
// command's own count of its samples and, when asked for, its part of the
// loudness.
#ifndef TOLVANIC_TOOLS_CHANNEL_TRACK_H
#define TOLVANIC_TOOLS_CHANNEL_TRACK_H

#include "channel_loudness.h"
#include "channel_meter.h"
#include "results.h"
#include "schedule.h"

#include <cstdint>
#include <optional>
#include <vector>

// The readings of one channel after the block that ends at `frame`.
struct RowReadings {
  int64_t frame;
  MeterReadings readings;
};

// What one channel's part of a chunk gave.
struct ChannelChunk {
  std::vector<RowReadings> rows;
  std::vector<double> steps; // loudness steps' energies, in order
  bool partial_step = false; // the last of them is the file's short end
  void clear()
  {
    rows.clear();
    steps.clear();
    partial_step = false;
  }
};

// Threads meter channels side by side: a cache line of its own keeps one
// channel's updates from stalling another's.
class alignas(64) ChannelTrack {
public:
  // `buffer` holds a block; channels metered at different times may share
  // one.
  ChannelTrack(const PluginHost& host,
               double rate,
               const Schedule& schedule,
               uint32_t block,
               float* buffer,
               bool loudness);

  // Meters `frames` more samples of this channel, running the plug-in on
  // every block they complete, and adds the rows that fall due and the
  // loudness steps they complete to `out`.
  void feed(const float* samples, int64_t frames, ChannelChunk& out);
  // Runs the last, shorter block, and makes sure the timeline has a row at
  // the very end.
  void finish(ChannelChunk& out);

  const ChannelResult& result() const { return result_; }
  // Linear; 0 without loudness.
  float true_peak() const { return loudness_ ? loudness_->true_peak() : 0.0f; }

private:
  void run_block(const float* samples,
                 int64_t frames,
                 std::vector<RowReadings>& rows,
                 bool last);

  ChannelMeter meter_;
  const Schedule& schedule_;
  const uint32_t block_;
  float* const buffer_;
  int64_t start_ = 0; // first frame of the block being filled
  uint32_t filled_ = 0;
  int64_t last_row_ = -1;
  ChannelResult result_;
  std::optional<ChannelLoudness> loudness_;
};

#endif
