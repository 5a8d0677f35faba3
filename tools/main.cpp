// SPDX-License-Identifier: ISC
// tolvanic-meter: meters audio files (or a demonstration signal) with the
// tolvanic LV2 plug-in, one instance per channel, and prints the readings.
#include "batch.h"
#include "options.h"
#include "output_streams.h"
#include "plugin_host.h"
#include "sources.h"

#include <csignal>
#include <cstdio>
#include <stdexcept>

#ifndef TOLVANIC_FALLBACK_DIRS
#error "TOLVANIC_FALLBACK_DIRS must list the build and install bundle folders"
#endif
#ifndef TOLVANIC_VERSION
#error "TOLVANIC_VERSION must name the project's version"
#endif

namespace {

constexpr const char* PROGRAM = "tolvanic-meter";
constexpr int STATUS_USAGE = 2;

} // namespace

int main(int argc, char** argv)
{
  Options options;
  try {
    options = parse_options(argc, argv);
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "%s: %s (try --help)\n", PROGRAM, error.what());
    return STATUS_USAGE;
  }
  if (options.help || options.version) {
    if (options.help) {
      print_help(PROGRAM);
    } else {
      std::printf("%s %s\n", PROGRAM, TOLVANIC_VERSION);
    }
    if (std::fflush(stdout) != 0) {
      std::perror(PROGRAM);
      return STATUS_ERROR;
    }
    return 0;
  }
  // A closed output (a pipe into `head`, a gnuplot that died) is a write
  // error, reported in one line with status 1, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  BatchIo io;
  const OutputStreams streams = claim_output_streams();
  io.out = streams.out;
  io.err = streams.err;
  io.open = open_sound_file;
  try {
    const PluginHost host(std::vector<std::string>{ TOLVANIC_FALLBACK_DIRS });
    return meter_files(options, host, PROGRAM, io);
  } catch (const std::exception& error) {
    std::fprintf(io.err, "%s: %s\n", PROGRAM, error.what());
    return STATUS_ERROR;
  }
}
