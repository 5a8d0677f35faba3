// SPDX-License-Identifier: ISC
// Meters one source: one plug-in instance per channel, fed block by block,
// and beside it the command's own look at every sample, which sees what
// the plug-in's readings cannot show (an infinite sample zeroes them).
//
// The source is read in chunks of a fixed size, whatever the block size;
// channels are metered on worker threads while the next chunk is read.
// When the channels' blocks together would not fit in a fixed budget, the
// channels are metered a group at a time, each group reading the block
// again, so memory stays bounded for any file that can be read twice.
#ifndef TOLVANIC_TOOLS_FILE_METER_H
#define TOLVANIC_TOOLS_FILE_METER_H

#include "plugin_host.h"
#include "sources.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The frame at which a time falls, for a time already known to be >= 0;
// times beyond any file (a --reset-at of 1e300) fall at the last frame.
int64_t frame_at(double seconds, double rate);

// When the reset control goes up and when the timeline takes a row, block
// by block; the same answer for every channel.
class Schedule {
public:
  Schedule(const std::vector<double>& reset_times,
           double interval,
           double rate);
  // A reset time raises the control for the block that holds it.
  bool reset_in(int64_t start, int64_t end) const;
  // A row is due after the block in which a multiple of the interval falls.
  bool row_due(int64_t start, int64_t end) const;

private:
  int64_t tick_frame(int64_t tick) const;

  std::vector<int64_t> resets_; // frames, in order
  double interval_;
  double rate_;
};

// The command's own count of one channel's samples.
struct SampleStats {
  float peak = 0.0f;        // largest finite magnitude
  int64_t peak_frame = -1;  // its first frame; -1 while all are 0
  double sum_squares = 0.0; // of the finite samples, in double
  int64_t finite = 0;       // samples counted in sum_squares
  int64_t nonfinite = 0;    // NaN and infinities
  int64_t first_nonfinite = -1;
  int64_t clipped = 0; // finite samples at or above full scale

  void add(const float* samples, int64_t count, int64_t first_frame);
  double rms() const;
};

struct ChannelResult {
  SampleStats samples;
  float final_peak_hold = 0.0f; // the plug-in's readings
  float highest_rms = 0.0f;
};

// The readings of one channel after the block that ends at `frame`.
struct RowReadings {
  int64_t frame;
  Readings readings;
};

struct MeterSettings {
  uint32_t block_size = 256;
  double interval = 0.1;
  std::vector<double> reset_times;
  unsigned threads = 1; // for the channels, the calling thread included
};

class ChannelTrack;

class FileMeter {
public:
  // Rows in time order: the frame a row belongs to and every channel's
  // readings there.
  using RowSink =
    std::function<void(int64_t frame, const std::vector<Readings>& channels)>;
  using Progress = std::function<void(int64_t frames_done)>;

  // Throws std::runtime_error with a one-line message, before allocating
  // the channels' buffers, when the source cannot be metered within the
  // memory budget.
  FileMeter(const PluginHost& host,
            AudioSource& source,
            const MeterSettings& settings);
  ~FileMeter();
  FileMeter(const FileMeter&) = delete;
  FileMeter& operator=(const FileMeter&) = delete;

  // Meters the whole source. Throws std::runtime_error on a read error;
  // returns early, with partial results, once `stop` is set.
  void run(const RowSink& rows,
           const Progress& progress,
           const std::atomic<bool>& stop);
  int64_t frames() const { return frames_; }
  std::vector<ChannelResult> results() const;

private:
  struct Chunk;
  void run_groups(Chunk& chunk,
                  const RowSink& rows,
                  const Progress& progress,
                  const std::atomic<bool>& stop);
  void run_tasks(const RowSink& rows,
                 const Progress& progress,
                 const std::atomic<bool>& stop);
  // Reads into `chunk`, keeping channels [first, end).
  int64_t read(Chunk& chunk, int64_t frames, int first, int end);
  void feed(Chunk& chunk, int first, int end);
  void emit(Chunk& chunk, const RowSink& rows);

  AudioSource& source_;
  const int channels_;
  const uint32_t block_;
  const unsigned workers_; // threads, the caller's included
  Schedule schedule_;
  int group_;                      // channels metered per pass over a block
  int64_t chunk_frames_;           // frames per read
  std::vector<float> interleaved_; // as read; one read at a time
  std::vector<float> buffers_;     // blocks that span two chunks
  std::vector<std::unique_ptr<ChannelTrack>> tracks_;
  int64_t frames_ = 0;
};

#endif
