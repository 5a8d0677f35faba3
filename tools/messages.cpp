// SPDX-License-Identifier: ISC
#include "messages.h"

#include "text.h"

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

LimitVerdict check_limit(const FileResult& file, double limit_dbfs)
{
  LimitVerdict verdict;
  for (size_t c = 0; c < file.channels.size(); ++c) {
    const SampleStats& s = file.channels[c].samples;
    const double db = to_dbfs(s.peak);
    if (db > limit_dbfs) {
      verdict.above = true;
      verdict.line =
        file.stream.description +
        printf_text(": peak %.2f dBFS on channel %zu at %.6f s is above "
                    "--fail-above %g",
                    db,
                    c + 1,
                    static_cast<double>(s.peak_frame) / file.stream.rate,
                    limit_dbfs);
      return verdict;
    }
    if (s.nonfinite > 0) verdict.above = true;
  }
  return verdict;
}
