// SPDX-License-Identifier: ISC
#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <stdexcept>

namespace {

// The largest block we accept: one second at 1 MHz is far beyond any host.
constexpr unsigned long MAX_BLOCK_SIZE = 1UL << 20;
// Rows closer than this are finer than any block a host uses.
constexpr double MIN_INTERVAL = 0.001;
// Far more threads than any machine this runs on has CPUs.
constexpr unsigned long MAX_JOBS = 1024;

std::string describe(const char* option, const char* value)
{
  return std::string("invalid value '") + value + "' for " + option;
}

double parse_seconds(const char* option, const char* value, double minimum)
{
  errno = 0;
  char* end = nullptr;
  const double seconds = std::strtod(value, &end);
  if (end == value || *end != '\0' || errno != 0 || !std::isfinite(seconds) ||
      seconds < minimum) {
    char bound[32];
    std::snprintf(bound, sizeof bound, "%g", minimum);
    throw std::invalid_argument(describe(option, value) +
                                ": expected seconds >= " + bound);
  }
  return seconds;
}

// A whole number from 1 to `maximum`.
unsigned long parse_count(const char* option,
                          const char* value,
                          unsigned long maximum,
                          const char* unit)
{
  errno = 0;
  char* end = nullptr;
  const unsigned long count = std::strtoul(value, &end, 10);
  if (end == value || *end != '\0' || errno != 0 || value[0] == '-' ||
      count == 0 || count > maximum) {
    throw std::invalid_argument(describe(option, value) + ": expected " + unit +
                                " from 1 to " + std::to_string(maximum));
  }
  return count;
}

double parse_dbfs(const char* value)
{
  errno = 0;
  char* end = nullptr;
  const double dbfs = std::strtod(value, &end);
  if (end == value || *end != '\0' || errno != 0 || !std::isfinite(dbfs)) {
    throw std::invalid_argument(describe("--fail-above", value) +
                                ": expected dBFS, such as -1 or 0");
  }
  return dbfs;
}

} // namespace

Options parse_options(int argc, char** argv)
{
  static const option long_options[] = {
    { "block-size", required_argument, nullptr, 'b' },
    { "interval", required_argument, nullptr, 'i' },
    { "reset-at", required_argument, nullptr, 'r' },
    { "summary", no_argument, nullptr, 's' },
    { "csv", no_argument, nullptr, 'c' },
    { "plot", required_argument, nullptr, 'p' },
    { "jobs", required_argument, nullptr, 'j' },
    { "json", no_argument, nullptr, 'J' },
    { "fail-above", required_argument, nullptr, 'F' },
    { "help", no_argument, nullptr, 'h' },
    { "version", no_argument, nullptr, 'V' },
    { nullptr, 0, nullptr, 0 },
  };
  Options options;
  opterr = 0; // our own one-line messages instead of getopt's
  optind = 1;
  int code = 0;
  while ((code = getopt_long(
            argc, argv, ":b:i:r:scp:j:h", long_options, nullptr)) != -1) {
    switch (code) {
      case 'b':
        options.block_size = static_cast<uint32_t>(
          parse_count("--block-size", optarg, MAX_BLOCK_SIZE, "frames"));
        break;
      case 'i':
        options.interval = parse_seconds("--interval", optarg, MIN_INTERVAL);
        break;
      case 'r':
        options.reset_times.push_back(parse_seconds("--reset-at", optarg, 0.0));
        break;
      case 's': options.summary_only = true; break;
      case 'c': options.csv = true; break;
      case 'p':
        if (*optarg == '\0') throw std::invalid_argument("empty --plot file");
        options.plot_file = optarg;
        break;
      case 'j':
        options.jobs = static_cast<unsigned>(
          parse_count("--jobs", optarg, MAX_JOBS, "jobs"));
        break;
      case 'J': options.json = true; break;
      case 'F':
        options.fail_above_set = true;
        options.fail_above = parse_dbfs(optarg);
        break;
      case 'h': options.help = true; break;
      case 'V': options.version = true; break;
      case ':':
        throw std::invalid_argument(std::string("option ") + argv[optind - 1] +
                                    " needs a value");
      default:
        throw std::invalid_argument(std::string("unknown option ") +
                                    argv[optind - 1]);
    }
  }
  options.files.assign(argv + optind, argv + argc);
  if (options.json && options.csv) {
    throw std::invalid_argument("--json and --csv do not go together");
  }
  if (!options.plot_file.empty() && options.files.size() > 1) {
    throw std::invalid_argument("--plot draws one file, not " +
                                std::to_string(options.files.size()));
  }
  return options;
}

