// SPDX-License-Identifier: ISC
// What tolvanic-meter says on standard error about a file: what the
// plug-in cannot show or the file does not say, and the --fail-above
// verdict. Lines without the program's name.
#ifndef TOLVANIC_TOOLS_MESSAGES_H
#define TOLVANIC_TOOLS_MESSAGES_H

#include "results.h"

#include <string>
#include <vector>

// One sentence each, without the file's name (the JSON document holds
// them so).
std::vector<std::string> warnings(const FileResult& file);

// The warnings as lines for standard error, each after the file's name.
std::vector<std::string> warning_lines(const FileResult& file);

// A source that ended before its first frame.
std::string no_audio_line(const FileResult& file);

// --fail-above: whether a sample peak lies above `limit_dbfs`, or a sample
// has no level at all; `line` names the first such peak, if any.
struct LimitVerdict {
  bool above = false;
  std::string line;
};
LimitVerdict check_limit(const FileResult& file, double limit_dbfs);

#endif
