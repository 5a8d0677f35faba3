// SPDX-License-Identifier: ISC
// What tolvanic-meter prints: the timeline rows (text, with bars on a
// terminal, or CSV), the summary per channel (text, CSV or JSON) and a
// progress indicator. Everything but the progress is formatted into
// strings, which the caller writes in the order the files were given.
#ifndef TOLVANIC_TOOLS_REPORT_H
#define TOLVANIC_TOOLS_REPORT_H

#include "file_meter.h"
#include "plugin_host.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A linear amplitude in dBFS; 0 gives -infinity.
double to_dbfs(double amplitude);
inline double to_dbfs(float amplitude)
{
  return to_dbfs(static_cast<double>(amplitude));
}

// A field for a CSV line, quoted when it must be.
std::string csv_field(const std::string& text);

class Timeline {
public:
  // `csv_prefix` starts every CSV row (the file's column, when there are
  // several files).
  Timeline(bool csv, bool bars, std::string csv_prefix);
  static std::string csv_header(bool file_column);
  std::string header(int channels) const; // text only
  void row(std::string& out,
           double seconds,
           const std::vector<Readings>& channels) const;

private:
  bool csv_;
  bool bars_;
  std::string csv_prefix_;
};

// Everything the summary shows of one metered file.
struct FileReport {
  std::string path; // as given on the command line
  double rate = 0.0;
  int64_t frames = 0;
  std::vector<ChannelResult> channels;
  std::vector<std::string> warnings;
};

std::string summary_text(const FileReport& file);
std::string summary_csv_header(bool file_column);
std::string summary_csv(const FileReport& file, const std::string& prefix);

// One element of the JSON document's "files" array.
std::string json_file(const FileReport& file);
std::string json_error(const std::string& path, const std::string& message);
std::string json_document_start(uint32_t block_size);
std::string json_document_end();

// A percentage (or the seconds done, when the length is unknown) rewritten
// in place on a terminal.
class Progress {
public:
  Progress(std::FILE* out, int64_t total_frames, double rate);
  void update(int64_t frames_done);
  void finish();

private:
  std::FILE* out_;
  int64_t total_;
  double rate_;
  int64_t last_shown_ = -1;
};

#endif
