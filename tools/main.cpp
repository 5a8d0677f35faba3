// SPDX-License-Identifier: ISC
// tolvanic-meter: meters an audio file (or a demonstration signal) with the
// tolvanic LV2 plug-in, one instance per channel, and prints the readings.
#include "options.h"
#include "plot.h"
#include "plugin_host.h"
#include "report.h"
#include "sources.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#ifndef TOLVANIC_FALLBACK_DIRS
#error "TOLVANIC_FALLBACK_DIRS must list the build and install bundle folders"
#endif

namespace {

constexpr const char* PROGRAM = "tolvanic-meter";

// The frame at which a time falls, for a time already known to be >= 0;
// times beyond any file (a --reset-at of 1e300) fall at the last frame.
int64_t frame_at(double seconds, double rate)
{
  const double frame = std::floor(seconds * rate);
  return frame < 9.0e18 ? static_cast<int64_t>(frame) : INT64_MAX;
}

void meter(const Options& options)
{
  std::unique_ptr<AudioSource> source =
    options.file.empty() ? make_demo_signal() : open_sound_file(options.file);
  const PluginHost host(std::vector<std::string>{ TOLVANIC_FALLBACK_DIRS });
  const int channels = source->channels();
  const double rate = source->rate();
  const uint32_t block = options.block_size;

  std::vector<std::unique_ptr<ChannelMeter>> meters;
  for (int c = 0; c < channels; ++c) {
    meters.push_back(std::make_unique<ChannelMeter>(host, rate, block));
  }
  // Frames at which the reset control goes up, in order.
  std::vector<int64_t> resets;
  std::vector<double> reset_times = source->reset_times();
  reset_times.insert(
    reset_times.end(), options.reset_times.begin(), options.reset_times.end());
  for (double t : reset_times)
    resets.push_back(frame_at(t, rate));
  std::sort(resets.begin(), resets.end());

  std::unique_ptr<Plot> plot;
  if (!options.plot_file.empty()) {
    plot = std::make_unique<Plot>(
      options.plot_file, source->description(), channels);
  }
  const bool timeline = !options.summary_only;
  Timeline rows(stdout, options.csv, isatty(STDOUT_FILENO) == 1);
  if (!options.csv) {
    std::printf("%s: %d channel%s, %.0f Hz, blocks of %u frames\n",
                source->description().c_str(),
                channels,
                channels == 1 ? "" : "s",
                rate,
                block);
  }
  if (timeline) rows.header(channels);
  Progress progress(
    options.summary_only && isatty(STDERR_FILENO) == 1 ? stderr : nullptr,
    source->frames(),
    rate);

  std::vector<float> interleaved(static_cast<size_t>(block) *
                                 static_cast<size_t>(channels));
  std::vector<Readings> readings(static_cast<size_t>(channels));
  std::vector<ChannelSummary> summaries(static_cast<size_t>(channels));
  size_t next_reset = 0;
  int64_t done = 0;
  int64_t tick = 1; // the timeline row due next, counted in intervals
  int64_t got = 0;
  while ((got = source->read(interleaved.data(), block)) > 0) {
    const int64_t end = done + got;
    // A reset time raises the control for the block that holds it.
    bool reset = false;
    while (next_reset < resets.size() && resets[next_reset] < end) {
      reset = reset || resets[next_reset] >= done;
      ++next_reset;
    }
    for (size_t c = 0; c < meters.size(); ++c) {
      float* input = meters[c]->input();
      for (int64_t i = 0; i < got; ++i) {
        input[i] = interleaved[static_cast<size_t>(i * channels) + c];
      }
      meters[c]->run(static_cast<uint32_t>(got), reset);
      readings[c] = meters[c]->readings();
      summaries[c].add(static_cast<double>(done) / rate, readings[c]);
    }
    const double end_time = static_cast<double>(end) / rate;
    if (frame_at(static_cast<double>(tick) * options.interval, rate) <= end) {
      if (timeline) rows.row(end_time, readings);
      if (plot) plot->row(end_time, readings);
      // Skip the rows that fell within this block, jumping close first so
      // that a short interval costs no long count.
      tick =
        std::max(tick + 1, static_cast<int64_t>(end_time / options.interval));
      while (frame_at(static_cast<double>(tick) * options.interval, rate) <=
             end) {
        ++tick;
      }
    }
    done = end;
    progress.update(done);
  }
  progress.finish();
  if (done == 0) {
    throw std::runtime_error(source->description() + ": holds no audio");
  }
  if (!options.csv || options.summary_only) {
    print_summary(stdout, options.csv, summaries);
  }
  if (plot) plot->finish();
}

} // namespace

int main(int argc, char** argv)
{
  Options options;
  try {
    options = parse_options(argc, argv);
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "%s: %s (try --help)\n", PROGRAM, error.what());
    return 2;
  }
  if (options.help) {
    print_help(PROGRAM);
    return 0;
  }
  try {
    meter(options);
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", PROGRAM, error.what());
    return 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "%s: cannot write the output\n", PROGRAM);
    return 1;
  }
  return 0;
}
