// SPDX-License-Identifier: ISC
#include "batch.h"

#include "file_meter.h"
#include "ordered_output.h"
#include "plot.h"
#include "report.h"
#include "sources.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

unsigned cpu_count()
{
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) {
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&cpus)));
  }
  return std::max(1U, std::thread::hardware_concurrency());
}

std::string seconds_text(int64_t frames, double rate)
{
  char text[32];
  std::snprintf(
    text, sizeof text, "%.6f s", static_cast<double>(frames) / rate);
  return text;
}

// What the plug-in cannot show, or the file does not say: one line each.
std::vector<std::string> warnings(const AudioSource& source,
                                  int64_t frames,
                                  const std::vector<ChannelResult>& channels)
{
  std::vector<std::string> found;
  const double rate = source.rate();
  const int64_t declared = source.header_frames();
  if (declared > frames) {
    found.push_back("ends after " + std::to_string(frames) + " frames (" +
                    seconds_text(frames, rate) +
                    ") where its header declares " + std::to_string(declared) +
                    " (" + seconds_text(declared, rate) + "): it is cut short");
  }
  int64_t count = 0, first = -1;
  size_t first_channel = 0;
  for (size_t c = 0; c < channels.size(); ++c) {
    const SampleStats& s = channels[c].samples;
    count += s.nonfinite;
    if (s.nonfinite > 0 && (first < 0 || s.first_nonfinite < first)) {
      first = s.first_nonfinite;
      first_channel = c + 1;
    }
  }
  if (count > 0) {
    found.push_back(std::to_string(count) + " non-finite sample" +
                    (count == 1 ? "" : "s") +
                    " (NaN, infinite or beyond float range), the first at " +
                    seconds_text(first, rate) + " on channel " +
                    std::to_string(first_channel) +
                    "; the plug-in reads 0 for a block holding an infinite "
                    "sample");
  }
  return found;
}

class Batch {
public:
  Batch(const Options& options, const PluginHost& host, const char* program)
    : options_(options)
    , host_(host)
    , program_(program)
    , several_(options.files.size() > 1)
    , files_(std::max<size_t>(1, options.files.size()))
    , output_(program, files_)
  {
    const unsigned jobs = options.jobs > 0 ? options.jobs : cpu_count();
    runners_ = static_cast<unsigned>(std::min<size_t>(jobs, files_));
    // Files side by side, and each file's channels on the threads left.
    threads_ = std::max(1U, jobs / runners_);
  }

  int run()
  {
    try {
      if (options_.json) {
        output_.direct(json_document_start(options_.block_size));
      } else if (options_.csv) {
        output_.direct(options_.summary_only ? summary_csv_header(several_)
                                             : Timeline::csv_header(several_));
      }
      std::vector<std::thread> threads;
      for (unsigned r = 1; r < runners_; ++r)
        threads.emplace_back([this] { take_files(); });
      take_files();
      for (std::thread& thread : threads)
        thread.join();
      if (!write_error_.empty()) throw WriteError(write_error_);
      if (options_.json) output_.direct(json_document_end());
    } catch (const WriteError& error) {
      std::fprintf(stderr, "%s: %s\n", program_, error.what());
      return STATUS_ERROR;
    }
    if (failed_) return STATUS_ERROR;
    return above_ ? STATUS_ABOVE_LIMIT : 0;
  }

private:
  void take_files()
  {
    for (size_t index = next_++; index < files_ && !stop_; index = next_++) {
      meter(index);
      output_.finish(index);
    }
  }

  void meter(size_t index)
  {
    const std::string path =
      options_.files.empty() ? std::string() : options_.files[index];
    try {
      const std::unique_ptr<AudioSource> source =
        path.empty() ? make_demo_signal() : open_sound_file(path);
      meter(index, path, *source);
    } catch (const WriteError& error) {
      stop_writing(error);
    } catch (const std::exception& error) {
      failed_ = true;
      try {
        if (options_.json)
          output_.out(index, comma(index) + json_error(path, error.what()));
        output_.err(index, error.what());
      } catch (const WriteError& write) {
        stop_writing(write);
      }
    }
  }

