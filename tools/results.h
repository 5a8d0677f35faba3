// SPDX-License-Identifier: ISC
// What metering a file finds: the plug-in's readings and the command's own
// count of the samples. The output code sees only this, never the plug-in
// host or lilv.
#ifndef TOLVANIC_TOOLS_RESULTS_H
#define TOLVANIC_TOOLS_RESULTS_H

#include "sample_stats.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

// The three readings of one meter, linear amplitudes.
struct MeterReadings {
  float level = 0.0f;
  float peak = 0.0f;
  float rms = 0.0f;
};

// The loudness at a timeline row, in LUFS (-infinity for silence).
struct RowLoudness {
  double momentary_lufs;
  double short_term_lufs;
};

// What is known of a source before it is metered.
struct StreamInfo {
  std::string path;        // as given on the command line; empty: the demo
  std::string description; // how messages name it
  int channels = 0;
  double rate = 0.0;
  int64_t frames = -1; // -1 when unknown (a stream)
};

struct ChannelResult {
  SampleStats samples;
  float final_peak_hold = 0.0f; // the plug-in's readings
  float highest_rms = 0.0f;
};

// A file's loudness per ITU-R BS.1770-4 and EBU Tech 3341/3342: LUFS, LU
// and dBTP. -infinity stands for silence; an empty optional for "not
// measured": no 400 ms block (integrated) or 3 s window (range) of the
// file lies above the gates.
struct LoudnessResult {
  std::optional<double> integrated_lufs;
  std::optional<double> range_lu;
  double max_momentary_lufs = -std::numeric_limits<double>::infinity();
  double max_short_term_lufs = -std::numeric_limits<double>::infinity();
  double true_peak_dbtp = -std::numeric_limits<double>::infinity(); // file's
  std::vector<double> channel_true_peak_dbtp;
};

struct FileResult {
  StreamInfo stream;
  int64_t frames = 0;         // metered
  int64_t header_frames = -1; // declared by the header; -1 when unknown
  std::string end_note;       // the decoder's complaint where the data ran out
  std::vector<ChannelResult> channels;
  std::optional<LoudnessResult> loudness; // with --loudness
  std::string weights_note; // how channels of unknown places were weighted
};

#endif
