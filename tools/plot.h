// SPDX-License-Identifier: ISC
// Draws the readings over time into a PNG with gnuplot, fed through a
// pipe: the rows go to gnuplot as they come, so nothing piles up here.
// gnuplot draws into a temporary file, which is copied to the PNG at the
// end, so that a write error there is ours to see and explain.
#ifndef TOLVANIC_TOOLS_PLOT_H
#define TOLVANIC_TOOLS_PLOT_H

#include "results.h"

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class Plot {
public:
  // Starts gnuplot; throws std::runtime_error when it is not installed or
  // the PNG cannot be written. SIGPIPE must be ignored: a gnuplot that
  // stops reading early is an error to report.
  // With `loudness`, a last panel draws the momentary and short-term
  // loudness and the integrated loudness as a line.
  Plot(std::string png, std::string title, int channels, bool loudness);
  ~Plot();
  Plot(const Plot&) = delete;
  Plot& operator=(const Plot&) = delete;

  void row(double seconds,
           const std::vector<MeterReadings>& channels,
           const RowLoudness* loudness);
  // Draws the PNG and waits for gnuplot; throws std::runtime_error when it
  // failed.
  void finish(std::optional<double> integrated_lufs = std::nullopt);

private:
  int stop_gnuplot(); // returns its wait status
  void copy_to_png();

  std::string png_;
  std::string title_;
  int channels_;
  bool loudness_;
  std::FILE* gnuplot_ = nullptr; // its standard input
  pid_t pid_ = -1;
  std::FILE* drawn_ = nullptr; // its standard output, a temporary file
  bool created_ = false;       // the PNG did not exist before

  double lowest_db_ = 0.0;
  double highest_db_ = -200.0;
};

#endif
