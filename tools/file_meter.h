// SPDX-License-Identifier: ISC
// The engine: meters one source with one plug-in instance per channel, fed
// block by block, beside the command's own count of every sample, and
// hands the timeline's rows to a sink.
//
// The source is read in chunks of a fixed size, whatever the block size;
// channels are metered on several threads while the next chunk is read
// (see pipeline.h). When the channels' blocks together would not fit in a
// fixed budget, the channels are metered a group at a time, each group
// reading the block again, so memory stays bounded for any file that can
// be read twice.
#ifndef TOLVANIC_TOOLS_FILE_METER_H
#define TOLVANIC_TOOLS_FILE_METER_H

#include "channel_track.h"
#include "loudness_meter.h"
#include "plugin_host.h"
#include "results.h"
#include "schedule.h"
#include "sources.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Where the rows go. Its calls come one at a time, in time order, from
// whichever metering thread emits a chunk; either may throw, which stops
// the metering (FileMeter::run rethrows it).
class RowSink {
public:
  // The readings of every channel after the block that ends at `frame`,
  // and the loudness there when it is measured (null when not).
  virtual void row(int64_t frame,
                   const std::vector<MeterReadings>& channels,
                   const RowLoudness* loudness) = 0;
  // After each chunk's rows: `frames_done` frames are metered.
  virtual void chunk_done(int64_t frames_done) = 0;

protected:
  ~RowSink() = default;
};

struct MeterSettings {
  uint32_t block_size = 0;
  double interval = 0.0;
  std::vector<double> reset_times;
  unsigned threads = 1; // for the channels, the calling thread included
  // Measures loudness, the channels weighed so, when there are weights.
  std::vector<double> loudness_weights;
};

class FileMeter {
public:
  // Throws std::runtime_error with a one-line message, before allocating
  // the channels' buffers, when the source cannot be metered within the
  // memory budget.
  FileMeter(const PluginHost& host,
            AudioSource& source,
            const MeterSettings& settings);
  ~FileMeter();
  FileMeter(const FileMeter&) = delete;
  FileMeter& operator=(const FileMeter&) = delete;

  // Meters the whole source. Throws std::runtime_error on a read error,
  // and whatever the sink throws.
  void run(RowSink& sink);
  int64_t frames() const { return frames_; }
  std::vector<ChannelResult> results() const;
  // Once run: the loudness, if it was measured.
  std::optional<LoudnessResult> loudness() const;

private:
  struct Chunk;
  void run_groups(RowSink& sink);
  void run_pipelined(RowSink& sink);
  // Reads into `chunk`, keeping channels [first, end).
  int64_t read(Chunk& chunk, int64_t frames, int first, int end);
  void feed(Chunk& chunk, int first, int end);
  void emit(Chunk& chunk, RowSink& sink);
  // Hands the chunk's loudness steps from `step` on to the meter, up to
  // the one that ends at `frame`; returns the next step.
  size_t add_steps(const Chunk& chunk, size_t step, int64_t frame);

  AudioSource& source_;
  const int channels_;
  const uint32_t block_;
  const unsigned threads_; // the caller's included
  Schedule schedule_;
  int group_;                  // channels metered per pass over a block
  int64_t chunk_frames_;       // frames per read
  std::vector<float> buffers_; // blocks that span two chunks
  std::vector<std::unique_ptr<ChannelTrack>> tracks_;
  std::optional<LoudnessMeter> loudness_;
  std::vector<double> energies_; // one step's, across the channels
  int64_t frames_ = 0;
};

#endif
