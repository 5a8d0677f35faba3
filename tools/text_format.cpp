// SPDX-License-Identifier: ISC
#include "format_parts.h"

#include "messages.h"
#include "text.h"

#include <cmath>

namespace {

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
      head += printf_text("%8s %3s %7s %7s %7s",
                          "time_s",
                          stream.channels > 1 ? "ch" : "",
                          "level",
                          "peak",
                          "rms");
      head +=
        settings_.loudness
          ? printf_text(" %9s %10s   (dBFS, LUFS)\n", "momentary", "short-term")
          : "   (dBFS)\n";
    }
    return head;
  }

  void row(std::string& out,
           const StreamInfo&,
           double seconds,
           const std::vector<MeterReadings>& channels,
           const RowLoudness* loudness) const override
  {
    for (size_t c = 0; c < channels.size(); ++c) {
      const MeterReadings& r = channels[c];
      const std::string channel =
        channels.size() > 1 ? std::to_string(c + 1) : "";
      out += printf_text("%8.3f %3s ", seconds, channel.c_str());
      out += db_text(static_cast<double>(r.level), 7, 1) + " " +
             db_text(static_cast<double>(r.peak), 7, 1) + " " +
             db_text(static_cast<double>(r.rms), 7, 1);
      // The file's loudness, on the first channel's line of each time.
      if (loudness && c == 0) {
        out +=
          printf_text(" %9s %10s",
                      level_text(loudness->momentary_lufs, 1, "").c_str(),
                      level_text(loudness->short_term_lufs, 1, "").c_str());
      } else if (loudness && settings_.bars) {
        out += std::string(21, ' ');
      }
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
    out += "highest RMS: the plug-in's highest published reading, "
           "which moves in steps of more than 0.2 dB\n";
    return file.loudness ? out + loudness_table(*file.loudness) : out;
  }

private:
  // The file's loudness, and its channels' true peaks below.
  static std::string loudness_table(const LoudnessResult& loudness)
  {
    std::string out = printf_text("\n%-14s  %17s  %10s  %20s  %21s  %16s\n",
                                  "loudness",
                                  "integrated (LUFS)",
                                  "range (LU)",
                                  "max momentary (LUFS)",
                                  "max short-term (LUFS)",
                                  "true peak (dBTP)");
    out += printf_text("%-14s  %17s  %10s  %20s  %21s  %16s\n",
                       "file",
                       level_text(loudness.integrated_lufs, 1, "-").c_str(),
                       level_text(loudness.range_lu, 1, "-").c_str(),
                       level_text(loudness.max_momentary_lufs, 1, "-").c_str(),
                       level_text(loudness.max_short_term_lufs, 1, "-").c_str(),
                       level_text(loudness.true_peak_dbtp, 1, "-").c_str());
    const auto& peaks = loudness.channel_true_peak_dbtp;
    for (size_t c = 0; peaks.size() > 1 && c < peaks.size(); ++c) {
      out += printf_text("%-14s  %92s\n",
                         ("channel " + std::to_string(c + 1)).c_str(),
                         level_text(peaks[c], 1, "-").c_str());
    }
    return out;
  }

  FormatSettings settings_;
};

} // namespace

std::unique_ptr<Format> make_text_format(const FormatSettings& settings)
{
  return std::make_unique<TextFormat>(settings);
}
