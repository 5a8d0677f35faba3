// SPDX-License-Identifier: ISC
// Meters every file of the command line, several at once, and reports
// each in the order given.
#ifndef TOLVANIC_TOOLS_BATCH_H
#define TOLVANIC_TOOLS_BATCH_H

#include "options.h"
#include "plugin_host.h"

// Exit statuses beside 0 (success) and 2 (a bad command line).
constexpr int STATUS_ERROR = 1;       // a file or the output failed
constexpr int STATUS_ABOVE_LIMIT = 3; // --fail-above: a peak above it, or
                                      // a non-finite sample

// Returns the exit status. With no file, meters the demonstration signal.
// Writes to standard output and error; SIGPIPE must be ignored, so that a
// closed output is a write error like any other.
int meter_files(const Options& options,
                const PluginHost& host,
                const char* program);

#endif
