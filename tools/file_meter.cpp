// SPDX-License-Identifier: ISC
#include "file_meter.h"

#include "pipeline.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// Samples per read, all channels together: 256 KB, whatever the block.
constexpr int64_t CHUNK_SAMPLES = int64_t{ 1 } << 16;
// Samples the channels' blocks may take together: 16 MB.
constexpr int64_t BLOCK_BUDGET_SAMPLES = int64_t{ 1 } << 22;
// Chunks in flight between reading, metering and emitting.
constexpr size_t SLOTS = 16;

} // namespace

// A chunk of frames, channel after channel, and what they gave.
struct FileMeter::Chunk {
  explicit Chunk(int channels, int64_t frames_each)
    : samples(static_cast<size_t>(channels * frames_each))
    , capacity(frames_each)
    , parts(static_cast<size_t>(channels))
  {}
  const float* channel(int c) const
  {
    return samples.data() + static_cast<size_t>(c * capacity);
  }
  std::vector<float> samples;
  int64_t capacity;
  int64_t frames = 0;
  bool last = false;               // the source has ended: channels finish
  std::vector<ChannelChunk> parts; // per channel
};

FileMeter::FileMeter(const PluginHost& host,
                     AudioSource& source,
                     const MeterSettings& settings)
  : source_(source)
  , channels_(source.channels())
  , block_(settings.block_size)
  , threads_(std::max(1U, settings.threads))
  , schedule_(settings.reset_times, settings.interval, source.rate())
{
  const int64_t all = int64_t{ channels_ } * block_;
  group_ =
    all <= BLOCK_BUDGET_SAMPLES
      ? channels_
      : static_cast<int>(std::max<int64_t>(1, BLOCK_BUDGET_SAMPLES / block_));
  if (group_ < channels_ && !source.seekable()) {
    const int64_t most = std::max<int64_t>(1, BLOCK_BUDGET_SAMPLES / channels_);
    throw std::runtime_error(
      source.description() + ": " + std::to_string(channels_) +
      " channels in blocks of " + std::to_string(block_) + " frames need " +
      std::to_string(all * 4 >> 20) + " MB at once, more than the " +
      std::to_string(BLOCK_BUDGET_SAMPLES * 4 >> 20) +
      " MB allowed for a stream that can be read only once; use "
      "--block-size " +
      std::to_string(most) + " or less");
  }
  chunk_frames_ = std::max<int64_t>(1, CHUNK_SAMPLES / channels_);
  buffers_.resize(static_cast<size_t>(int64_t{ group_ } * block_));
  for (int c = 0; c < channels_; ++c) {
    float* buffer = buffers_.data() + static_cast<size_t>(c % group_) * block_;
    tracks_.push_back(
      std::make_unique<ChannelTrack>(host,
                                     source.rate(),
                                     schedule_,
                                     block_,
                                     buffer,
                                     !settings.loudness_weights.empty()));
  }
  if (!settings.loudness_weights.empty()) {
    loudness_.emplace(settings.loudness_weights, source.rate());
    energies_.resize(static_cast<size_t>(channels_));
  }
}

FileMeter::~FileMeter() = default;

std::vector<ChannelResult> FileMeter::results() const
{
  std::vector<ChannelResult> results;
  for (const auto& track : tracks_)
    results.push_back(track->result());
  return results;
}

std::optional<LoudnessResult> FileMeter::loudness() const
{
  if (!loudness_) return std::nullopt;
  std::vector<float> true_peaks;
  for (const auto& track : tracks_)
    true_peaks.push_back(track->true_peak());
  return loudness_result(*loudness_, true_peaks);
}

int64_t FileMeter::read(Chunk& chunk, int64_t frames, int first, int end)
{
  chunk.frames =
    source_.read(chunk.samples.data(), chunk.capacity, frames, first, end);
  chunk.last = chunk.frames == 0;
  return chunk.frames;
}

void FileMeter::feed(Chunk& chunk, int first, int end)
{
  for (int c = first; c < end; ++c) {
    ChannelChunk& part = chunk.parts[static_cast<size_t>(c)];
    ChannelTrack& track = *tracks_[static_cast<size_t>(c)];
    track.feed(chunk.channel(c), chunk.frames, part);
    if (chunk.last) track.finish(part);
  }
}

