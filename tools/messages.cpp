// SPDX-License-Identifier: ISC
#include "messages.h"

#include "text.h"

#include <cmath>

namespace {

std::string seconds_text(int64_t frames, double rate)
{
  return printf_text("%.6f s", static_cast<double>(frames) / rate);
}

} // namespace

std::vector<std::string> warnings(const FileResult& file)
{
  std::vector<std::string> found;
  const double rate = file.stream.rate;
  const int64_t declared = file.header_frames;
  if (declared > file.frames) {
    found.push_back("ends after " + std::to_string(file.frames) + " frames (" +
                    seconds_text(file.frames, rate) +
                    ") where its header declares " + std::to_string(declared) +
                    " (" + seconds_text(declared, rate) + "): it is cut short");
  } else if (!file.end_note.empty()) {
    found.push_back("its data ends in the middle of what was being decoded (" +
                    file.end_note + "): it is probably cut short");
  }
  int64_t count = 0, first = -1;
  size_t first_channel = 0;
  for (size_t c = 0; c < file.channels.size(); ++c) {
    const SampleStats& s = file.channels[c].samples;
    count += s.nonfinite;
    if (s.nonfinite > 0 && (first < 0 || s.first_nonfinite < first)) {
      first = s.first_nonfinite;
      first_channel = c + 1;
    }
  }
  if (file.loudness && !file.weights_note.empty())
    found.push_back(file.weights_note);
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

std::vector<std::string> warning_lines(const FileResult& file)
{
  std::vector<std::string> lines;
  for (const std::string& warning : warnings(file))
    lines.push_back(file.stream.description + ": " + warning);
  return lines;
}

std::string no_audio_line(const FileResult& file)
{
  const std::string line = file.stream.description + ": holds no audio";
  if (file.header_frames > 0) {
    return line + " where its header declares " +
           std::to_string(file.header_frames) + " frames (" +
           seconds_text(file.header_frames, file.stream.rate) +
           "): it is cut short";
  }
  return file.end_note.empty() ? line : line + " (" + file.end_note + ")";
}

namespace {

// The first channel whose sample peak lies above the limit, if any.
std::string peak_above(const FileResult& file, double limit_dbfs)
{
  for (size_t c = 0; c < file.channels.size(); ++c) {
    const SampleStats& s = file.channels[c].samples;
    const double db = to_dbfs(s.peak);
    if (db > limit_dbfs) {
      return file.stream.description +
             printf_text(": peak %.2f dBFS on channel %zu at %.6f s is above "
                         "--fail-above %g",
                         db,
                         c + 1,
                         static_cast<double>(s.peak_frame) / file.stream.rate,
                         limit_dbfs);
    }
  }
  return {};
}

std::string loudness_outside(const FileResult& file, const LoudnessLimit& limit)
{
  const std::optional<double>& integrated = file.loudness->integrated_lufs;
  const std::string option =
    printf_text("--fail-loudness %g,%g", limit.target_lufs, limit.tolerance_lu);
  if (!integrated) {
    return file.stream.description +
           ": its integrated loudness cannot be measured (no 400 ms block "
           "above "
           "-70 LUFS), which " +
           option + " counts as outside";
  }
  if (std::fabs(*integrated - limit.target_lufs) <= limit.tolerance_lu)
    return {};
  return file.stream.description +
         printf_text(": integrated loudness %.1f LUFS is outside ",
                     *integrated) +
         option;
}

// The first channel whose true peak lies above the limit, if any.
std::string true_peak_above(const FileResult& file, double limit_dbtp)
{
  const std::vector<double>& peaks = file.loudness->channel_true_peak_dbtp;
  for (size_t c = 0; c < peaks.size(); ++c) {
    if (peaks[c] > limit_dbtp) {
      return file.stream.description +
             printf_text(": true peak %.2f dBTP on channel %zu is above "
                         "--fail-true-peak %g",
                         peaks[c],
                         c + 1,
                         limit_dbtp);
    }
  }
  return {};
}

} // namespace

LimitVerdict check_limits(const FileResult& file, const Limits& limits)
{
  LimitVerdict verdict;
  const auto add = [&](const std::string& line) {
    if (line.empty()) return;
    verdict.broken = true;
    verdict.lines.push_back(line);
  };
  if (limits.peak_dbfs) {
    add(peak_above(file, *limits.peak_dbfs));
    for (const ChannelResult& c : file.channels)
      verdict.broken = verdict.broken || c.samples.nonfinite > 0;
  }
  if (file.loudness && limits.loudness)
    add(loudness_outside(file, *limits.loudness));
  if (file.loudness && limits.true_peak_dbtp)
    add(true_peak_above(file, *limits.true_peak_dbtp));
  return verdict;
}
