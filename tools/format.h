// SPDX-License-Identifier: ISC
// What tolvanic-meter prints on standard output for each file, in one of
// three forms: text (a timeline, with bars on a terminal, and a summary
// table), CSV (timeline rows, or summary rows) or one JSON document of
// summaries. Every piece is formatted into a string, which the caller
// writes in the order the files were given.
#ifndef TOLVANIC_TOOLS_FORMAT_H
#define TOLVANIC_TOOLS_FORMAT_H

#include "results.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FormatSettings {
  bool csv = false;
  bool json = false;
  bool summary_only = false;
  bool bars = false;     // text timeline rows get a bar (stdout is a terminal)
  bool several = false;  // more than one file: CSV rows name theirs
  bool loudness = false; // rows and summaries carry loudness
  uint32_t block_size = 0;
};

class Format {
public:
  virtual ~Format() = default;
  // Before the first file and after the last.
  virtual std::string document_start() const { return {}; }
  virtual std::string document_end() const { return {}; }
  // Whether the form has timeline rows at all.
  virtual bool timeline() const = 0;
  // Before the rows of the file given `index`th.
  virtual std::string file_start(size_t index, const StreamInfo& stream) const;
  // Appends the timeline rows at `seconds`, one per channel; `loudness`
  // is null unless it is measured.
  virtual void row(std::string& out,
                   const StreamInfo& stream,
                   double seconds,
                   const std::vector<MeterReadings>& channels,
                   const RowLoudness* loudness) const;
  // After the rows: the file's summary.
  virtual std::string file_end(size_t index, const FileResult& file) const = 0;
  // In place of a summary, for a file that could not be metered.
  virtual std::string file_error(size_t index,
                                 const std::string& path,
                                 const std::string& message) const;
};

std::unique_ptr<Format> make_format(const FormatSettings& settings);

#endif
