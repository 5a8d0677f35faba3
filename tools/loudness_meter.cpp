// SPDX-License-Identifier: ISC
#include "loudness_meter.h"

#include "loudness_units.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr double MINUS_INFINITY = -std::numeric_limits<double>::infinity();
constexpr double SILENCE_LUFS = -120.0;
constexpr double INTEGRATED_GATE_LU = 10.0;
constexpr double RANGE_GATE_LU = 20.0;
constexpr int RANGE_LOW_PERCENT = 10, RANGE_HIGH_PERCENT = 95;

const std::vector<double>& checked(const std::vector<double>& weights)
{
  for (double weight : weights) {
    if (!(weight >= 0.0 && weight <= DBL_MAX))
      throw std::invalid_argument("a channel weight is negative or not finite");
  }
  return weights;
}

// Four sums side by side, so that the additions need not wait for each
// other; the order is fixed, so is the result. `count` is a multiple of 4.
double sum_of(const double* values, int count)
{
  double sums[4] = {};
  for (int i = 0; i < count; i += 4) {
    for (int k = 0; k < 4; ++k)
      sums[k] += values[i + k];
  }
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

} // namespace

LoudnessMeter::LoudnessMeter(std::vector<double> weights, double rate)
  : weights_(checked(weights))
  , step_frames_(loudness_step_frames(rate))
  , momentary_(MINUS_INFINITY)
  , short_term_(MINUS_INFINITY)
  , max_momentary_(MINUS_INFINITY)
  , max_short_term_(MINUS_INFINITY)
{}

void LoudnessMeter::add_step(const double* energies)
{
  add(energies, true);
}

void LoudnessMeter::add_partial_step(const double* energies)
{
  add(energies, false);
}

void LoudnessMeter::add(const double* energies, bool complete)
{
  double weighted = 0.0;
  for (size_t c = 0; c < weights_.size(); ++c)
    weighted += weights_[c] * energies[c];
  const auto slot = static_cast<size_t>(steps_ % SHORT_TERM_STEPS);
  recent_[slot] = recent_[slot + SHORT_TERM_STEPS] = weighted;
  ++steps_;

  const double momentary_square = mean_square(MOMENTARY_STEPS);
  const double short_term_square = mean_square(SHORT_TERM_STEPS);
  const double momentary = lufs(momentary_square);
  const double short_term = lufs(short_term_square);
  const auto shown = [](double loudness) {
    return loudness > SILENCE_LUFS ? loudness : MINUS_INFINITY;
  };
  momentary_ = shown(momentary);
  short_term_ = shown(short_term);
  max_momentary_ = std::max(max_momentary_, momentary_);
  max_short_term_ = std::max(max_short_term_, short_term_);

  // Gating blocks and range windows every 100 ms, complete ones only.
  if (!complete || steps_ % STEPS_PER_HOP != 0) return;
  if (steps_ >= MOMENTARY_STEPS) blocks_.add(momentary, momentary_square);
  if (steps_ >= SHORT_TERM_STEPS) windows_.add(short_term, short_term_square);
}

double LoudnessMeter::mean_square(int steps) const
{
  // The newest step is at slot + SHORT_TERM_STEPS, the window ends there.
  const auto slot = static_cast<size_t>((steps_ - 1) % SHORT_TERM_STEPS);
  const double* first =
    recent_.data() + slot + SHORT_TERM_STEPS + 1 - static_cast<size_t>(steps);
  return sum_of(first, steps) / (steps * static_cast<double>(step_frames_));
}

std::optional<double> LoudnessMeter::integrated_lufs() const
{
  return blocks_.gated_loudness(INTEGRATED_GATE_LU);
}

std::optional<double> LoudnessMeter::range_lu() const
{
  return windows_.gated_spread(
    RANGE_GATE_LU, RANGE_LOW_PERCENT, RANGE_HIGH_PERCENT);
}

LoudnessResult loudness_result(const LoudnessMeter& meter,
                               const std::vector<float>& true_peaks)
{
  LoudnessResult result;
  result.integrated_lufs = meter.integrated_lufs();
  result.range_lu = meter.range_lu();
  result.max_momentary_lufs = meter.max_momentary_lufs();
  result.max_short_term_lufs = meter.max_short_term_lufs();
  for (float peak : true_peaks) {
    const double dbtp = 20.0 * std::log10(static_cast<double>(peak));
    result.channel_true_peak_dbtp.push_back(dbtp);
    result.true_peak_dbtp = std::max(result.true_peak_dbtp, dbtp);
  }
  return result;
}
