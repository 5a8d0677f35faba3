// SPDX-License-Identifier: ISC
#include "channel_track.h"

#include <algorithm>

ChannelTrack::ChannelTrack(const PluginHost& host,
                           double rate,
                           const Schedule& schedule,
                           uint32_t block,
                           float* buffer,
                           bool loudness)
  : meter_(host, rate)
  , schedule_(schedule)
  , block_(block)
  , buffer_(buffer)
{
  if (loudness) loudness_.emplace(rate);
}

void ChannelTrack::feed(const float* samples, int64_t frames, ChannelChunk& out)
{
  result_.samples.add(samples, frames, start_ + filled_);
  if (loudness_) loudness_->add(samples, frames, out.steps);
  std::vector<RowReadings>& rows = out.rows;
  int64_t done = 0;
  while (done < frames) {
    // Straight from `samples` when a whole block lies there, through the
    // buffer when a block spans two chunks.
    const int64_t n = std::min<int64_t>(frames - done, block_ - filled_);
    if (filled_ == 0 && n == block_) {
      run_block(samples + done, n, rows, false);
    } else {
      std::copy(samples + done, samples + done + n, buffer_ + filled_);
      filled_ += static_cast<uint32_t>(n);
      if (filled_ == block_) run_block(buffer_, block_, rows, false);
    }
    done += n;
  }
}

void ChannelTrack::finish(ChannelChunk& out)
{
  if (filled_ > 0) {
    run_block(buffer_, filled_, out.rows, true);
  } else if (start_ > 0 && last_row_ != start_) {
    out.rows.push_back({ start_, meter_.readings() });
  }
  if (loudness_) out.partial_step = loudness_->finish(out.steps);
}

void ChannelTrack::run_block(const float* samples,
                             int64_t frames,
                             std::vector<RowReadings>& rows,
                             bool last)
{
  const int64_t end = start_ + frames;
  meter_.run(
    samples, static_cast<uint32_t>(frames), schedule_.reset_in(start_, end));
  const MeterReadings readings = meter_.readings();
  result_.final_peak_hold = readings.peak;
  result_.highest_rms = std::max(result_.highest_rms, readings.rms);
  if (last || schedule_.row_due(start_, end)) {
    rows.push_back({ end, readings });
    last_row_ = end;
  }
  start_ = end;
  filled_ = 0;
}
