// SPDX-License-Identifier: ISC
#include "ratio_table.h"
#include "cases.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Alternating lengths may cost one powf per block more than constant ones;
// the machine's own noise is allowed on top, as this share of the block.
constexpr double NOISE_ALLOWANCE = 0.01;

std::string formatted(const char* format, ...)
  __attribute__((format(printf, 1, 2)));

std::string formatted(const char* format, ...)
{
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

} // namespace

void RatioTable::ReportRuns(const std::vector<Run>& runs)
{
  for (const Run& run : runs) {
    if (run.error_occurred) {
      continue;
    }
    const bool single =
      run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    const bool median_of_many =
      run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (single || median_of_many) {
      medians_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      repetitions_ = run.repetitions;
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

const double* RatioTable::median(const std::string& name) const
{
  const auto found = medians_.find(name);
  return found == medians_.end() ? nullptr : &found->second;
}

void RatioTable::print(std::ostream& out) const
{
  const double* powf_ns = median(POWF);
  const double* log10f_ns = median(LOG10F);
  out << "\nmeter_run against its floor, the bare recurrence "
         "M = M + (x*x - M)*k, at 48 kHz\n"
      << formatted("median CPU time of %lld repetition(s), in ns per sample; "
                   "ratio = meter / floor\n\n",
                   repetitions_)
      << formatted("%-8s %5s %7s %7s %7s %12s %11s %7s %14s\n",
                   "signal",
                   "block",
                   "floor",
                   "meter",
                   "ratio",
                   "target",
                   "alternating",
                   "ratio",
                   "extra/block");
  int missed = 0;
  for (const char* signal : SIGNALS) {
    for (const uint32_t size : BLOCK_SIZES) {
      const double* floor = median(case_name(FLOOR, signal, size));
      const double* constant = median(case_name(CONSTANT, signal, size));
      const double* alternating = median(case_name(ALTERNATING, signal, size));
      if (floor == nullptr || constant == nullptr) {
        continue; // filtered out
      }
      const double ratio = *constant / *floor;
      std::string target;
      if (target_ratio(size) > 0.0) {
        const bool met = ratio <= target_ratio(size);
        missed += met ? 0 : 1;
        target =
          formatted("<=%.2fx %s", target_ratio(size), met ? "ok" : "MISS");
      }
      out << formatted("%-8s %5u %7.3f %7.3f %6.3fx %12s",
                       signal,
                       size,
                       *floor / SAMPLES_PER_ITERATION,
                       *constant / SAMPLES_PER_ITERATION,
                       ratio,
                       target.c_str());
      if (alternating != nullptr) {
        // Same number of blocks, same samples: the difference is per block.
        const double blocks = SAMPLES_PER_ITERATION / size;
        const double extra = (*alternating - *constant) / blocks;
        out << formatted(" %11.3f %6.3fx %11.1f ns",
                         *alternating / SAMPLES_PER_ITERATION,
                         *alternating / *floor,
                         extra);
        if (powf_ns != nullptr) {
          const bool explained =
            extra <= *powf_ns + NOISE_ALLOWANCE * *constant / blocks;
          missed += explained ? 0 : 1;
          out << (explained ? " ok" : " MISS");
        }
      }
      out << "\n";
    }
  }
  if (powf_ns != nullptr && log10f_ns != nullptr) {
    out << formatted("\nper call: powf %.1f ns (the falloff of a cache miss, "
                     "from the block length on), log10f %.1f ns\n",
                     *powf_ns,
                     *log10f_ns)
        << formatted("extra/block: alternating minus constant lengths; ok "
                     "within one powf plus %.0f%% of the block's time\n",
                     NOISE_ALLOWANCE * 100.0);
  }
  out << formatted("targets missed: %d\n", missed) << std::flush;
}
