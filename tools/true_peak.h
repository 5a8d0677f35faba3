// SPDX-License-Identifier: ISC
// The true peak of one channel per ITU-R BS.1770-4: the largest magnitude
// of the signal between its samples as well as at them, found by
// oversampling.
#ifndef TOLVANIC_TOOLS_TRUE_PEAK_H
#define TOLVANIC_TOOLS_TRUE_PEAK_H

#include <array>
#include <cstdint>

class TruePeakMeter {
public:
  // Taps of the interpolation filter per point between two samples.
  static constexpr int TAPS = 16;

  // Neither changes the result, only the time it takes.
  struct Options {
    // Leave unfiltered a stretch of samples too small to beat the peak so
    // far.
    bool skip_quiet = true;
    // Filter with the instructions every x86-64 has even where AVX2 is
    // there.
    bool baseline_only = false;
  };

  // Oversamples 4 times below 96 kHz, twice below 192 kHz, not at all
  // from there on (the true peak is then the sample peak).
  explicit TruePeakMeter(double rate)
    : TruePeakMeter(rate, Options{})
  {}
  TruePeakMeter(double rate, Options options);

  // Any number of samples, 0 included. A NaN or infinite sample counts as
  // 0; a finite one beyond +-1e30 is interpolated as +-1e30 (it still
  // counts fully as a sample).
  void add(const float* samples, int64_t count);
  // The points between the last samples and the silence after the end.
  void finish();

  // Linear; never below the largest finite sample magnitude.
  float peak() const;
  int oversampling() const { return phases_ + 1; }

private:
  void filter_ready();

  // The samples not yet filtered, after the TAPS - 1 before them.
  static constexpr int HISTORY = TAPS - 1;
  static constexpr int CAPACITY = 1024;
  std::array<float, HISTORY + CAPACITY> pending_{};
  int filled_ = HISTORY;

  int phases_; // interpolated points between two samples
  // The half phase's first half, the quarter's sums and differences (see
  // the kernel).
  std::array<float, 3 * TAPS / 2> taps_{};
  double bound_; // the largest magnitude of a point over its samples'

  Options options_;
  float sample_peak_ = 0.0f;
  float between_peak_ = 0.0f; // of the interpolated points
};

#endif
