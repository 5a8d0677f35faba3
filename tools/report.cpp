// SPDX-License-Identifier: ISC
#include "report.h"

#include <cmath>
#include <string>

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

std::string bar(const Readings& r)
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

template<typename... Values>
std::string format(const char* pattern, Values... values)
{
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

// dBFS with `decimals` decimals, or -inf, in a field of `width`.
std::string db_text(double amplitude, int width, int decimals)
{
  const double db = to_dbfs(amplitude);
  return std::isinf(db) ? format("%*s", width, "-inf")
                        : format("%*.*f", width, decimals, db);
}

std::string db_json(double amplitude)
{
  const double db = to_dbfs(amplitude);
  return std::isinf(db) ? "null" : format("%.4f", db);
}

// A JSON string. Bytes that are not UTF-8 (file names may hold any) become
// U+FFFD, so that every JSON parser accepts the document.
std::string json_string(const std::string& text)
{
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
      ++i;
    } else if (byte < 0x20) {
      out += format("\\u%04x", byte);
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else {
      // The length a lead byte announces, then its continuation bytes;
      // overlong forms and surrogates are not checked: parsers accept them.
      const size_t length = byte >= 0xF0 && byte < 0xF5   ? 4
                            : byte >= 0xE0 && byte < 0xF0 ? 3
                            : byte >= 0xC2 && byte < 0xE0 ? 2
                                                          : 0;
      size_t good = length > 0 && i + length <= text.size() ? 1 : 0;
      while (good > 0 && good < length &&
             (static_cast<unsigned char>(text[i + good]) & 0xC0) == 0x80)
        ++good;
      if (length > 0 && good == length) {
        out += text.substr(i, length);
        i += length;
      } else {
        out += "\\ufffd";
        ++i;
      }
    }
  }
  return out + "\"";
}

std::string time_text(const ChannelResult& c, double rate, const char* none)
{
  return c.samples.peak_frame < 0
           ? none
           : format("%.6f", static_cast<double>(c.samples.peak_frame) / rate);
}

} // namespace

double to_dbfs(double amplitude)
{
  return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -HUGE_VAL;
}

