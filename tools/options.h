// SPDX-License-Identifier: ISC
// Command-line options of tolvanic-meter.
#ifndef TOLVANIC_TOOLS_OPTIONS_H
#define TOLVANIC_TOOLS_OPTIONS_H

#include "limits.h"

#include <cstdint>
#include <string>
#include <vector>

// Frames per plug-in run unless --block-size says otherwise.
constexpr uint32_t DEFAULT_BLOCK_SIZE = 256;

struct Options {
  std::vector<std::string> files; // none: the built-in demonstration signal
  uint32_t block_size = DEFAULT_BLOCK_SIZE;
  double interval = 0.1; // seconds between timeline rows
  std::vector<double> reset_times;
  bool summary_only = false;
  bool csv = false;
  bool json = false;
  std::string plot_file;
  unsigned jobs = 0; // 0: as many as the machine has CPUs
  bool loudness = false;
  bool dual_mono = false; // a one-channel file counts twice
  Limits limits;          // the --fail-* options
  bool help = false;
  bool version = false;
};

// Parses argv; throws std::invalid_argument with a one-line message on a
// bad option or value, or options that do not go together.
Options parse_options(int argc, char** argv);

void print_help(const char* program);

#endif
