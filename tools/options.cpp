// SPDX-License-Identifier: ISC
#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <stdexcept>

namespace {

// The largest block we accept: one second at 1 MHz is far beyond any host.
constexpr unsigned long MAX_BLOCK_SIZE = 1UL << 20;
// Rows closer than this are finer than any block a host uses.
constexpr double MIN_INTERVAL = 0.001;
// Far more threads than any machine this runs on has CPUs.
constexpr unsigned long MAX_JOBS = 1024;

// Codes of the long options that have no short form.
enum : int {
  JSON = 256,
  FAIL_ABOVE,
  LOUDNESS,
  DUAL_MONO,
  FAIL_LOUDNESS,
  FAIL_TRUE_PEAK,
  VERSION,
};

std::string describe(const char* option, const char* value)
{
  return std::string("invalid value '") + value + "' for " + option;
}

// A finite number that fills `text` up to `end` (or to its end when `end`
// is null); false when it does not.
bool number(const char* text, const char* end, double& value)
{
  errno = 0;
  char* stop = nullptr;
  value = std::strtod(text, &stop);
  return stop != text && (end ? stop == end : *stop == '\0') && errno == 0 &&
         std::isfinite(value);
}

double parse_seconds(const char* option, const char* value, double minimum)
{
  double seconds = 0.0;
  if (!number(value, nullptr, seconds) || seconds < minimum) {
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

// A level in dB, such as -1 or 0.
double parse_level(const char* option, const char* value, const char* unit)
{
  double level = 0.0;
  if (!number(value, nullptr, level)) {
    throw std::invalid_argument(describe(option, value) + ": expected " + unit +
                                ", such as -1 or 0");
  }
  return level;
}

// TARGET,TOLERANCE: -23,0.5
LoudnessLimit parse_loudness_limit(const char* value)
{
  LoudnessLimit limit;
  const char* comma = std::strchr(value, ',');
  if (!comma || !number(value, comma, limit.target_lufs) ||
      !number(comma + 1, nullptr, limit.tolerance_lu) ||
      limit.tolerance_lu < 0.0) {
    throw std::invalid_argument(
      describe("--fail-loudness", value) +
      ": expected TARGET,TOLERANCE in LUFS and LU, such as -23,0.5");
  }
  return limit;
}

void apply(Options& options, int code, const char* value)
{
  switch (code) {
    case 'b':
      options.block_size = static_cast<uint32_t>(
        parse_count("--block-size", value, MAX_BLOCK_SIZE, "frames"));
      break;
    case 'i':
      options.interval = parse_seconds("--interval", value, MIN_INTERVAL);
      break;
    case 'r':
      options.reset_times.push_back(parse_seconds("--reset-at", value, 0.0));
      break;
    case 's': options.summary_only = true; break;
    case 'c': options.csv = true; break;
    case 'p':
      if (*value == '\0') throw std::invalid_argument("empty --plot file");
      options.plot_file = value;
      break;
    case 'j':
      options.jobs =
        static_cast<unsigned>(parse_count("--jobs", value, MAX_JOBS, "jobs"));
      break;
    case JSON: options.json = true; break;
    case FAIL_ABOVE:
      options.limits.peak_dbfs = parse_level("--fail-above", value, "dBFS");
      break;
    case LOUDNESS: options.loudness = true; break;
    case DUAL_MONO: options.dual_mono = true; break;
    case FAIL_LOUDNESS:
      options.limits.loudness = parse_loudness_limit(value);
      break;
    case FAIL_TRUE_PEAK:
      options.limits.true_peak_dbtp =
        parse_level("--fail-true-peak", value, "dBTP");
      break;
    case 'h': options.help = true; break;
    case VERSION: options.version = true; break;
  }
}

void check_together(const Options& options)
{
  if (options.json && options.csv) {
    throw std::invalid_argument("--json and --csv do not go together");
  }
  if (!options.plot_file.empty() && options.files.size() > 1) {
    throw std::invalid_argument("--plot draws one file, not " +
                                std::to_string(options.files.size()));
  }
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
    { "json", no_argument, nullptr, JSON },
    { "fail-above", required_argument, nullptr, FAIL_ABOVE },
    { "loudness", no_argument, nullptr, LOUDNESS },
    { "dual-mono", no_argument, nullptr, DUAL_MONO },
    { "fail-loudness", required_argument, nullptr, FAIL_LOUDNESS },
    { "fail-true-peak", required_argument, nullptr, FAIL_TRUE_PEAK },
    { "help", no_argument, nullptr, 'h' },
    { "version", no_argument, nullptr, VERSION },
    { nullptr, 0, nullptr, 0 },
  };
  Options options;
  opterr = 0; // our own one-line messages instead of getopt's
  optind = 1;
  int code = 0;
  while ((code = getopt_long(
            argc, argv, ":b:i:r:scp:j:h", long_options, nullptr)) != -1) {
    if (code == ':') {
      throw std::invalid_argument(std::string("option ") + argv[optind - 1] +
                                  " needs a value");
    }
    if (code == '?') {
      throw std::invalid_argument(std::string("unknown option ") +
                                  argv[optind - 1]);
    }
    apply(options, code, optarg);
  }
  options.files.assign(argv + optind, argv + argc);
  // The limits on loudness measure it.
  options.loudness = options.loudness || options.limits.loudness ||
                     options.limits.true_peak_dbtp;
  check_together(options);
  return options;
}

namespace {

constexpr const char* ABOUT =
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
  "given, whatever --jobs.\n";

constexpr const char* OPTIONS =
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
  "                        several files, each row starts with the file;\n"
  "                        --loudness adds its columns at the end\n"
  "      --json            the summary of every file as one JSON document\n"
  "  -p, --plot FILE.png   draw the readings over time, one panel per\n"
  "                        channel, a point per timeline row (needs "
  "gnuplot;\n"
  "                        one file only)\n"
  "  -j, --jobs N          meter files, and the channels of a file, on N\n"
  "                        threads (default: one per CPU)\n"
  "      --loudness        also measure loudness (ITU-R BS.1770-4, EBU "
  "R128):\n"
  "                        integrated (LUFS), range (LU), the highest\n"
  "                        momentary and short-term (LUFS) and the true\n"
  "                        peak (dBTP); timeline rows gain momentary and\n"
  "                        short-term loudness, the plot a panel\n"
  "      --dual-mono       count a one-channel file twice, as heard on two\n"
  "                        speakers (+3 LU), as broadcast practice does\n"
  "      --fail-above DBFS exit with status 3 when a file has a sample peak\n"
  "                        above DBFS, or a non-finite sample\n"
  "      --fail-loudness TARGET,TOLERANCE\n"
  "                        exit with status 3 when a file's integrated\n"
  "                        loudness lies outside TARGET +- TOLERANCE LU, or\n"
  "                        cannot be measured (implies --loudness)\n"
  "      --fail-true-peak DBTP\n"
  "                        exit with status 3 when a channel's true peak\n"
  "                        lies above DBTP (implies --loudness)\n"
  "  -h, --help            show this help\n"
  "      --version         show the version\n";

constexpr const char* READINGS =
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
  "Loudness weighs the channels by their places, from the file's channel\n"
  "map where it has one: left, right and centre 1, surround 1.41, LFE 0.\n"
  "Without one: 1 channel counts once (twice with --dual-mono); 2 are L R;\n"
  "5 are L R C Ls Rs; 6 are L R C LFE Ls Rs; others count 1 each, with a\n"
  "warning. Momentary and short-term loudness are evaluated every 10 ms;\n"
  "loudness below -120 LUFS reads as silence (-inf). The integrated\n"
  "loudness of a file with no 400 ms block above -70 LUFS, and the range\n"
  "of one with no 3 s window above it, cannot be measured (null in JSON).\n";

constexpr const char* PLACES_AND_STATUS =
  "The plug-in is looked up through lilv by its URI, on LV2_PATH (or "
  "lilv's\n"
  "default path when LV2_PATH is unset), then in the build tree's and the\n"
  "install's bundle folders.\n"
  "\n"
  "Exit status: 0 on success, 1 when a file or the output failed (the\n"
  "other files are still metered; a closed output, such as a pipe into\n"
  "head, is a failed output), 2 on a bad command line, 3 when a --fail-*\n"
  "limit was not met (and nothing failed).\n";

} // namespace

void print_help(const char* program)
{
  std::printf("Usage: %s [OPTION]... [FILE]...\n", program);
  for (const char* section : { ABOUT, OPTIONS, READINGS, PLACES_AND_STATUS })
    std::printf("%s%s", section == ABOUT ? "" : "\n", section);
}
