// SPDX-License-Identifier: ISC
// What the three forms of output share: the pieces their lines are made
// of, and how each form is made.
#ifndef TOLVANIC_TOOLS_FORMAT_PARTS_H
#define TOLVANIC_TOOLS_FORMAT_PARTS_H

#include "format.h"

#include <memory>
#include <optional>
#include <string>

// dBFS of a linear amplitude with `decimals` decimals, or -inf, in a field
// of `width`.
std::string db_text(double amplitude, int width, int decimals);
// dBFS for JSON: null for -infinity.
std::string db_json(double amplitude);
// A value already in LUFS, LU or dBTP: "-inf" for silence, `none` when not
// measured.
std::string level_text(std::optional<double> level,
                       int decimals,
                       const char* none);
// For JSON: null for both.
std::string level_json(std::optional<double> level);
// The time of the highest peak, or `none` for silence.
std::string peak_time(const ChannelResult& c, double rate, const char* none);
// A text row's bar from -60 to 0 dBFS.
std::string bar(const MeterReadings& r);

std::unique_ptr<Format> make_text_format(const FormatSettings& settings);
std::unique_ptr<Format> make_csv_format(const FormatSettings& settings);
std::unique_ptr<Format> make_json_format(const FormatSettings& settings);

#endif
