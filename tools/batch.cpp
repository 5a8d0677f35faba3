// SPDX-License-Identifier: ISC
#include "batch.h"

#include "channel_weights.h"
#include "demo_signal.h"
#include "file_meter.h"
#include "format.h"
#include "messages.h"
#include "ordered_output.h"
#include "plot.h"
#include "progress.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
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

// How one file ended; each file has its own, folded once all are done.
enum class Outcome { metered, limit_broken, failed };

// The rows of one file, formatted as they come and written a chunk at a
// time; the plot and the progress line follow them.
class FileSink final : public RowSink {
public:
  FileSink(const Format& format,
           OrderedOutput& output,
           size_t index,
           const StreamInfo& stream,
           Plot* plot,
           ProgressLine& progress)
    : format_(format)
    , output_(output)
    , index_(index)
    , stream_(stream)
    , plot_(plot)
    , progress_(progress)
    , timeline_(format.timeline())
  {}

  void row(int64_t frame,
           const std::vector<MeterReadings>& channels,
           const RowLoudness* loudness) override
  {
    const double seconds = static_cast<double>(frame) / stream_.rate;
    if (timeline_) format_.row(text_, stream_, seconds, channels, loudness);
    if (plot_) plot_->row(seconds, channels, loudness);
  }

  void chunk_done(int64_t frames_done) override
  {
    // Stops metering once another file found the output broken.
    output_.check();
    output_.out(index_, text_);
    text_.clear();
    progress_.update(frames_done);
  }

private:
  const Format& format_;
  OrderedOutput& output_;
  const size_t index_;
  const StreamInfo& stream_;
  Plot* const plot_;
  ProgressLine& progress_;
  const bool timeline_;
  std::string text_;
};

StreamInfo stream_of(const std::string& path, const AudioSource& source)
{
  StreamInfo stream;
  stream.path = path;
  stream.description = source.description();
  stream.channels = source.channels();
  stream.rate = source.rate();
  stream.frames = source.frames();
  return stream;
}

class Batch {
public:
  Batch(const Options& options,
        const PluginHost& host,
        const char* program,
        const BatchIo& io)
    : options_(options)
    , host_(host)
    , program_(program)
    , io_(io)
    , files_(std::max<size_t>(1, options.files.size()))
    , output_(program, files_, io.out, io.err)
    , outcomes_(files_, Outcome::failed)
  {
    FormatSettings settings;
    settings.csv = options.csv;
    settings.json = options.json;
    settings.summary_only = options.summary_only;
    settings.bars = isatty(fileno(io.out)) == 1;
    settings.several = options.files.size() > 1;
    settings.loudness = options.loudness;
    settings.block_size = options.block_size;
    format_ = make_format(settings);
    const unsigned jobs = options.jobs > 0 ? options.jobs : cpu_count();
    runners_ = static_cast<unsigned>(std::min<size_t>(jobs, files_));
    // Files side by side, and each file's channels on the threads left.
    threads_per_file_ = std::max(1U, jobs / runners_);
  }

  int run()
  {
    try {
      output_.direct(format_->document_start());
      std::vector<std::thread> threads;
      for (unsigned r = 1; r < runners_; ++r)
        threads.emplace_back([this] { take_files(); });
      take_files();
      for (std::thread& thread : threads)
        thread.join();
      output_.check();
      output_.direct(format_->document_end());
    } catch (const WriteError& error) {
      std::fprintf(io_.err, "%s: %s\n", program_, error.what());
      return STATUS_ERROR;
    }
    const auto any = [this](Outcome outcome) {
      return std::find(outcomes_.begin(), outcomes_.end(), outcome) !=
             outcomes_.end();
    };
    if (any(Outcome::failed)) return STATUS_ERROR;
    return any(Outcome::limit_broken) ? STATUS_LIMIT_BROKEN : 0;
  }

private:
  // Each runner takes the next file not yet taken; a file's outcome goes
  // to its own slot.
  void take_files()
  {
    for (size_t index = next_++; index < files_; index = next_++) {
      if (!output_.write_error().empty()) return;
      outcomes_[index] = meter(index);
      try {
        output_.finish(index);
      } catch (const WriteError&) {
        return; // run() reports it
      }
    }
  }

