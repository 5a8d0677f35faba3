// SPDX-License-Identifier: ISC
// The loudness of many blocks or windows, in constant memory however long
// the file: bins of 0.01 LU from the absolute gate up, each with its count
// and the sum of its values' energies.
//
// What a relative gate keeps is decided by bin: the bin that holds the
// gate is kept whole, as if the gate were up to 0.01 LU lower. Means over
// the kept values are exact sums of their energies otherwise, and a
// percentile is the middle of the bin that holds it, within 0.005 LU of the
// value.
#ifndef TOLVANIC_TOOLS_LOUDNESS_HISTOGRAM_H
#define TOLVANIC_TOOLS_LOUDNESS_HISTOGRAM_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class LoudnessHistogram {
public:
  LoudnessHistogram();

  // Counts one value, if it lies above the absolute gate. `mean_square`
  // is what its loudness was computed from. Values above +40 LUFS (far
  // beyond full scale) share the top bin.
  void add(double loudness, double mean_square);

  // The loudness of the mean energy of the values no more than `gate_lu`
  // below the loudness of the mean energy of all; none when no value is
  // counted.
  std::optional<double> gated_loudness(double gate_lu) const;
  // Of the same values: the `high` percentile minus the `low` one, each
  // the value of rank ceil(percent * n / 100) of the n in ascending order.
  std::optional<double> gated_spread(double gate_lu, int low, int high) const;

private:
  std::size_t gate_bin(double gate_lu) const;
  double value_of_rank(std::size_t first_bin, int64_t rank) const;

  std::vector<int64_t> counts_;
  std::vector<double> mean_squares_;
  int64_t count_ = 0;
  double mean_square_sum_ = 0.0;
};

#endif
