// SPDX-License-Identifier: ISC
// The limits a file must keep for the command to end with status 0: the
// --fail-above, --fail-loudness and --fail-true-peak options.
#ifndef TOLVANIC_TOOLS_LIMITS_H
#define TOLVANIC_TOOLS_LIMITS_H

#include <optional>

struct LoudnessLimit {
  double target_lufs = 0.0;
  double tolerance_lu = 0.0;
};

struct Limits {
  std::optional<double> peak_dbfs;       // sample peak; no non-finite sample
  std::optional<LoudnessLimit> loudness; // integrated, measured
  std::optional<double> true_peak_dbtp;  // every channel's
};

#endif
