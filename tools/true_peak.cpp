// SPDX-License-Identifier: ISC
#include "true_peak.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>

// The interpolation filter: a windowed sinc, TAPS = 16 samples around each
// point, Kaiser window with beta 5, each phase scaled to a gain of exactly 1
// at 0 Hz. Its magnitude error stays within 0.05 dB up to 0.4 fs (19.2 kHz
// at 48 kHz), where a 4x grid can itself miss a sine's crest by 0.44 dB;
// 12 taps would lose 0.6 dB there, and more than 16 buy nothing a 4x grid
// can show. The Kaiser window trades the passband's ripple against the
// width of the transition with one parameter; beta 5 balances both at 16
// taps. The points on the samples themselves need no filter: they are the
// samples.
//
// The filter's symmetries halve the multiplications. With x[0..15] the
// samples around a point, u[t] = x[t] + x[15 - t] and v[t] = x[t] - x[15 -
// t] for t < 8: the point half-way is sum h(1/2)[t] u[t] (that phase is
// symmetric); the points a quarter and three quarters of the way are
// (A + B) / 2 and (A - B) / 2, where A = sum (h[t] + h[15 - t]) u[t] and
// B = sum (h[t] - h[15 - t]) v[t] with h the quarter's taps (the three
// quarters' are the same reversed), so the larger of their magnitudes is
// (|A| + |B|) / 2.
//
// Every sum is taken in the order of t, with no fused multiply-add, in
// vector lanes of 4 (SSE2, every x86-64) or 8 (AVX2) points side by side:
// each lane does the same operations in the same order, so every machine
// finds the same peak to the bit.