std::string csv_field(const std::string& text)
{
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

Timeline::Timeline(bool csv, bool bars, std::string csv_prefix)
  : csv_(csv)
  , bars_(bars && !csv)
  , csv_prefix_(std::move(csv_prefix))
{}

std::string Timeline::csv_header(bool file_column)
{
  return std::string(file_column ? "file," : "") +
         "time_s,channel,level,peak,rms,level_dbfs,peak_dbfs,rms_dbfs\n";
}

std::string Timeline::header(int channels) const
{
  return format("%8s %3s %7s %7s %7s   (dBFS)\n",
                "time_s",
                channels > 1 ? "ch" : "",
                "level",
                "peak",
                "rms");
}

void Timeline::row(std::string& out,
                   double seconds,
                   const std::vector<Readings>& channels) const
{
  for (size_t c = 0; c < channels.size(); ++c) {
    const Readings& r = channels[c];
    const auto level = static_cast<double>(r.level);
    const auto peak = static_cast<double>(r.peak);
    const auto rms = static_cast<double>(r.rms);
    if (csv_) {
      out += csv_prefix_;
      out +=
        format("%.6f,%zu,%.9g,%.9g,%.9g,", seconds, c + 1, level, peak, rms);
      out += db_text(level, 0, 4) + "," + db_text(peak, 0, 4) + "," +
             db_text(rms, 0, 4) + "\n";
      continue;
    }
    const std::string channel =
      channels.size() > 1 ? std::to_string(c + 1) : "";
    out += format("%8.3f %3s ", seconds, channel.c_str());
    out += db_text(level, 7, 1) + " " + db_text(peak, 7, 1) + " " +
           db_text(rms, 7, 1);
    out += bars_ ? "   " + bar(r) + "\n" : "\n";
  }
}

std::string summary_text(const FileReport& file)
{
  std::string out = format("\n%-14s  %12s  %11s  %15s  %11s  %14s  %7s  %10s\n",
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
    out += format("%-14s  %12s  %11s  %15s  %11s  %14s  %7lld  %10lld\n",
                  ("channel " + std::to_string(c + 1)).c_str(),
                  db_text(static_cast<double>(r.samples.peak), 0, 2).c_str(),
                  time_text(r, file.rate, "-").c_str(),
                  db_text(static_cast<double>(r.final_peak_hold), 0, 2).c_str(),
                  db_text(static_cast<double>(r.highest_rms), 0, 1).c_str(),
                  db_text(r.samples.rms(), 0, 2).c_str(),
                  static_cast<long long>(r.samples.clipped),
                  static_cast<long long>(r.samples.nonfinite));
  }
  return out + "highest RMS: the plug-in's highest published reading, which "
               "moves in steps of more than 0.2 dB\n";
}

std::string summary_csv_header(bool file_column)
{
  return std::string(file_column ? "file," : "") +
         "channel,highest_peak,highest_peak_time_s,final_peak_hold,"
         "highest_rms,rms,clipped_samples,nonfinite_samples\n";
}

std::string summary_csv(const FileReport& file, const std::string& prefix)
{
  std::string out;
  for (size_t c = 0; c < file.channels.size(); ++c) {
    const ChannelResult& r = file.channels[c];
    out += prefix;
    out += format("%zu,%.9g,%s,%.9g,%.9g,%.9g,%lld,%lld\n",
                  c + 1,
                  static_cast<double>(r.samples.peak),
                  time_text(r, file.rate, "").c_str(),
                  static_cast<double>(r.final_peak_hold),
                  static_cast<double>(r.highest_rms),
                  r.samples.rms(),
                  static_cast<long long>(r.samples.clipped),
                  static_cast<long long>(r.samples.nonfinite));
  }
  return out;
}

std::string json_document_start(uint32_t block_size)
{
  return format("{\n  \"block_size\": %u,\n  \"highest_rms_step_db\": 0.2,\n"
                "  \"files\": [",
                block_size);
}

std::string json_document_end()
{
  return "\n  ]\n}\n";
}

std::string json_file(const FileReport& file)
{
  std::string out =
    "\n    {\n      \"path\": " + json_string(file.path) + ",\n";
  out += format("      \"channels\": %zu,\n      \"rate\": %.0f,\n"
                "      \"frames\": %lld,\n      \"duration_s\": %.6f,\n",
                file.channels.size(),
                file.rate,
                static_cast<long long>(file.frames),
                static_cast<double>(file.frames) / file.rate);
  out += "      \"warnings\": [";
  for (size_t w = 0; w < file.warnings.size(); ++w)
    out += (w > 0 ? ", " : "") + json_string(file.warnings[w]);
  out += "],\n      \"per_channel\": [";
  for (size_t c = 0; c < file.channels.size(); ++c) {
    const ChannelResult& r = file.channels[c];
    const std::string time = time_text(r, file.rate, "null");
    out += c > 0 ? ",\n" : "\n";
    out += format("        {\"channel\": %zu, \"peak_dbfs\": %s, "
                  "\"peak_time_s\": %s, \"final_peak_hold_dbfs\": %s, ",
                  c + 1,
                  db_json(static_cast<double>(r.samples.peak)).c_str(),
                  time.c_str(),
                  db_json(static_cast<double>(r.final_peak_hold)).c_str());
    out += format("\"highest_rms_dbfs\": %s, \"rms_dbfs\": %s, "
                  "\"nonfinite_samples\": %lld, \"clipped_samples\": %lld}",
                  db_json(static_cast<double>(r.highest_rms)).c_str(),
                  db_json(r.samples.rms()).c_str(),
                  static_cast<long long>(r.samples.nonfinite),
                  static_cast<long long>(r.samples.clipped));
  }
  return out + "\n      ]\n    }";
}

std::string json_error(const std::string& path, const std::string& message)
{
  return "\n    {\n      \"path\": " + json_string(path) +
         ",\n      \"error\": " + json_string(message) + "\n    }";
}

Progress::Progress(std::FILE* out, int64_t total_frames, double rate)
  : out_(out)
  , total_(total_frames)
  , rate_(rate)
{}

void Progress::update(int64_t frames_done)
{
  if (!out_) return;
  // Redraw only when the figure shown changes: whole percents, or whole
  // seconds when the length is unknown.
  const int64_t shown =
    total_ > 0 ? frames_done * 100 / total_
               : static_cast<int64_t>(static_cast<double>(frames_done) / rate_);
  if (shown == last_shown_) return;
  last_shown_ = shown;
  if (total_ > 0) {
    std::fprintf(out_, "\rmetering: %3lld%%", static_cast<long long>(shown));
  } else {
    std::fprintf(out_, "\rmetering: %lld s", static_cast<long long>(shown));
  }
  std::fflush(out_);
}

void Progress::finish()
{
  if (out_ && last_shown_ >= 0) std::fprintf(out_, "\r\033[K");
}
