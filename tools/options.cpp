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

uint32_t parse_block_size(const char* value)
{
  errno = 0;
  char* end = nullptr;
  const unsigned long frames = std::strtoul(value, &end, 10);
  if (end == value || *end != '\0' || errno != 0 || value[0] == '-' ||
      frames == 0 || frames > MAX_BLOCK_SIZE) {
    throw std::invalid_argument(describe("--block-size", value) +
                                ": expected frames from 1 to " +
                                std::to_string(MAX_BLOCK_SIZE));
  }
  return static_cast<uint32_t>(frames);
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
    { "help", no_argument, nullptr, 'h' },
    { nullptr, 0, nullptr, 0 },
  };
  Options options;
  opterr = 0; // our own one-line messages instead of getopt's
  optind = 1;
  int code = 0;
  while ((code = getopt_long(
            argc, argv, ":b:i:r:scp:h", long_options, nullptr)) != -1) {
    switch (code) {
      case 'b': options.block_size = parse_block_size(optarg); break;
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
      case 'h': options.help = true; break;
      case ':':
        throw std::invalid_argument(std::string("option ") + argv[optind - 1] +
                                    " needs a value");
      default:
        throw std::invalid_argument(std::string("unknown option ") +
                                    argv[optind - 1]);
    }
  }
  if (argc - optind > 1) {
    throw std::invalid_argument("more than one file given");
  }
  if (optind < argc) options.file = argv[optind];
  return options;
}

void print_help(const char* program)
{
  std::printf(
    "Usage: %s [OPTION]... [FILE]\n"
    "Meter an audio file with the tolvanic LV2 plug-in: one plug-in instance\n"
    "per channel, fed block by block. Prints a timeline of the three "
    "readings\n"
    "(level, peak hold, RMS) in dBFS, then a summary per channel. With no "
    "FILE,\n"
    "meters a built-in demonstration signal: a 1 kHz tone at -6 dBFS, a\n"
    "silence in which the level falls by 15 dB/s and the peak hold stays, a\n"
    "quieter burst at -20 dBFS, and a reset of the peak hold during it.\n"
    "\n"
    "FILE is anything libsndfile reads (WAV, FLAC, AIFF, Ogg, ...).\n"
    "\n"
    "  -b, --block-size N    frames per plug-in run (default 256)\n"
    "  -i, --interval SECS   time between timeline rows (default 0.1)\n"
    "  -r, --reset-at SECS   raise the reset control for the one block that\n"
    "                        holds this time; may be given more than once\n"
    "  -s, --summary         print the summary only; shows progress on "
    "stderr\n"
    "                        when stderr is a terminal\n"
    "  -c, --csv             machine-readable output: timeline rows\n"
    "                        time_s,channel,level,peak,rms,level_dbfs,"
    "peak_dbfs,rms_dbfs\n"
    "                        (linear values, 1.0 is full scale; -inf on "
    "silence),\n"
    "                        or with --summary one row per channel\n"
    "  -p, --plot FILE.png   draw the readings over time, one panel per\n"
    "                        channel, a point per timeline row (needs "
    "gnuplot)\n"
    "  -h, --help            show this help\n"
    "\n"
    "A row shows the readings after the block that reaches its time, so its\n"
    "time is that block's end. When stdout is a terminal each row has a bar\n"
    "from -60 to 0 dBFS: '#' up to the RMS, '=' up to the level, '|' at the\n"
    "peak hold.\n"
    "\n"
    "The plug-in is looked up through lilv by its URI, on LV2_PATH (or "
    "lilv's\n"
    "default path when LV2_PATH is unset), then in the build tree's and the\n"
    "install's bundle folders.\n"
    "\n"
    "Exit status: 0 on success, 1 on an error, 2 on a bad command line.\n",
    program);
}