namespace {

typedef float Lanes4 __attribute__((vector_size(16)));
typedef float Lanes8 __attribute__((vector_size(32)));

constexpr std::size_t TAPS = TruePeakMeter::TAPS;
constexpr std::size_t HALF = TAPS / 2;
constexpr double KAISER_BETA = 5.0;
// Whatever the samples, no sum of 16 products with taps below 2.2 in
// magnitude can overflow a float past this.
constexpr float LIMIT = 1e30f;
// Points per kernel step (the SSE2 kernel takes them as two halves).
constexpr int VECTOR = 8;
// Points that are skipped or filtered together.
constexpr int SKIP_SPAN = 64;
// The kernel's float sums can exceed the exact bound by a dozen roundings
// of 2^-24 at most; this is far more than that.
constexpr double ROUNDING_MARGIN = 1.0 + 1.0 / 65536.0;

// The modified Bessel function of order 0, by its power series: only
// additions, multiplications and divisions, so the taps come out the same
// with any maths library.
double bessel_i0(double x)
{
  double sum = 1.0, term = 1.0;
  for (int k = 1; term > 1e-17 * sum; ++k) {
    const double half = x / (2.0 * k);
    term *= half * half;
    sum += term;
  }
  return sum;
}

// The taps for the point `fraction` of a sample after sample 7 of the 16
// (fraction 1/4 or 1/2, whose sine is exact through sqrt).
std::array<double, TAPS> design_phase(double fraction)
{
  const double sine = fraction == 0.5 ? 1.0 : std::sqrt(0.5);
  const double half_width = static_cast<double>(HALF);
  std::array<double, TAPS> taps{};
  double sum = 0.0;
  for (std::size_t t = 0; t < TAPS; ++t) {
    // Distance from tap t to the point, in samples; never 0.
    const double tau = fraction + 7.0 - static_cast<double>(t);
    const double sinc = (t % 2 == 0 ? -sine : sine) / (M_PI * tau);
    const double edge = tau / half_width;
    const double window =
      bessel_i0(KAISER_BETA * std::sqrt(1.0 - edge * edge)) /
      bessel_i0(KAISER_BETA);
    taps[t] = sinc * window;
    sum += taps[t];
  }
  for (double& tap : taps)
    tap /= sum;
  return taps;
}

// The largest magnitude of the points between the samples after each of
// `outputs` (a multiple of VECTOR) samples, which start at in[HALF - 1];
// `taps` holds the half phase's first half, then with QUARTERS the
// quarters' sums and differences.
template<class Lanes, bool QUARTERS>
[[gnu::always_inline]] inline float largest_between(const float* in,
                                                    int64_t outputs,
                                                    const float* taps)
{
  constexpr auto WIDTH = static_cast<int64_t>(sizeof(Lanes) / sizeof(float));
  Lanes half[HALF], sums[HALF], differences[HALF];
  for (std::size_t t = 0; t < HALF; ++t) {
    half[t] = Lanes{} + taps[t];
    sums[t] = Lanes{} + taps[HALF + t];
    differences[t] = Lanes{} + taps[2 * HALF + t];
  }
  Lanes top_half = {}, top_quarters = {};
  for (int64_t i = 0; i < outputs; i += WIDTH) {
    Lanes mid = {}, a = {}, b = {};
    for (std::size_t t = 0; t < HALF; ++t) {
      Lanes early, late;
      std::memcpy(&early, in + i + t, sizeof early);
      std::memcpy(&late, in + i + TAPS - 1 - t, sizeof late);
      const Lanes u = early + late;
      mid = t == 0 ? half[t] * u : mid + half[t] * u;
      if (QUARTERS) {
        const Lanes v = early - late;
        a = t == 0 ? sums[t] * u : a + sums[t] * u;
        b = t == 0 ? differences[t] * v : b + differences[t] * v;
      }
    }
    const Lanes mid_magnitude = mid > -mid ? mid : -mid;
    top_half = mid_magnitude > top_half ? mid_magnitude : top_half;
    if (QUARTERS) {
      const Lanes both = (a > -a ? a : -a) + (b > -b ? b : -b);
      top_quarters = both > top_quarters ? both : top_quarters;
    }
  }
  float largest = 0.0f;
  for (int64_t k = 0; k < WIDTH; ++k)
    largest = std::max({ largest, top_half[k], 0.5f * top_quarters[k] });
  return largest;
}

using Kernel = float (*)(const float*, int64_t, const float*, bool);

[[gnu::target("avx2")]] float largest_avx2(const float* in,
                                           int64_t outputs,
                                           const float* taps,
                                           bool quarters)
{
  return quarters ? largest_between<Lanes8, true>(in, outputs, taps)
                  : largest_between<Lanes8, false>(in, outputs, taps);
}

float largest_sse2(const float* in,
                   int64_t outputs,
                   const float* taps,
                   bool quarters)
{
  return quarters ? largest_between<Lanes4, true>(in, outputs, taps)
                  : largest_between<Lanes4, false>(in, outputs, taps);
}

Kernel fastest_kernel()
{
  static const Kernel kernel =
    __builtin_cpu_supports("avx2") ? largest_avx2 : largest_sse2;
  return kernel;
}

// Magnitudes compared as bit patterns: for floats of one sign the order of
// the patterns is the order of the values, and whole numbers can be
// compared in vector lanes, where a float maximum would not be vectorised
// without leave to reorder it.
typedef int32_t Ints4 __attribute__((vector_size(16)));
constexpr int32_t MAGNITUDE = 0x7FFFFFFF, INFINITE = 0x7F800000;

// Copies `count` samples with NaN and infinities as 0 and the rest within
// +-LIMIT, unless `out` is null; returns the largest finite magnitude, at
// least `largest`. Four samples at a time, then one at a time alike.
float take(const float* samples, int64_t count, float* out, float largest)
{
  Ints4 top = {};
  std::memcpy(&top, &largest, sizeof largest);
  const auto one = [&](int64_t i, int64_t n) {
    Lanes4 x = {};
    std::memcpy(&x, samples + i, static_cast<size_t>(n) * sizeof(float));
    Ints4 bits = {};
    std::memcpy(&bits, &x, sizeof bits);
    const Ints4 magnitude = bits & MAGNITUDE;
    const Ints4 finite = magnitude < INFINITE;
    top = (magnitude & finite) > top ? magnitude & finite : top;
    if (out == nullptr) return;
    x = x < -LIMIT ? -LIMIT : x > LIMIT ? LIMIT : x;
    std::memcpy(&bits, &x, sizeof bits);
    bits &= finite;
    std::memcpy(out + i, &bits, static_cast<size_t>(n) * sizeof(float));
  };
  int64_t i = 0;
  for (; i + 4 <= count; i += 4)
    one(i, 4);
  for (; i < count; ++i)
    one(i, 1);
  const int32_t most = std::max({ top[0], top[1], top[2], top[3] });
  float result = 0.0f;
  std::memcpy(&result, &most, sizeof result);
  return result;
}

} // namespace

