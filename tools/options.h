// SPDX-License-Identifier: ISC
// Command-line options of tolvanic-meter.
#ifndef TOLVANIC_TOOLS_OPTIONS_H
#define TOLVANIC_TOOLS_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

struct Options {
  std::string file; // empty: the built-in demonstration signal
  uint32_t block_size = 256;
  double interval = 0.1; // seconds between timeline rows
  std::vector<double> reset_times;
  bool summary_only = false;
  bool csv = false;
  std::string plot_file;
  bool help = false;
};

// Parses argv; throws std::invalid_argument with a one-line message on a
// bad option or value.
Options parse_options(int argc, char** argv);

void print_help(const char* program);

#endif