  // Nothing more can be reported: every file stops.
  void stop_writing(const WriteError& error)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (write_error_.empty()) write_error_ = error.what();
    stop_ = true;
  }

  void meter(size_t index, const std::string& path, AudioSource& source)
  {
    MeterSettings settings;
    settings.block_size = options_.block_size;
    settings.interval = options_.interval;
    settings.reset_times = source.reset_times();
    settings.reset_times.insert(settings.reset_times.end(),
                                options_.reset_times.begin(),
                                options_.reset_times.end());
    settings.threads = threads_;
    FileMeter meter(host_, source, settings);

    const int channels = source.channels();
    const double rate = source.rate();
    const bool text = !options_.csv && !options_.json;
    const bool timeline = !options_.summary_only && !options_.json;
    std::string head;
    if (text) {
      char line[64];
      std::snprintf(line,
                    sizeof line,
                    ": %d channel%s, %.0f Hz, blocks of %u frames\n",
                    channels,
                    channels == 1 ? "" : "s",
                    rate,
                    options_.block_size);
      head = (index > 0 ? "\n" : "") + source.description() + line;
    }
    const Timeline rows(options_.csv,
                        isatty(STDOUT_FILENO) == 1,
                        several_ ? csv_field(path) + "," : "");
    if (timeline && text) head += rows.header(channels);
    output_.out(index, head);

    std::unique_ptr<Plot> plot;
    if (!options_.plot_file.empty()) {
      plot = std::make_unique<Plot>(
        options_.plot_file, source.description(), channels);
    }
    Progress progress(
      !several_ && !timeline && isatty(STDERR_FILENO) == 1 ? stderr : nullptr,
      source.frames(),
      rate);
    std::string chunk;
    meter.run(
      [&](int64_t frame, const std::vector<Readings>& readings) {
        const double seconds = static_cast<double>(frame) / rate;
        if (timeline) rows.row(chunk, seconds, readings);
        if (plot) plot->row(seconds, readings);
      },
      [&](int64_t done) {
        if (!chunk.empty()) output_.out(index, chunk);
        chunk.clear();
        progress.update(done);
      },
      stop_);
    if (!chunk.empty()) output_.out(index, chunk);
    progress.finish();
    if (stop_) return;
    if (meter.frames() == 0) {
      throw std::runtime_error(source.description() + ": holds no audio");
    }

    FileReport report;
    report.path = path.empty() ? source.description() : path;
    report.rate = rate;
    report.frames = meter.frames();
    report.channels = meter.results();
    report.warnings = warnings(source, report.frames, report.channels);
    for (const std::string& warning : report.warnings)
      output_.err(index, source.description() + ": " + warning);
    if (options_.json) {
      output_.out(index, comma(index) + json_file(report));
    } else if (options_.csv && options_.summary_only) {
      output_.out(index,
                  summary_csv(report, several_ ? csv_field(path) + "," : ""));
    } else if (text) {
      output_.out(index, summary_text(report));
    }
    check_limit(index, source, report);
    if (plot) plot->finish();
  }

  // --fail-above: a peak above the limit, or a sample with no level at all.
  void check_limit(size_t index,
                   const AudioSource& source,
                   const FileReport& report)
  {
    if (!options_.fail_above_set) return;
    for (size_t c = 0; c < report.channels.size(); ++c) {
      const SampleStats& s = report.channels[c].samples;
      const double db = to_dbfs(s.peak);
      if (db > options_.fail_above) {
        char line[128];
        std::snprintf(line,
                      sizeof line,
                      ": peak %.2f dBFS on channel %zu at %.6f s is above "
                      "--fail-above %g",
                      db,
                      c + 1,
                      static_cast<double>(s.peak_frame) / report.rate,
                      options_.fail_above);
        output_.err(index, source.description() + line);
        above_ = true;
        return;
      }
      if (s.nonfinite > 0) above_ = true;
    }
  }

  std::string comma(size_t index) const { return index > 0 ? "," : ""; }

  const Options& options_;
  const PluginHost& host_;
  const char* program_;
  const bool several_;
  const size_t files_;
  OrderedOutput output_;
  unsigned runners_ = 1;
  unsigned threads_ = 1;
  std::atomic<size_t> next_{ 0 };
  std::atomic<bool> stop_{ false };
  std::atomic<bool> failed_{ false };
  std::atomic<bool> above_{ false };
  std::mutex mutex_;
  std::string write_error_;
};

} // namespace

int meter_files(const Options& options,
                const PluginHost& host,
                const char* program)
{
  return Batch(options, host, program).run();
}
