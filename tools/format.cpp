// SPDX-License-Identifier: ISC
#include "format.h"

#include "messages.h"
#include "text.h"

#include <cmath>

namespace {

// The bar spans -60 to 0 dBFS.
constexpr int BAR_WIDTH = 40;
constexpr double BAR_FLOOR_DB = -60.0;

int bar_position(float amplitude)
{
  const double db = to_dbfs(amplitude);
  if (db <= BAR_FLOOR_DB) return 0;
  const double filled = (db - BAR_FLOOR_DB) / -BAR_FLOOR_DB * BAR_WIDTH;
  return static_cast<int>(std::lround(std::fmin(filled, BAR_WIDTH)));
}

std::string bar(const MeterReadings& r)
{
  std::string text(BAR_WIDTH, '.');
  const int rms = bar_position(r.rms);
  const int level = bar_position(r.level);
  for (int i = 0; i < BAR_WIDTH; ++i) {
    if (i < rms) {
      text[static_cast<size_t>(i)] = '#';
    } else if (i < level) {
      text[static_cast<size_t>(i)] = '=';
    }
  }
  const int peak = bar_position(r.peak);
  if (peak > 0) text[static_cast<size_t>(peak - 1)] = '|';
  return "[" + text + "]";
}

// dBFS with `decimals` decimals, or -inf, in a field of `width`.
std::string db_text(double amplitude, int width, int decimals)
{
  const double db = to_dbfs(amplitude);
  return std::isinf(db) ? printf_text("%*s", width, "-inf")
                        : printf_text("%*.*f", width, decimals, db);
}

std::string db_json(double amplitude)
{
  const double db = to_dbfs(amplitude);
  return std::isinf(db) ? "null" : printf_text("%.4f", db);
}

// The time of the highest peak, or `none` for silence.
std::string peak_time(const ChannelResult& c, double rate, const char* none)
{
  return c.samples.peak_frame < 0
           ? none
           : printf_text("%.6f",
                         static_cast<double>(c.samples.peak_frame) / rate);
}

class TextFormat final : public Format {
public:
  explicit TextFormat(const FormatSettings& settings)
    : settings_(settings)
  {}

  bool timeline() const override { return !settings_.summary_only; }

  std::string file_start(size_t index, const StreamInfo& stream) const override
  {
    std::string head =
      (index > 0 ? "\n" : "") + stream.description +
      printf_text(": %d channel%s, %.0f Hz, blocks of %u frames\n",
                  stream.channels,
                  stream.channels == 1 ? "" : "s",
                  stream.rate,
                  settings_.block_size);
    if (timeline()) {
      head += printf_text("%8s %3s %7s %7s %7s   (dBFS)\n",
                          "time_s",
                          stream.channels > 1 ? "ch" : "",
                          "level",
                          "peak",
                          "rms");
    }
    return head;
  }

  void row(std::string& out,
           const StreamInfo&,
           double seconds,
           const std::vector<MeterReadings>& channels) const override
  {
    for (size_t c = 0; c < channels.size(); ++c) {
      const MeterReadings& r = channels[c];
      const std::string channel =
        channels.size() > 1 ? std::to_string(c + 1) : "";
      out += printf_text("%8.3f %3s ", seconds, channel.c_str());
      out += db_text(static_cast<double>(r.level), 7, 1) + " " +
             db_text(static_cast<double>(r.peak), 7, 1) + " " +
             db_text(static_cast<double>(r.rms), 7, 1);
      out += settings_.bars ? "   " + bar(r) + "\n" : "\n";
    }
  }

  std::string file_end(size_t, const FileResult& file) const override
  {
    std::string out =
      printf_text("\n%-14s  %12s  %11s  %15s  %11s  %14s  %7s  %10s\n",
                  "summary (dBFS)",
                  "highest peak",
                  "at (s)",
                  "final peak hold",
                  "highest RMS",
                  "whole-file RMS",
                  "clipped",
                  "non-finite");
    for (size_t c = 0; c < file.channels.size(); ++c) {
      const ChannelResult& r = file.channels[c];
      out += printf_text(
        "%-14s  %12s  %11s  %15s  %11s  %14s  %7lld  %10lld\n",
        ("channel " + std::to_string(c + 1)).c_str(),
        db_text(static_cast<double>(r.samples.peak), 0, 2).c_str(),
        peak_time(r, file.stream.rate, "-").c_str(),
        db_text(static_cast<double>(r.final_peak_hold), 0, 2).c_str(),
        db_text(static_cast<double>(r.highest_rms), 0, 1).c_str(),
        db_text(r.samples.rms(), 0, 2).c_str(),
        static_cast<long long>(r.samples.clipped),
        static_cast<long long>(r.samples.nonfinite));
    }
    return out + "highest RMS: the plug-in's highest published reading, "
                 "which moves in steps of more than 0.2 dB\n";
  }

private:
  FormatSettings settings_;
};

class CsvFormat final : public Format {
public:
  explicit CsvFormat(const FormatSettings& settings)
    : settings_(settings)
  {}

  bool timeline() const override { return !settings_.summary_only; }

  std::string document_start() const override
  {
    const std::string file = settings_.several ? "file," : "";
    return settings_.summary_only
             ? file + "channel,highest_peak,highest_peak_time_s,"
                      "final_peak_hold,highest_rms,rms,clipped_samples,"
                      "nonfinite_samples\n"
             : file + "time_s,channel,level,peak,rms,level_dbfs,peak_dbfs,"
                      "rms_dbfs\n";
  }

