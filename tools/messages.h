// SPDX-License-Identifier: ISC
// What tolvanic-meter says on standard error about a file: what the
// plug-in cannot show or the file does not say, and the verdicts on the
// --fail-* limits. Lines without the program's name.
#ifndef TOLVANIC_TOOLS_MESSAGES_H
#define TOLVANIC_TOOLS_MESSAGES_H

#include "limits.h"
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

// Whether the file breaks one of `limits` (the --fail-* options), and a
// line for standard error on each it breaks: a sample peak above
// --fail-above (a non-finite sample breaks it too, and has its warning), an
// integrated loudness outside --fail-loudness or not measured, a true peak
// above --fail-true-peak.
struct LimitVerdict {
  bool broken = false;
  std::vector<std::string> lines;
};
LimitVerdict check_limits(const FileResult& file, const Limits& limits);

#endif
