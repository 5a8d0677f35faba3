// SPDX-License-Identifier: ISC
#include "channel_loudness.h"

#include "loudness_units.h"

#include <algorithm>

ChannelLoudness::ChannelLoudness(double rate)
  : filter_(rate)
  , true_peak_(rate)
  , step_frames_(loudness_step_frames(rate))
{}

void ChannelLoudness::add(const float* samples,
                          int64_t frames,
                          std::vector<double>& steps)
{
  true_peak_.add(samples, frames);
  for (int64_t done = 0; done < frames;) {
    const int64_t n = std::min(frames - done, step_frames_ - step_filled_);
    step_energy_ += filter_.sum_squares(samples + done, n);
    step_filled_ += n;
    done += n;
    if (step_filled_ == step_frames_) {
      steps.push_back(step_energy_);
      step_energy_ = 0.0;
      step_filled_ = 0;
    }
  }
}

bool ChannelLoudness::finish(std::vector<double>& steps)
{
  true_peak_.finish();
  if (step_filled_ == 0) return false;
  steps.push_back(step_energy_);
  step_filled_ = 0;
  step_energy_ = 0.0;
  return true;
}