  Outcome meter(size_t index)
  {
    const std::string path =
      options_.files.empty() ? std::string() : options_.files[index];
    // Once the file's figures are out, a later failure (a plot that could
    // not be drawn) adds its line on stderr, not a second entry.
    bool reported = false;
    try {
      const std::unique_ptr<AudioSource> source =
        path.empty() ? make_demo_signal() : io_.open(path);
      Measured measured = measure(index, stream_of(path, *source), *source);
      reported = true;
      return report(index, measured);
    } catch (const WriteError&) {
      return Outcome::failed; // run() reports it
    } catch (const std::exception& error) {
      try {
        if (!reported) {
          output_.out(index, format_->file_error(index, path, error.what()));
        }
        output_.err(index, error.what());
      } catch (const WriteError&) {
      }
      return Outcome::failed;
    }
  }

  MeterSettings settings_for(AudioSource& source, std::string& weights_note)
  {
    MeterSettings settings;
    settings.block_size = options_.block_size;
    settings.interval = options_.interval;
    settings.reset_times = source.reset_times();
    settings.reset_times.insert(settings.reset_times.end(),
                                options_.reset_times.begin(),
                                options_.reset_times.end());
    settings.threads = threads_per_file_;
    if (options_.loudness) {
      ChannelWeights weights = channel_weights(
        source.channel_map(), source.channels(), options_.dual_mono);
      settings.loudness_weights = std::move(weights.weights);
      weights_note = std::move(weights.note);
    }
    return settings;
  }

  // A file metered whole, its figures and its plot still to come.
  struct Measured {
    FileResult result;
    std::unique_ptr<Plot> plot; // its rows given, not yet drawn
  };

  // Meters the whole source, its rows going out as they come.
  Measured measure(size_t index, const StreamInfo& stream, AudioSource& source)
  {
    Measured measured;
    FileResult& result = measured.result;
    result.stream = stream;
    FileMeter meter(host_, source, settings_for(source, result.weights_note));
    output_.out(index, format_->file_start(index, stream));
    std::unique_ptr<Plot>& plot = measured.plot;
    if (!options_.plot_file.empty()) {
      plot = std::make_unique<Plot>(options_.plot_file,
                                    stream.description,
                                    stream.channels,
                                    options_.loudness);
    }
    const bool show_progress = options_.files.size() <= 1 &&
                               !format_->timeline() &&
                               isatty(fileno(io_.err)) == 1;
    ProgressLine progress(
      show_progress ? io_.err : nullptr, stream.frames, stream.rate);
    FileSink sink(*format_, output_, index, stream, plot.get(), progress);
    meter.run(sink);
    progress.finish();

    result.frames = meter.frames();
    result.header_frames = source.header_frames();
    result.end_note = source.end_note();
    if (result.frames == 0) throw std::runtime_error(no_audio_line(result));
    result.channels = meter.results();
    result.loudness = meter.loudness();
    return measured;
  }

  // The file's warnings, figures and verdicts; the plot last, since
  // drawing it may fail.
  Outcome report(size_t index, Measured& measured)
  {
    const FileResult& result = measured.result;
    for (const std::string& line : warning_lines(result))
      output_.err(index, line);
    output_.out(index, format_->file_end(index, result));
    const LimitVerdict verdict = check_limits(result, options_.limits);
    for (const std::string& line : verdict.lines)
      output_.err(index, line);
    if (measured.plot) {
      measured.plot->finish(result.loudness ? result.loudness->integrated_lufs
                                            : std::nullopt);
    }
    return verdict.broken ? Outcome::limit_broken : Outcome::metered;
  }

  const Options& options_;
  const PluginHost& host_;
  const char* program_;
  const BatchIo& io_;
  const size_t files_;
  OrderedOutput output_;
  std::unique_ptr<Format> format_;
  unsigned runners_ = 1;
  unsigned threads_per_file_ = 1;
  std::atomic<size_t> next_{ 0 }; // the next file to take
  std::vector<Outcome> outcomes_; // one slot per file
};

} // namespace

int meter_files(const Options& options,
                const PluginHost& host,
                const char* program,
                const BatchIo& io)
{
  return Batch(options, host, program, io).run();
}
