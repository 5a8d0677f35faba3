// SPDX-License-Identifier: ISC
#include "loudness_histogram.h"

#include "loudness_units.h"

#include <algorithm>

namespace {

constexpr double BINS_PER_LU = 100.0;
constexpr double TOP_LUFS = 40.0;
constexpr auto BINS =
  static_cast<std::size_t>((TOP_LUFS - ABSOLUTE_GATE_LUFS) * BINS_PER_LU);

std::size_t bin_of(double loudness)
{
  const double above = (loudness - ABSOLUTE_GATE_LUFS) * BINS_PER_LU;
  return static_cast<std::size_t>(
    std::clamp(above, 0.0, static_cast<double>(BINS - 1)));
}

} // namespace

LoudnessHistogram::LoudnessHistogram()
  : counts_(BINS)
  , mean_squares_(BINS)
{}

void LoudnessHistogram::add(double loudness, double mean_square)
{
  if (!(loudness > ABSOLUTE_GATE_LUFS)) return;
  const std::size_t bin = bin_of(loudness);
  ++counts_[bin];
  mean_squares_[bin] += mean_square;
  ++count_;
  mean_square_sum_ += mean_square;
}

std::size_t LoudnessHistogram::gate_bin(double gate_lu) const
{
  const double mean = mean_square_sum_ / static_cast<double>(count_);
  return bin_of(lufs(mean) - gate_lu);
}

std::optional<double> LoudnessHistogram::gated_loudness(double gate_lu) const
{
  if (count_ == 0) return std::nullopt;
  int64_t count = 0;
  double sum = 0.0;
  for (std::size_t bin = gate_bin(gate_lu); bin < BINS; ++bin) {
    count += counts_[bin];
    sum += mean_squares_[bin];
  }
  // The loudest value is never below the mean, so some are always kept.
  return lufs(sum / static_cast<double>(count));
}

std::optional<double> LoudnessHistogram::gated_spread(double gate_lu,
                                                      int low,
                                                      int high) const
{
  if (count_ == 0) return std::nullopt;
  const std::size_t first = gate_bin(gate_lu);
  int64_t kept = 0;
  for (std::size_t bin = first; bin < BINS; ++bin)
    kept += counts_[bin];
  const auto rank = [kept](int percent) {
    return std::max<int64_t>(1, (kept * percent + 99) / 100);
  };
  return value_of_rank(first, rank(high)) - value_of_rank(first, rank(low));
}

double LoudnessHistogram::value_of_rank(std::size_t first_bin,
                                        int64_t rank) const
{
  std::size_t bin = first_bin;
  for (int64_t seen = counts_[bin]; seen < rank; seen += counts_[bin])
    ++bin;
  return ABSOLUTE_GATE_LUFS + (static_cast<double>(bin) + 0.5) / BINS_PER_LU;
}
