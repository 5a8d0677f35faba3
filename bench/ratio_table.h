// SPDX-License-Identifier: ISC
// A console reporter that also keeps each case's median time, and prints the
// meter's ratios to its floor, with the targets, once all cases have run.
#ifndef TOLVANIC_BENCH_RATIO_TABLE_H
#define TOLVANIC_BENCH_RATIO_TABLE_H

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

class RatioTable : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void print(std::ostream& out) const;

private:
  // CPU time per iteration in ns, by case name: the median of the
  // repetitions, or the single run without repetitions.
  std::map<std::string, double> medians_;
  long long repetitions_ = 1;

  const double* median(const std::string& name) const;
  // The inline variant's table; returns the number of targets missed.
  int print_inline(std::ostream& out) const;
  // The stereo variant's table; returns the number of targets missed.
  int print_stereo(std::ostream& out) const;
};

#endif