size_t FileMeter::add_steps(const Chunk& chunk, size_t step, int64_t frame)
{
  // Every channel has the same steps.
  const ChannelChunk& first = chunk.parts.front();
  for (; step < first.steps.size(); ++step) {
    const bool partial = first.partial_step && step + 1 == first.steps.size();
    const int64_t ends = (loudness_->steps() + 1) * loudness_->step_frames();
    // The file's short last step ends with it, at its last row.
    if (partial ? frame < INT64_MAX : ends > frame) break;
    for (size_t c = 0; c < energies_.size(); ++c)
      energies_[c] = chunk.parts[c].steps[step];
    if (partial) {
      loudness_->add_partial_step(energies_.data());
    } else {
      loudness_->add_step(energies_.data());
    }
  }
  return step;
}

void FileMeter::emit(Chunk& chunk, RowSink& sink)
{
  // Every channel has the same blocks, so the same rows.
  std::vector<MeterReadings> readings(static_cast<size_t>(channels_));
  const std::vector<RowReadings>& first = chunk.parts.front().rows;
  size_t step = 0;
  for (size_t r = 0; r < first.size(); ++r) {
    for (size_t c = 0; c < readings.size(); ++c)
      readings[c] = chunk.parts[c].rows[r].readings;
    RowLoudness now{};
    if (loudness_) {
      const bool end = chunk.last && r + 1 == first.size();
      step = add_steps(chunk, step, end ? INT64_MAX : first[r].frame);
      now = { loudness_->momentary_lufs(), loudness_->short_term_lufs() };
    }
    sink.row(first[r].frame, readings, loudness_ ? &now : nullptr);
  }
  if (loudness_) add_steps(chunk, step, INT64_MAX); // the rest of the chunk
  for (ChannelChunk& part : chunk.parts)
    part.clear();
}

void FileMeter::run(RowSink& sink)
{
  if (group_ < channels_) {
    run_groups(sink);
  } else {
    run_pipelined(sink);
  }
}

void FileMeter::run_groups(RowSink& sink)
{
  // Block by block; each group of channels reads the block again, and
  // finishes on it when it is the last.
  Chunk chunk(channels_, chunk_frames_);
  for (bool more = true; more;) {
    int64_t span = -1;
    for (int first = 0; first < channels_; first += group_) {
      const int end = std::min(first + group_, channels_);
      source_.seek(frames_);
      int64_t got = 0;
      while (got < block_ &&
             read(chunk, std::min(chunk_frames_, block_ - got), first, end) >
               0) {
        feed(chunk, first, end);
        got += chunk.frames;
      }
      if (span >= 0 && got != span) {
        throw std::runtime_error(source_.description() +
                                 ": changed while it was read");
      }
      span = got;
      if (span < block_) {
        chunk.frames = 0;
        chunk.last = true;
        feed(chunk, first, end);
      }
    }
    frames_ += span;
    more = span == block_;
    emit(chunk, sink);
    sink.chunk_done(frames_);
  }
}

void FileMeter::run_pipelined(RowSink& sink)
{
  // One slot is enough when one thread does everything in turn.
  const size_t slots = threads_ > 1 ? SLOTS : 1;
  // Twice as many lanes as threads, so that a thread free to meter finds a
  // lane that is not already being metered.
  const int lanes = std::min(channels_, 2 * static_cast<int>(threads_));
  std::vector<Chunk> chunks(slots, Chunk(channels_, chunk_frames_));
  int64_t emitted = 0;
  PipelineStages stages;
  stages.read = [&](size_t slot) {
    const int64_t got = read(chunks[slot], chunk_frames_, 0, channels_);
    frames_ += got;
    return got > 0;
  };
  stages.work = [&](size_t slot, int lane) {
    feed(
      chunks[slot], channels_ * lane / lanes, channels_ * (lane + 1) / lanes);
  };
  stages.emit = [&](size_t slot) {
    emit(chunks[slot], sink);
    emitted += chunks[slot].frames;
    sink.chunk_done(emitted);
  };
  run_pipeline(stages, slots, lanes, threads_);
}
