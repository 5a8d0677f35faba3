// SPDX-License-Identifier: ISC
// The loudness unit of tolvanic-meter per channel at 48 kHz: the
// K-weighting and its steps alone, the true peak alone, and both, in ns per
// sample; beside them libebur128's true peak on the same samples, where it
// is installed.
#include "cases.h"
#include "channel_loudness.h"
#include "k_weighting.h"
#include "loudness_units.h"
#include "true_peak.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#ifdef TOLVANIC_HAVE_EBUR128
#include <ebur128.h>
#endif

namespace {

// One iteration's samples, fed as the command feeds a channel's chunk.
constexpr int64_t FRAMES = SAMPLES_PER_ITERATION;

std::vector<float> make_signal(const std::string& kind)
{
  std::vector<float> samples(static_cast<size_t>(FRAMES));
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  float level = 1.0f;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (kind == "sine-fs/4") {
      // Full scale, crest between the samples: every block could hold a
      // new true peak, so none is skipped.
      samples[i] = static_cast<float>(
        std::sin(M_PI / 2 * static_cast<double>(i % 4) + M_PI / 4));
    } else {
      // "dynamic": noise whose level moves between -20 and 0 dB every
      // 100 ms, as music's does.
      if (kind == "dynamic" && i % 4800 == 0)
        level = std::pow(10.0f, -(unit(rng) + 1.0f) / 2.0f);
      samples[i] = level * unit(rng);
    }
  }
  return samples;
}

void count_samples(benchmark::State& state)
{
  state.counters["time/sample"] =
    benchmark::Counter(static_cast<double>(FRAMES),
                       benchmark::Counter::kIsIterationInvariantRate |
                         benchmark::Counter::kInvert);
}

// What ChannelLoudness does but the true peak.
void bench_k_weighting(benchmark::State& state, const std::vector<float>& x)
{
  KWeightingFilter filter(SAMPLE_RATE);
  const int64_t step = loudness_step_frames(SAMPLE_RATE);
  std::vector<double> steps;
  for (auto _ : state) {
    steps.clear();
    for (int64_t done = 0; done < FRAMES; done += step)
      steps.push_back(filter.sum_squares(x.data() + done, step));
    benchmark::DoNotOptimize(steps.data());
  }
  count_samples(state);
}

void bench_true_peak(benchmark::State& state,
                     const std::vector<float>& x,
                     TruePeakMeter::Options options)
{
  TruePeakMeter meter(SAMPLE_RATE, options);
  for (auto _ : state) {
    meter.add(x.data(), FRAMES);
    benchmark::DoNotOptimize(meter.peak());
  }
  count_samples(state);
}

void bench_channel(benchmark::State& state, const std::vector<float>& x)
{
  ChannelLoudness channel(SAMPLE_RATE);
  std::vector<double> steps;
  for (auto _ : state) {
    steps.clear();
    channel.add(x.data(), FRAMES, steps);
    benchmark::DoNotOptimize(steps.data());
  }
  count_samples(state);
}

#ifdef TOLVANIC_HAVE_EBUR128
void bench_ebur128(benchmark::State& state,
                   const std::vector<float>& x,
                   int mode)
{
  ebur128_state* meter = ebur128_init(1, 48000, mode);
  for (auto _ : state) {
    ebur128_add_frames_float(meter, x.data(), static_cast<size_t>(FRAMES));
    double peak = 0.0;
    ebur128_true_peak(meter, 0, &peak);
    benchmark::DoNotOptimize(peak);
  }
  count_samples(state);
  ebur128_destroy(&meter);
}
#endif

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::vector<std::vector<float>> signals;
  const std::string kinds[] = { "noise", "dynamic", "sine-fs/4" };
  for (const std::string& kind : kinds)
    signals.push_back(make_signal(kind));
  for (size_t s = 0; s < signals.size(); ++s) {
    const std::vector<float>* x = &signals[s];
    const std::string& kind = kinds[s];
    benchmark::RegisterBenchmark(
      ("k-weighting/" + kind).c_str(),
      [x](auto& state) { bench_k_weighting(state, *x); });
    const std::pair<const char*, TruePeakMeter::Options> variants[] = {
      { "true-peak/", {} },
      { "true-peak-unskipped/", { false, false } },
      { "true-peak-sse2-unskipped/", { false, true } },
    };
    for (const auto& [name, options] : variants) {
      benchmark::RegisterBenchmark((name + kind).c_str(),
                                   [x, options = options](auto& state) {
                                     bench_true_peak(state, *x, options);
                                   });
    }
    benchmark::RegisterBenchmark(
      ("both/" + kind).c_str(), [x](auto& state) { bench_channel(state, *x); });
#ifdef TOLVANIC_HAVE_EBUR128
    benchmark::RegisterBenchmark(
      ("ebur128-true-peak/" + kind).c_str(),
      [x](auto& state) { bench_ebur128(state, *x, EBUR128_MODE_TRUE_PEAK); });
#endif
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
