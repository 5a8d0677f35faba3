// SPDX-License-Identifier: ISC
#include "file_meter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Samples per read, all channels together: 256 KB, whatever the block.
constexpr int64_t CHUNK_SAMPLES = int64_t{ 1 } << 16;
// Samples the channels' blocks may take together: 16 MB.
constexpr int64_t BLOCK_BUDGET_SAMPLES = int64_t{ 1 } << 22;
// Chunks in flight between reading, metering and emitting.
constexpr int64_t SLOTS = 16;

} // namespace

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

void SampleStats::add(const float* samples, int64_t count, int64_t first_frame)
{
  // Magnitudes compared as bit patterns: for floats of one sign the order
  // of the patterns is the order of the values, infinity and NaN lie above
  // every finite value, and whole numbers let the compiler use the vector
  // unit. A chunk holds at most 2^16 samples of a channel, so 32-bit
  // counts do.
  constexpr int32_t MAGNITUDE = 0x7FFFFFFF, INFINITE = 0x7F800000,
                    FULL_SCALE = 0x3F800000; // 1.0f
  int32_t highest = 0, bad = 0, over = 0;
  for (int64_t i = 0; i < count; ++i) {
    int32_t bits = 0;
    std::memcpy(&bits, samples + i, sizeof bits);
    bits &= MAGNITUDE;
    const bool counts = bits < INFINITE;
    const int32_t counted = counts ? bits : 0;
    bad += counts ? 0 : 1;
    over += counted >= FULL_SCALE ? 1 : 0;
    highest = std::max(highest, counted);
  }

  // Eight partial sums, so that the additions need not wait on each other;
  // the order differs from one sum's by far less than 0.01 dB.
  double sums[8] = {};
  const int64_t whole = bad == 0 ? count - count % 8 : 0;
  for (int64_t i = 0; i < whole; i += 8) {
    for (int64_t k = 0; k < 8; ++k) {
      const auto x = static_cast<double>(samples[i + k]);
      sums[k] += x * x;
    }
  }
  for (int64_t i = whole; i < count; ++i) {
    const float x = samples[i];
    const auto counted =
      static_cast<double>(std::fabs(x) <= FLT_MAX ? x : 0.0f);
    sums[0] += counted * counted;
  }

  // Rarely needed: where the new peak and the first non-finite sample are.
  float magnitude = 0.0f;
  std::memcpy(&magnitude, &highest, sizeof magnitude);
  if (magnitude > peak) {
    peak = magnitude;
    peak_frame = first_frame;
    while (std::fabs(samples[peak_frame - first_frame]) != magnitude)
      ++peak_frame;
  }
  if (bad > 0 && first_nonfinite < 0) {
    first_nonfinite = first_frame;
    while (std::fabs(samples[first_nonfinite - first_frame]) <= FLT_MAX)
      ++first_nonfinite;
  }
  sum_squares += ((sums[0] + sums[1]) + (sums[2] + sums[3])) +
                 ((sums[4] + sums[5]) + (sums[6] + sums[7]));
  finite += count - bad;
  nonfinite += bad;
  clipped += over;
}

double SampleStats::rms() const
{
  return finite > 0 ? std::sqrt(sum_squares / static_cast<double>(finite))
                    : 0.0;
}

// One channel: its plug-in instance, the block being filled and the
// command's own count. Threads meter channels side by side: a cache line
// of its own keeps one channel's updates from stalling another's.
class alignas(64) ChannelTrack {
public:
  ChannelTrack(const PluginHost& host,
               double rate,
               const Schedule& schedule,
               uint32_t block,
               float* buffer)
    : meter_(host, rate)
    , schedule_(schedule)
    , block_(block)
    , buffer_(buffer)
  {}

  // Meters `frames` more samples of this channel, running the plug-in on
  // every block they complete: straight from `samples` when a whole block
  // lies there, from the channel's buffer when a block spans two chunks.
  void feed(const float* samples,
            int64_t frames,
            std::vector<RowReadings>& rows)
  {
    result_.samples.add(samples, frames, start_ + filled_);
    int64_t done = 0;
    while (done < frames) {
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

  // Runs the last, shorter block, and makes sure the timeline has a row at
  // the very end.
  void finish(std::vector<RowReadings>& rows)
  {
    if (filled_ > 0) {
      run_block(buffer_, filled_, rows, true);
    } else if (start_ > 0 && last_row_ != start_) {
      rows.push_back({ start_, meter_.readings() });
    }
  }

  const ChannelResult& result() const { return result_; }

private:
  void run_block(const float* samples,
                 int64_t frames,
                 std::vector<RowReadings>& rows,
                 bool last)
  {
    const int64_t end = start_ + frames;
    meter_.run(
      samples, static_cast<uint32_t>(frames), schedule_.reset_in(start_, end));
    const Readings readings = meter_.readings();
    result_.final_peak_hold = readings.peak;
    result_.highest_rms = std::max(result_.highest_rms, readings.rms);
    if (last || schedule_.row_due(start_, end)) {
      rows.push_back({ end, readings });
      last_row_ = end;
    }
    start_ = end;
    filled_ = 0;
  }

  ChannelMeter meter_;
  const Schedule& schedule_;
  const uint32_t block_;
  float* const buffer_;
  int64_t start_ = 0; // first frame of the block being filled
  uint32_t filled_ = 0;
  int64_t last_row_ = -1;
  ChannelResult result_;
};

// A chunk of frames, channel after channel, and the rows they gave.
struct FileMeter::Chunk {
  explicit Chunk(int channels, int64_t frames_each)
    : samples(static_cast<size_t>(channels * frames_each))
    , capacity(frames_each)
    , rows(static_cast<size_t>(channels))
  {}
  const float* channel(int c) const
  {
    return samples.data() + static_cast<size_t>(c * capacity);
  }
  std::vector<float> samples;
  int64_t capacity;
  int64_t frames = 0;
  bool last = false; // the source has ended: channels finish
  std::vector<std::vector<RowReadings>> rows; // per channel
};

FileMeter::FileMeter(const PluginHost& host,
                     AudioSource& source,
                     const MeterSettings& settings)
  : source_(source)
  , channels_(source.channels())
  , block_(settings.block_size)
  , workers_(std::max(1U, settings.threads))
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
    tracks_.push_back(std::make_unique<ChannelTrack>(
      host, source.rate(), schedule_, block_, buffer));
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
    auto& rows = chunk.rows[static_cast<size_t>(c)];
    ChannelTrack& track = *tracks_[static_cast<size_t>(c)];
    track.feed(chunk.channel(c), chunk.frames, rows);
    if (chunk.last) track.finish(rows);
  }
}