void print_help(const char* program)
{
  std::printf(
    "Usage: %s [OPTION]... [FILE]...\n"
    "Meter audio files with the tolvanic LV2 plug-in: one plug-in instance\n"
    "per channel, fed block by block. Prints, per file, a timeline of the\n"
    "three readings (level, peak hold, RMS) in dBFS, then a summary per\n"
    "channel. With no FILE, meters a built-in demonstration signal: a 1 kHz\n"
    "tone at -6 dBFS, a silence in which the level falls by 15 dB/s and the\n"
    "peak hold stays, a quieter burst at -20 dBFS, and a reset of the peak\n"
    "hold during it.\n"
    "\n"
    "FILE is anything libsndfile reads (WAV, FLAC, AIFF, Ogg, ...); - is\n"
    "standard input, in any of those formats: a pipe is read as it comes,\n"
    "or, when its format cannot be read front to back, first copied to a\n"
    "temporary file in TMPDIR (or /tmp). Files are reported in the order\n"
    "given, whatever --jobs.\n"
    "\n"
    "  -b, --block-size N    frames per plug-in run (default 256)\n"
    "  -i, --interval SECS   time between timeline rows (default 0.1)\n"
    "  -r, --reset-at SECS   raise the reset control for the one block that\n"
    "                        holds this time; may be given more than once\n"
    "  -s, --summary         print the summary only; shows progress on stderr\n"
    "                        when stderr is a terminal and there is one file\n"
    "  -c, --csv             machine-readable output: timeline rows\n"
    "                        time_s,channel,level,peak,rms,level_dbfs,"
    "peak_dbfs,rms_dbfs\n"
    "                        (linear values, 1.0 is full scale; -inf on "
    "silence),\n"
    "                        or with --summary one row per channel; with\n"
    "                        several files, each row starts with the file\n"
    "      --json            the summary of every file as one JSON document\n"
    "  -p, --plot FILE.png   draw the readings over time, one panel per\n"
    "                        channel, a point per timeline row (needs "
    "gnuplot;\n"
    "                        one file only)\n"
    "  -j, --jobs N          meter files, and the channels of a file, on N\n"
    "                        threads (default: one per CPU)\n"
    "      --fail-above DBFS exit with status 3 when a file has a sample peak\n"
    "                        above DBFS, or a non-finite sample\n"
    "  -h, --help            show this help\n"
    "      --version         show the version\n"
    "\n"
    "A row shows the readings after the block that reaches its time, so its\n"
    "time is that block's end; the last row is at the end of the file. When\n"
    "stdout is a terminal each row has a bar from -60 to 0 dBFS: '#' up to\n"
    "the RMS, '=' up to the level, '|' at the peak hold.\n"
    "\n"
    "The summary's highest peak, its time (of the sample itself), the\n"
    "whole-file RMS and the counts of clipped (at or above full scale) and\n"
    "non-finite samples come from every sample of the file; the final peak\n"
    "hold and the highest RMS are the plug-in's readings. The plug-in\n"
    "publishes the RMS only when it moves by more than 0.2 dB, so the\n"
    "highest RMS is up to 0.2 dB below the highest the RMS reached, and it\n"
    "reads 0 for a block holding an infinite sample: a warning says so.\n"
    "\n"
    "The plug-in is looked up through lilv by its URI, on LV2_PATH (or "
    "lilv's\n"
    "default path when LV2_PATH is unset), then in the build tree's and the\n"
    "install's bundle folders.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file or the output failed (the\n"
    "other files are still metered; a closed output, such as a pipe into\n"
    "head, is a failed output), 2 on a bad command line, 3 when\n"
    "--fail-above found a peak above its limit or a non-finite sample (and\n"
    "nothing failed).\n",
    program);
}
