// SPDX-License-Identifier: ISC
#include "format_parts.h"

#include "messages.h"
#include "text.h"

#include <cmath>

namespace {

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
    out += "],\n";
    if (file.loudness) out += loudness_object(*file.loudness);
    out += "      \"per_channel\": [";
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
                    "\"nonfinite_samples\": %lld, \"clipped_samples\": %lld",
                    db_json(static_cast<double>(r.highest_rms)).c_str(),
                    db_json(r.samples.rms()).c_str(),
                    static_cast<long long>(r.samples.nonfinite),
                    static_cast<long long>(r.samples.clipped));
      if (file.loudness && c < file.loudness->channel_true_peak_dbtp.size()) {
        out += ", \"true_peak_dbtp\": " +
               level_json(file.loudness->channel_true_peak_dbtp[c]);
      }
      out += "}";
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
  static std::string loudness_object(const LoudnessResult& loudness)
  {
    return "      \"loudness\": {\"integrated_lufs\": " +
           level_json(loudness.integrated_lufs) +
           ", \"range_lu\": " + level_json(loudness.range_lu) +
           ", \"max_momentary_lufs\": " +
           level_json(loudness.max_momentary_lufs) +
           ", \"max_short_term_lufs\": " +
           level_json(loudness.max_short_term_lufs) +
           ", \"true_peak_dbtp\": " + level_json(loudness.true_peak_dbtp) +
           "},\n";
  }

  // The demo has no path: its description stands in.
  static const std::string& path_of(const StreamInfo& stream)
  {
    return stream.path.empty() ? stream.description : stream.path;
  }

  FormatSettings settings_;
};

} // namespace

std::unique_ptr<Format> make_json_format(const FormatSettings& settings)
{
  return std::make_unique<JsonFormat>(settings);
}