void FileMeter::emit(Chunk& chunk, const RowSink& rows)
{
  // Every channel has the same blocks, so the same rows.
  std::vector<Readings> readings(static_cast<size_t>(channels_));
  const std::vector<RowReadings>& first = chunk.rows.front();
  for (size_t r = 0; r < first.size(); ++r) {
    for (size_t c = 0; c < readings.size(); ++c)
      readings[c] = chunk.rows[c][r].readings;
    rows(first[r].frame, readings);
  }
  for (auto& channel : chunk.rows)
    channel.clear();
}

void FileMeter::run(const RowSink& rows,
                    const Progress& progress,
                    const std::atomic<bool>& stop)
{
  if (group_ < channels_) {
    Chunk chunk(channels_, chunk_frames_);
    run_groups(chunk, rows, progress, stop);
  } else {
    run_tasks(rows, progress, stop);
  }
}

void FileMeter::run_groups(Chunk& chunk,
                           const RowSink& rows,
                           const Progress& progress,
                           const std::atomic<bool>& stop)
{
  // Block by block; each group of channels reads the block again, and
  // finishes on it when it is the last.
  for (bool more = true; more;) {
    int64_t span = -1;
    for (int first = 0; first < channels_; first += group_) {
      if (stop) return;
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
    emit(chunk, rows);
    progress(frames_);
  }
}

// Every thread, the caller's included, takes whatever is ready: emitting
// the oldest chunk once all its channels are metered, metering a lane of
// channels on its next chunk, or reading a chunk into a free slot. A lane
// takes its chunks in order, and so does the reading and the emitting;
// nothing else is ordered, so no thread idles while there is work.
void FileMeter::run_tasks(const RowSink& rows,
                          const Progress& progress,
                          const std::atomic<bool>& stop)
{
  const int64_t slots = workers_ > 1 ? SLOTS : 1;
  const int lanes = std::min(channels_, 2 * static_cast<int>(workers_));
  std::vector<std::unique_ptr<Chunk>> chunks;
  for (int64_t s = 0; s < slots; ++s)
    chunks.push_back(std::make_unique<Chunk>(channels_, chunk_frames_));
  const auto slot = [&](int64_t index) -> Chunk& {
    return *chunks[static_cast<size_t>(index % slots)];
  };
  const auto lane_start = [&](int lane) { return channels_ * lane / lanes; };

  std::mutex mutex;
  std::condition_variable changed;
  int64_t read_count = 0, emitted = 0, done_frames = 0;
  bool reading = false, emitting = false, ended = false, abandon = false;
  std::vector<int64_t> next(static_cast<size_t>(lanes), 0); // per lane
  std::vector<char> busy(static_cast<size_t>(lanes), 0);
  std::vector<int> pending(static_cast<size_t>(slots), 0); // lanes to go
  std::exception_ptr failure;

  const auto work = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
      if (stop) abandon = true;
      if (abandon || (ended && emitted == read_count)) break;
      const bool can_read = !reading && !ended && read_count - emitted < slots;
      int lane = -1;
      for (int l = 0; l < lanes; ++l) {
        const auto i = static_cast<size_t>(l);
        if (!busy[i] && next[i] < read_count &&
            (lane < 0 || next[i] < next[static_cast<size_t>(lane)])) {
          lane = l;
        }
      }
      try {
        if (!emitting && emitted < read_count &&
            pending[static_cast<size_t>(emitted % slots)] == 0) {
          emitting = true;
          Chunk& chunk = slot(emitted);
          lock.unlock();
          emit(chunk, rows);
          done_frames += chunk.frames;
          progress(done_frames);
          lock.lock();
          emitting = false;
          ++emitted;
        } else if (can_read && (lane < 0 || read_count - emitted < slots / 2)) {
          reading = true;
          Chunk& chunk = slot(read_count);
          lock.unlock();
          frames_ += read(chunk, chunk_frames_, 0, channels_);
          lock.lock();
          reading = false;
          ended = chunk.last;
          pending[static_cast<size_t>(read_count % slots)] = lanes;
          ++read_count;
        } else if (lane >= 0) {
          const auto l = static_cast<size_t>(lane);
          busy[l] = 1;
          Chunk& chunk = slot(next[l]);
          lock.unlock();
          feed(chunk, lane_start(lane), lane_start(lane + 1));
          lock.lock();
          busy[l] = 0;
          --pending[static_cast<size_t>(next[l] % slots)];
          ++next[l];
        } else {
          changed.wait(lock);
          continue;
        }
      } catch (...) {
        if (!lock.owns_lock()) lock.lock();
        if (!failure) failure = std::current_exception();
        abandon = true;
      }
      changed.notify_all();
    }
    changed.notify_all();
  };
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < workers_; ++t)
    helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers)
    helper.join();
  if (failure && !stop) std::rethrow_exception(failure);
}
