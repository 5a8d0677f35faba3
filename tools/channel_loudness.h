// SPDX-License-Identifier: ISC
// One channel's part of the loudness measurement: its K-weighted energy in
// steps of 10 ms, for LoudnessMeter to combine with the other channels',
// and its true peak. Used by one thread at a time (the channel's own).
//
// A NaN or infinite sample counts as silence here, as it does in the
// sample statistics: it is left out of both the energy and the true peak.
#ifndef TOLVANIC_TOOLS_CHANNEL_LOUDNESS_H
#define TOLVANIC_TOOLS_CHANNEL_LOUDNESS_H

#include "k_weighting.h"
#include "true_peak.h"

#include <cstdint>
#include <vector>

class ChannelLoudness {
public:
  explicit ChannelLoudness(double rate);

  // Weighs `frames` more samples (any number, 0 included) and appends to
  // `steps` the energy (sum of squares of the K-weighted samples) of each
  // step they complete.
  void add(const float* samples, int64_t frames, std::vector<double>& steps);
  // At the end of the channel: appends the last step if it is shorter than
  // the others and holds any sample, and says whether it did; completes the
  // true peak. Nothing is added after it.
  bool finish(std::vector<double>& steps);

  int64_t step_frames() const { return step_frames_; }
  // Linear, in full scale; complete once finish() is called.
  float true_peak() const { return true_peak_.peak(); }

private:
  KWeightingFilter filter_;
  TruePeakMeter true_peak_;
  const int64_t step_frames_;
  int64_t step_filled_ = 0; // frames of the step under way
  double step_energy_ = 0.0;
};

#endif
