// SPDX-License-Identifier: ISC
#include "ratio_table.h"
#include "cases.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Alternating lengths may cost one powf per block more than constant ones;
// the machine's own noise is allowed on top, as this share of the time:
// the repetitions of one case vary by 1 to 2% on a shared machine.
constexpr double NOISE_ALLOWANCE = 0.02;

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

int RatioTable::print_inline(std::ostream& out) const
{
  out << formatted("\nthe inline variant against meter_run, in blocks of %u "
                   "(ns per sample)\n\n%-8s %6s %7s %7s %9s %7s  %s\n",
                   INLINE_BLOCK_SIZE,
                   "signal",
                   "meter",
                   "inline",
                   "ratio",
                   "in place",
                   "ratio",
                   "target");
  int missed = 0;
  for (const char* signal : SIGNALS) {
    const double* meter =
      median(case_name(CONSTANT, signal, INLINE_BLOCK_SIZE));
    const double* copied = median(case_name(INLINE, signal, INLINE_BLOCK_SIZE));
    const double* in_place =
      median(case_name(INLINE_IN_PLACE, signal, INLINE_BLOCK_SIZE));
    if (meter == nullptr || copied == nullptr || in_place == nullptr) {
      continue; // filtered out
    }
    const bool met = *copied / *meter <= INLINE_TARGET_RATIO &&
                     *in_place / *meter <= INLINE_TARGET_RATIO;
    missed += met ? 0 : 1;
    out << formatted("%-8s %6.3f %7.3f %6.3fx %9.3f %6.3fx  <=%.2fx %s\n",
                     signal,
                     *meter / SAMPLES_PER_ITERATION,
                     *copied / SAMPLES_PER_ITERATION,
                     *copied / *meter,
                     *in_place / SAMPLES_PER_ITERATION,
                     *in_place / *meter,
                     INLINE_TARGET_RATIO,
                     met ? "ok" : "MISS");
  }
  return missed;
}

int RatioTable::print_stereo(std::ostream& out) const
{
  out << formatted("\nthe stereo variant against meter_run: its ns per frame "
                   "(both channels)\nover meter_run's ns per sample (one "
                   "channel)\n\n%-8s %5s %6s %7s %7s %9s %7s  %s\n",
                   "signal",
                   "block",
                   "meter",
                   "stereo",
                   "ratio",
                   "in place",
                   "ratio",
                   "target");
  int missed = 0;
  for (const char* signal : SIGNALS) {
    for (const uint32_t size : STEREO_BLOCK_SIZES) {
      const double* meter = median(case_name(CONSTANT, signal, size));
      const double* copied = median(case_name(STEREO, signal, size));
      const double* in_place = median(case_name(STEREO_IN_PLACE, signal, size));
      if (meter == nullptr || copied == nullptr || in_place == nullptr) {
        continue; // filtered out
      }
      const double target = stereo_target_ratio(size);
      const bool met =
        *copied / *meter <= target && *in_place / *meter <= target;
      missed += met ? 0 : 1;
      out << formatted("%-8s %5u %6.3f %7.3f %6.3fx %9.3f %6.3fx  <=%.2fx %s\n",
                       signal,
                       size,
                       *meter / SAMPLES_PER_ITERATION,
                       *copied / SAMPLES_PER_ITERATION,
                       *copied / *meter,
                       *in_place / SAMPLES_PER_ITERATION,
                       *in_place / *meter,
                       target,
                       met ? "ok" : "MISS");
    }
  }
  return missed;
}

const double* RatioTable::median(const std::string& name) const
{
  const auto found = medians_.find(name);
  return found == medians_.end() ? nullptr : &found->second;
}

void RatioTable::print(std::ostream& out) const
{
  out << "\nmeter_run against its floor, the bare recurrence "
         "M = M + (x*x - M)*k, at 48 kHz\n"
      << formatted("median CPU time of %lld repetition(s), in ns per sample "
                   "(extra: ns per block)\n\n",
                   repetitions_)
      << formatted("%-8s %5s %6s %6s %7s %12s | %6s %7s %6s %6s %s\n",
                   "signal",
                   "block",
                   "floor",
                   "meter",
                   "ratio",
                   "target",
                   "alter.",
                   "ratio",
                   "extra",
                   "+powf",
                   "alternating");
  int missed = 0;
  for (const char* signal : SIGNALS) {
    for (const uint32_t size : BLOCK_SIZES) {
      const double* floor = median(case_name(FLOOR, signal, size));
      const double* constant = median(case_name(CONSTANT, signal, size));
      const double* alternating = median(case_name(ALTERNATING, signal, size));
      const double* plus_powf = median(case_name(PLUS_POWF, signal, size));
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
      out << formatted("%-8s %5u %6.3f %6.3f %6.3fx %12s |",
                       signal,
                       size,
                       *floor / SAMPLES_PER_ITERATION,
                       *constant / SAMPLES_PER_ITERATION,
                       ratio,
                       target.c_str());
      if (alternating != nullptr && plus_powf != nullptr) {
        // All three run the same samples in the same number of blocks, so
        // their differences are per block.
        const double blocks = SAMPLES_PER_ITERATION / size;
        const bool explained =
          *alternating <= *plus_powf + NOISE_ALLOWANCE * *constant;
        missed += explained ? 0 : 1;
        out << formatted(" %6.3f %6.3fx %6.1f %6.1f %s",
                         *alternating / SAMPLES_PER_ITERATION,
                         *alternating / *floor,
                         (*alternating - *constant) / blocks,
                         (*plus_powf - *constant) / blocks,
                         explained ? "ok" : "MISS");
      }
      out << "\n";
    }
  }
  out << "\nalter.: blocks of size-1 and size+1 samples, so that every run "
         "misses the falloff cache\n"
         "extra:  alternating minus constant lengths, per block\n"
         "+powf:  constant lengths with, before each block, the powf that a "
         "miss computes,\n        minus constant lengths, per block\n"
      << formatted("ok:     alternating costs at most constant lengths with "
                   "that powf (+%.0f%% for noise)\n",
                   NOISE_ALLOWANCE * 100.0);
  missed += print_inline(out);
  missed += print_stereo(out);
  const double* powf_ns = median(POWF);
  const double* log10f_ns = median(LOG10F);
  if (powf_ns != nullptr && log10f_ns != nullptr) {
    out << formatted("one call on its own: powf %.1f ns (the falloff of a "
                     "cache miss), log10f %.1f ns\n",
                     *powf_ns,
                     *log10f_ns);
  }
  out << formatted("targets missed: %d\n", missed) << std::flush;
}
