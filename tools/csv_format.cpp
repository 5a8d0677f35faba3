// SPDX-License-Identifier: ISC
#include "format_parts.h"

#include "messages.h"
#include "text.h"

#include <cmath>

namespace {

class CsvFormat final : public Format {
public:
  explicit CsvFormat(const FormatSettings& settings)
    : settings_(settings)
  {}

  bool timeline() const override { return !settings_.summary_only; }

  std::string document_start() const override
  {
    const std::string file = settings_.several ? "file," : "";
    if (settings_.summary_only) {
      return file +
             "channel,highest_peak,highest_peak_time_s,final_peak_hold,"
             "highest_rms,rms,clipped_samples,nonfinite_samples" +
             (settings_.loudness ? ",integrated_lufs,range_lu,"
                                   "max_momentary_lufs,max_short_term_lufs,"
                                   "true_peak_dbtp\n"
                                 : "\n");
    }
    return file +
           "time_s,channel,level,peak,rms,level_dbfs,peak_dbfs,rms_dbfs" +
           (settings_.loudness ? ",momentary_lufs,short_term_lufs\n" : "\n");
  }

  void row(std::string& out,
           const StreamInfo& stream,
           double seconds,
           const std::vector<MeterReadings>& channels,
           const RowLoudness* loudness) const override
  {
    const std::string loud =
      loudness ? "," + level_text(loudness->momentary_lufs, 4, "") + "," +
                   level_text(loudness->short_term_lufs, 4, "")
               : std::string();
    const std::string prefix = file_column(stream.path);
    for (size_t c = 0; c < channels.size(); ++c) {
      const auto level = static_cast<double>(channels[c].level);
      const auto peak = static_cast<double>(channels[c].peak);
      const auto rms = static_cast<double>(channels[c].rms);
      out += prefix;
      out += printf_text(
        "%.6f,%zu,%.9g,%.9g,%.9g,", seconds, c + 1, level, peak, rms);
      out += db_text(level, 0, 4) + "," + db_text(peak, 0, 4) + "," +
             db_text(rms, 0, 4) + loud + "\n";
    }
  }

  std::string file_end(size_t, const FileResult& file) const override
  {
    if (!settings_.summary_only) return {};
    std::string out;
    for (size_t c = 0; c < file.channels.size(); ++c) {
      const ChannelResult& r = file.channels[c];
      out += file_column(file.stream.path);
      out += printf_text("%zu,%.9g,%s,%.9g,%.9g,%.9g,%lld,%lld",
                         c + 1,
                         static_cast<double>(r.samples.peak),
                         peak_time(r, file.stream.rate, "").c_str(),
                         static_cast<double>(r.final_peak_hold),
                         static_cast<double>(r.highest_rms),
                         r.samples.rms(),
                         static_cast<long long>(r.samples.clipped),
                         static_cast<long long>(r.samples.nonfinite));
      out += file.loudness ? loudness_fields(*file.loudness, c) + "\n" : "\n";
    }
    return out;
  }

private:
  // The file's loudness on every channel's row, beside that channel's true
  // peak; empty where it is not measured.
  static std::string loudness_fields(const LoudnessResult& loudness, size_t c)
  {
    const std::vector<double>& peaks = loudness.channel_true_peak_dbtp;
    return "," + level_text(loudness.integrated_lufs, 4, "") + "," +
           level_text(loudness.range_lu, 4, "") + "," +
           level_text(loudness.max_momentary_lufs, 4, "") + "," +
           level_text(loudness.max_short_term_lufs, 4, "") + "," +
           level_text(
             c < peaks.size() ? peaks[c] : loudness.true_peak_dbtp, 4, "");
  }

  std::string file_column(const std::string& path) const
  {
    return settings_.several ? csv_field(path) + "," : std::string();
  }

  FormatSettings settings_;
};

} // namespace

std::unique_ptr<Format> make_csv_format(const FormatSettings& settings)
{
  return std::make_unique<CsvFormat>(settings);
}
