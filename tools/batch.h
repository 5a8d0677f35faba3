// SPDX-License-Identifier: ISC
// Meters every file of the command line, several at once, and reports
// each in the order given.
#ifndef TOLVANIC_TOOLS_BATCH_H
#define TOLVANIC_TOOLS_BATCH_H

#include "audio_source.h"
#include "options.h"
#include "plugin_host.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

// Exit statuses beside 0 (success) and 2 (a bad command line).
constexpr int STATUS_ERROR = 1;        // a file or the output failed
constexpr int STATUS_LIMIT_BROKEN = 3; // a file broke a --fail-* limit

// Where the batch's files come from and its words go.
struct BatchIo {
  using Opener =
    std::function<std::unique_ptr<AudioSource>(const std::string& path)>;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  // Opens a path of the command line; throws std::runtime_error with a
  // one-line message.
  Opener open;
};

// Returns the exit status. With no file, meters the demonstration signal.
// A closed output must be a write error like any other: SIGPIPE must be
// ignored.
int meter_files(const Options& options,
                const PluginHost& host,
                const char* program,
                const BatchIo& io);

#endif