  void row(std::string& out,
           const StreamInfo& stream,
           double seconds,
           const std::vector<MeterReadings>& channels) const override
  {
    const std::string prefix = file_column(stream.path);
    for (size_t c = 0; c < channels.size(); ++c) {
      const auto level = static_cast<double>(channels[c].level);
      const auto peak = static_cast<double>(channels[c].peak);
      const auto rms = static_cast<double>(channels[c].rms);
      out += prefix;
      out += printf_text(
        "%.6f,%zu,%.9g,%.9g,%.9g,", seconds, c + 1, level, peak, rms);
      out += db_text(level, 0, 4) + "," + db_text(peak, 0, 4) + "," +
             db_text(rms, 0, 4) + "\n";
    }
  }

  std::string file_end(size_t, const FileResult& file) const override
  {
    if (!settings_.summary_only) return {};
    std::string out;
    for (size_t c = 0; c < file.channels.size(); ++c) {
      const ChannelResult& r = file.channels[c];
      out += file_column(file.stream.path);
      out += printf_text("%zu,%.9g,%s,%.9g,%.9g,%.9g,%lld,%lld\n",
                         c + 1,
                         static_cast<double>(r.samples.peak),
                         peak_time(r, file.stream.rate, "").c_str(),
                         static_cast<double>(r.final_peak_hold),
                         static_cast<double>(r.highest_rms),
                         r.samples.rms(),
                         static_cast<long long>(r.samples.clipped),
                         static_cast<long long>(r.samples.nonfinite));
    }
    return out;
  }

private:
  std::string file_column(const std::string& path) const
  {
    return settings_.several ? csv_field(path) + "," : std::string();
  }

  FormatSettings settings_;
};

class JsonFormat final : public Format {
public:
  explicit JsonFormat(const FormatSettings& settings)
    : settings_(settings)
  {}

  bool timeline() const override { return false; }

  std::string document_start() const override
  {
    return printf_text(
      "{\n  \"block_size\": %u,\n  \"highest_rms_step_db\": 0.2,\n"
      "  \"files\": [",
      settings_.block_size);
  }

  std::string document_end() const override { return "\n  ]\n}\n"; }

  std::string file_end(size_t index, const FileResult& file) const override
  {
    std::string out =
      std::string(index > 0 ? "," : "") +
      "\n    {\n      \"path\": " + json_string(path_of(file.stream)) + ",\n";
    out += printf_text("      \"channels\": %zu,\n      \"rate\": %.0f,\n"
                       "      \"frames\": %lld,\n      \"duration_s\": %.6f,\n",
                       file.channels.size(),
                       file.stream.rate,
                       static_cast<long long>(file.frames),
                       static_cast<double>(file.frames) / file.stream.rate);
    out += "      \"warnings\": [";
    const std::vector<std::string> found = warnings(file);
    for (size_t w = 0; w < found.size(); ++w)
      out += (w > 0 ? ", " : "") + json_string(found[w]);
    out += "],\n      \"per_channel\": [";
    for (size_t c = 0; c < file.channels.size(); ++c) {
      const ChannelResult& r = file.channels[c];
      out += c > 0 ? ",\n" : "\n";
      out +=
        printf_text("        {\"channel\": %zu, \"peak_dbfs\": %s, "
                    "\"peak_time_s\": %s, \"final_peak_hold_dbfs\": %s, ",
                    c + 1,
                    db_json(static_cast<double>(r.samples.peak)).c_str(),
                    peak_time(r, file.stream.rate, "null").c_str(),
                    db_json(static_cast<double>(r.final_peak_hold)).c_str());
      out +=
        printf_text("\"highest_rms_dbfs\": %s, \"rms_dbfs\": %s, "
                    "\"nonfinite_samples\": %lld, \"clipped_samples\": %lld}",
                    db_json(static_cast<double>(r.highest_rms)).c_str(),
                    db_json(r.samples.rms()).c_str(),
                    static_cast<long long>(r.samples.nonfinite),
                    static_cast<long long>(r.samples.clipped));
    }
    return out + "\n      ]\n    }";
  }

  std::string file_error(size_t index,
                         const std::string& path,
                         const std::string& message) const override
  {
    return std::string(index > 0 ? "," : "") +
           "\n    {\n      \"path\": " + json_string(path) +
           ",\n      \"error\": " + json_string(message) + "\n    }";
  }

private:
  // The demo has no path: its description stands in.
  static const std::string& path_of(const StreamInfo& stream)
  {
    return stream.path.empty() ? stream.description : stream.path;
  }

  FormatSettings settings_;
};

} // namespace

std::string Format::file_start(size_t, const StreamInfo&) const
{
  return {};
}

void Format::row(std::string&,
                 const StreamInfo&,
                 double,
                 const std::vector<MeterReadings>&) const
{}

std::string Format::file_error(size_t,
                               const std::string&,
                               const std::string&) const
{
  return {};
}

std::unique_ptr<Format> make_format(const FormatSettings& settings)
{
  if (settings.json) return std::make_unique<JsonFormat>(settings);
  if (settings.csv) return std::make_unique<CsvFormat>(settings);
  return std::make_unique<TextFormat>(settings);
}
