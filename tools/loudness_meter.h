// SPDX-License-Identifier: ISC
// A file's loudness per ITU-R BS.1770-4, EBU Tech 3341 and 3342, from the
// channels' energies per step of 10 ms (see ChannelLoudness): momentary
// (400 ms) and short-term (3 s) loudness at every step, their highest,
// the integrated loudness and the loudness range. Used by one thread.
//
// The windows start as a meter that has run on silence before the file:
// the first momentary values of a tone are lower than its loudness. A
// momentary or short-term value at or below -120 LUFS reads -infinity:
// the filters' state decays through ever smaller values after a loud
// passage that ends in digital silence, and that is silence too.
#ifndef TOLVANIC_TOOLS_LOUDNESS_METER_H
#define TOLVANIC_TOOLS_LOUDNESS_METER_H

#include "loudness_histogram.h"
#include "results.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class LoudnessMeter {
public:
  // One weight per channel, 0 or more: 1 for left, right and centre, 1.41
  // for the surround channels, 0 for an LFE, 2 for a mono file heard on
  // two speakers. Throws std::invalid_argument for a negative or
  // non-finite weight.
  LoudnessMeter(std::vector<double> weights, double rate);

  // The next step's energy of every channel, in channel order.
  void add_step(const double* energies);
  // The file's last step when it is shorter than the others: it moves the
  // momentary and short-term windows but completes no gating block. The
  // last call.
  void add_partial_step(const double* energies);

  int64_t step_frames() const { return step_frames_; }
  // Steps added; the values below are those after the last of them, which
  // ends at frame steps() * step_frames() (or at the file's end).
  int64_t steps() const { return steps_; }

  double momentary_lufs() const { return momentary_; }
  double short_term_lufs() const { return short_term_; }
  double max_momentary_lufs() const { return max_momentary_; }
  double max_short_term_lufs() const { return max_short_term_; }
  // None until a 400 ms block lies above the absolute gate.
  std::optional<double> integrated_lufs() const;
  // None until a 3 s window lies above the absolute gate.
  std::optional<double> range_lu() const;

private:
  void add(const double* energies, bool complete);
  // Of the newest `steps` steps, per frame.
  double mean_square(int steps) const;

  static constexpr int MOMENTARY_STEPS = 40;
  static constexpr int SHORT_TERM_STEPS = 300;
  static constexpr int STEPS_PER_HOP = 10; // blocks and windows every 100 ms

  const std::vector<double> weights_;
  const int64_t step_frames_;
  // The last SHORT_TERM_STEPS steps' weighted energies, each written twice
  // so that every window lies in one piece.
  std::array<double, 2 * SHORT_TERM_STEPS> recent_{};
  int64_t steps_ = 0;
  double momentary_, short_term_, max_momentary_, max_short_term_;
  LoudnessHistogram blocks_;  // momentary blocks, for the integrated
  LoudnessHistogram windows_; // short-term windows, for the range
};

// What the command reports: the meter's values and the channels' true
// peaks (linear, as ChannelLoudness gives them) in dBTP.
LoudnessResult loudness_result(const LoudnessMeter& meter,
                               const std::vector<float>& true_peaks);

#endif