TruePeakMeter::TruePeakMeter(double rate, Options options)
  : phases_(rate < 96000.0    ? 3
            : rate < 192000.0 ? 1
                              : 0)
  , options_(options)
{
  // What bounds the kernel's results: 2 sum |half| for the point half-way,
  // sum |sums| + sum |differences| for (|A| + |B|) / 2.
  double half_bound = 0.0, quarters_bound = 0.0;
  const std::array<double, TAPS> half = design_phase(0.5);
  const std::array<double, TAPS> quarter = design_phase(0.25);
  for (std::size_t t = 0; t < HALF; ++t) {
    const double early = quarter[t], late = quarter[TAPS - 1 - t];
    taps_[t] = static_cast<float>(half[t]);
    taps_[HALF + t] = static_cast<float>(early + late);
    taps_[2 * HALF + t] = static_cast<float>(early - late);
    half_bound += 2.0 * std::fabs(static_cast<double>(taps_[t]));
    quarters_bound += std::fabs(static_cast<double>(taps_[HALF + t])) +
                      std::fabs(static_cast<double>(taps_[2 * HALF + t]));
  }
  bound_ = (phases_ == 3 ? std::max(half_bound, quarters_bound) : half_bound) *
           ROUNDING_MARGIN;
}

void TruePeakMeter::add(const float* samples, int64_t count)
{
  if (phases_ == 0) {
    sample_peak_ = take(samples, count, nullptr, sample_peak_);
    return;
  }
  constexpr int SIZE = HISTORY + CAPACITY;
  for (int64_t done = 0; done < count;) {
    const int n =
      static_cast<int>(std::min<int64_t>(count - done, SIZE - filled_));
    sample_peak_ =
      take(samples + done, n, pending_.data() + filled_, sample_peak_);
    filled_ += n;
    done += n;
    if (filled_ == SIZE) filter_ready();
  }
  filter_ready();
}

void TruePeakMeter::finish()
{
  if (phases_ == 0) return;
  // Silence after the end: HISTORY samples of it reach back to the last
  // sample, so the points still due are one per sample pending and one per
  // sample of that silence, filled_ in all; the last vector of points is
  // filled up with more silence.
  const int points = filled_;
  const int end = HISTORY + (points + VECTOR - 1) / VECTOR * VECTOR;
  std::fill(pending_.begin() + filled_, pending_.begin() + end, 0.0f);
  filled_ = end;
  filter_ready();
}

float TruePeakMeter::peak() const
{
  return std::max(sample_peak_, between_peak_);
}

void TruePeakMeter::filter_ready()
{
  const Kernel kernel =
    options_.baseline_only ? largest_sse2 : fastest_kernel();
  const bool quarters = phases_ == 3;
  const int ready = (filled_ - HISTORY) / VECTOR * VECTOR;
  // Spans that must be filtered are gathered into runs, so that the kernel
  // sets up its taps and reduces its lanes once per run.
  int run = 0;
  for (int start = 0; start < ready; start += SKIP_SPAN) {
    const int outputs = std::min(SKIP_SPAN, ready - start);
    // No point can exceed its samples' largest magnitude times the bound.
    const float* in = pending_.data() + start;
    const bool quiet =
      options_.skip_quiet &&
      static_cast<double>(take(in, outputs + HISTORY, nullptr, 0.0f)) *
          bound_ <=
        static_cast<double>(peak());
    if (quiet && start > run) {
      const float* first = pending_.data() + run;
      between_peak_ = std::max(
        between_peak_, kernel(first, start - run, taps_.data(), quarters));
    }
    if (quiet) run = start + outputs;
  }
  if (ready > run) {
    const float* first = pending_.data() + run;
    between_peak_ = std::max(
      between_peak_, kernel(first, ready - run, taps_.data(), quarters));
  }
  std::copy(
    pending_.begin() + ready, pending_.begin() + filled_, pending_.begin());
  filled_ -= ready;
}
