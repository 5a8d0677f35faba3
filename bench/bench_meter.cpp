// SPDX-License-Identifier: ISC
// meter_run against its floor, the bare mean-square recurrence, on the same
// signals and block sizes, and the inline and stereo variants against
// meter_run, side by side in one run; ends with tables of the ratios. The
// meters are the plug-ins' own object code, built with the shipped flags.
#include "cases.h"
#include "floor.h"
#include "inline/inline_meter.h"
#include "ratio_table.h"
#include "stereo/stereo_meter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <random>
#include <vector>

namespace {

// A signal of a kind; the right channel of a stereo pair is another of the
// same kind (other noise, a sine of another pitch and level).
std::vector<float> make_signal(const std::string& kind, bool right = false)
{
  std::vector<float> samples(SAMPLES_PER_ITERATION, 0.0f);
  if (kind == "noise") {
    std::mt19937 rng(right ? 6 : 5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (float& x : samples) {
      x = unit(rng);
    }
  } else if (kind == "sine") {
    // 1 kHz at -6 dBFS; on the right 700 Hz at -12 dBFS.
    const double hz = right ? 700.0 : 1000.0;
    const float amplitude = right ? 0.25f : 0.5f;
    for (size_t i = 0; i < samples.size(); ++i) {
      const double phase = 2.0 * M_PI * hz * static_cast<double>(i);
      samples[i] =
        amplitude * static_cast<float>(std::sin(phase / SAMPLE_RATE));
    }
  }
  return samples;
}

// Block lengths that cover one iteration's samples: all equal, or
// alternating one below and one above the size, so that every run of the
// meter misses its one-entry falloff cache.
std::vector<uint32_t> make_blocks(uint32_t size, bool alternating)
{
  std::vector<uint32_t> blocks(SAMPLES_PER_ITERATION / size, size);
  if (alternating) {
    for (size_t i = 0; i < blocks.size(); ++i) {
      blocks[i] = i % 2 == 0 ? size - 1 : size + 1;
    }
  }
  return blocks;
}

// Shows each case's time per sample beside its time per iteration.
void count_samples(benchmark::State& state)
{
  state.counters["time/sample"] =
    benchmark::Counter(SAMPLES_PER_ITERATION,
                       benchmark::Counter::kIsIterationInvariantRate |
                         benchmark::Counter::kInvert);
}

// What a miss of the falloff cache computes, from the block length on.
float falloff_power(float sample_count)
{
  const float seconds = sample_count / static_cast<float>(SAMPLE_RATE);
  return std::pow(10.0f, seconds * -0.75f);
}

// The control ports of one instance, connected to these values.
struct Controls {
  float reset = 0.0f;
  float level = 0.0f;
  float peak = 0.0f;
  float rms = 0.0f;

  void connect(const LV2_Descriptor& plugin, LV2_Handle handle)
  {
    plugin.connect_port(handle, PORT_RESET, &reset);
    plugin.connect_port(handle, PORT_LEVEL, &level);
    plugin.connect_port(handle, PORT_PEAK, &peak);
    plugin.connect_port(handle, PORT_RMS, &rms);
  }
  void keep()
  {
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(peak);
    benchmark::DoNotOptimize(rms);
    benchmark::ClobberMemory();
  }
};

// Runs the meter over the signal in the given blocks; with powf_lengths,
// also computes before each block the falloff for that length.
void bench_meter(benchmark::State& state,
                 const std::vector<float>& signal,
                 const std::vector<uint32_t>& blocks,
                 const std::vector<float>* powf_lengths = nullptr)
{
  LV2_Handle handle =
    meter_descriptor.instantiate(&meter_descriptor, SAMPLE_RATE, "", nullptr);
  if (handle == nullptr) {
    state.SkipWithError("the meter could not be instantiated");
    return;
  }
  Controls controls;
  controls.connect(meter_descriptor, handle);
  auto& meter = *static_cast<Meter*>(handle);

  const auto run_signal = [&] {
    const float* input = signal.data();
    for (size_t block = 0; block < blocks.size(); ++block) {
      if (powf_lengths != nullptr) {
        benchmark::DoNotOptimize(falloff_power((*powf_lengths)[block]));
      }
      meter.p_input = input; // what connect_port does, without the call
      meter_run(handle, blocks[block]);
      input += blocks[block];
    }
  };
  run_signal(); // untimed, so that the meters start in their steady state
  for (auto _ : state) {
    run_signal();
    controls.keep();
  }
  count_samples(state);
  meter_descriptor.cleanup(handle);
}

// One instance of a variant in a host of the mixer-strip picture, whose
// queue_draw counts the requests.
class DrawingHost {
public:
  explicit DrawingHost(const LV2_Descriptor& plugin)
    : plugin_(plugin)
    , handle_(plugin.instantiate(&plugin, SAMPLE_RATE, "", features_))
  {}
  ~DrawingHost()
  {
    if (handle_ != nullptr) plugin_.cleanup(handle_);
  }
  DrawingHost(const DrawingHost&) = delete;
  DrawingHost& operator=(const DrawingHost&) = delete;

  LV2_Handle handle() const { return handle_; }

  // Renders the picture once, as the host does when asked, and counts the
  // requests from here on: run then follows the picture's columns.
  void render()
  {
    static_cast<const InlineDisplayInterface*>(
      plugin_.extension_data(INLINE_DISPLAY_INTERFACE_URI))
      ->render(handle_, 112, 200);
    requests_ = 0;
  }

  void count_requests(benchmark::State& state) const
  {
    state.counters["draws/iteration"] = benchmark::Counter(
      static_cast<double>(requests_), benchmark::Counter::kAvgIterations);
  }

private:
  const LV2_Descriptor& plugin_;
  int64_t requests_ = 0;
  InlineDisplayQueue queue_ = { this, [](void* self) {
                                 ++static_cast<DrawingHost*>(self)->requests_;
                               } };
  LV2_Feature feature_ = { INLINE_DISPLAY_QUEUE_DRAW_URI, &queue_ };
  const LV2_Feature* features_[2] = { &feature_, nullptr };
  LV2_Handle handle_;
};

// The inline variant over the same blocks, its output in a buffer of its
// own or, in place, in the input's buffer; in a host that shows its
// picture in the mixer strip, so that run follows the picture's columns.
void bench_inline(benchmark::State& state,
                  std::vector<float> signal,
                  const std::vector<uint32_t>& blocks,
                  bool in_place)
{
  const LV2_Descriptor& plugin = inline_meter_descriptor;
  DrawingHost host(plugin);
  const LV2_Handle handle = host.handle();
  if (handle == nullptr) {
    state.SkipWithError("the inline variant could not be instantiated");
    return;
  }
  Controls controls;
  controls.connect(plugin, handle);
  auto& self = *static_cast<InlineMeter*>(handle);
  std::vector<float> output(signal.size());

  const auto run_signal = [&] {
    float* input = signal.data();
    float* out = in_place ? input : output.data();
    for (const uint32_t count : blocks) {
      // What connect_port does, without the calls.
      self.meters[0].p_input = input;
      self.p_outputs[0] = out;
      plugin.run(handle, count);
      input += count;
      out += count;
    }
  };
  run_signal();
  host.render();
  for (auto _ : state) {
    run_signal();
    controls.keep();
    benchmark::DoNotOptimize(output.data());
  }
  count_samples(state);
  host.count_requests(state);
}

// The stereo variant over the same blocks, two channels; its outputs in
// buffers of their own or, in place, in the inputs' buffers; in a host that
// shows its picture in the mixer strip. Time per frame.
void bench_stereo(benchmark::State& state,
                  std::vector<float> left,
                  std::vector<float> right,
                  const std::vector<uint32_t>& blocks,
                  bool in_place)
{
  const LV2_Descriptor& plugin = stereo_meter_descriptor;
  DrawingHost host(plugin);
  const LV2_Handle handle = host.handle();
  if (handle == nullptr) {
    state.SkipWithError("the stereo variant could not be instantiated");
    return;
  }
  float reset = 0.0f;
  float readings[STEREO_RMS_R + 1 - STEREO_LEVEL_L] = {};
  plugin.connect_port(handle, STEREO_RESET, &reset);
  for (uint32_t i = 0; i < std::size(readings); ++i) {
    plugin.connect_port(handle, STEREO_LEVEL_L + i, &readings[i]);
  }
  auto& self = *static_cast<StereoMeter*>(handle);
  std::vector<float> output_l(left.size());
  std::vector<float> output_r(right.size());

  const auto run_signal = [&] {
    size_t position = 0;
    for (const uint32_t count : blocks) {
      // What connect_port does, without the calls.
      self.meters[0].p_input = left.data() + position;
      self.meters[1].p_input = right.data() + position;
      self.p_outputs[0] = (in_place ? left : output_l).data() + position;
      self.p_outputs[1] = (in_place ? right : output_r).data() + position;
      plugin.run(handle, count);
      position += count;
    }
  };
  run_signal();
  host.render();
  for (auto _ : state) {
    run_signal();
    benchmark::DoNotOptimize(readings);
    benchmark::DoNotOptimize(output_l.data());
    benchmark::DoNotOptimize(output_r.data());
    benchmark::ClobberMemory();
  }
  count_samples(state);
  host.count_requests(state);
}

void bench_floor(benchmark::State& state,
                 const std::vector<float>& signal,
                 const std::vector<uint32_t>& blocks)
{
  FloorState floor{ 0.0f, static_cast<float>(9.72 / SAMPLE_RATE) };
  for (auto _ : state) {
    const float* input = signal.data();
    for (const uint32_t count : blocks) {
      floor_run(floor, input, count);
      input += count;
    }
    benchmark::DoNotOptimize(floor.mean_square);
    benchmark::ClobberMemory();
  }
  count_samples(state);
}

// One call of a maths function at the arguments run uses; the arguments
// cycle so that no call repeats the one before.
template<float (*function)(float)>
void bench_call(benchmark::State& state, std::vector<float> arguments)
{
  size_t next = 0;
  for (auto _ : state) {
    float argument = arguments[next];
    benchmark::DoNotOptimize(argument);
    benchmark::DoNotOptimize(function(argument));
    next = (next + 1) % arguments.size();
  }
}

float log10_of(float value)
{
  return std::log10(value);
}

// The signals and block lists live until the benchmarks have run.
struct Data {
  std::vector<std::vector<float>> signals;
  std::vector<std::vector<float>> right_signals; // stereo's right channel
  std::vector<std::vector<uint32_t>> constant_blocks;
  std::vector<std::vector<uint32_t>> alternating_blocks;
  std::vector<std::vector<float>> alternating_lengths; // as powf arguments
  std::vector<uint32_t> inline_blocks;
};

void register_all(const Data& data)
{
  for (size_t s = 0; s < data.signals.size(); ++s) {
    for (size_t b = 0; b < std::size(BLOCK_SIZES); ++b) {
      const std::vector<float>* signal = &data.signals[s];
      const std::vector<uint32_t>* constant = &data.constant_blocks[b];
      const std::vector<uint32_t>* alternating = &data.alternating_blocks[b];
      const std::vector<float>* lengths = &data.alternating_lengths[b];
      const uint32_t size = BLOCK_SIZES[b];
      benchmark::RegisterBenchmark(case_name(FLOOR, SIGNALS[s], size).c_str(),
                                   [=](benchmark::State& state) {
                                     bench_floor(state, *signal, *constant);
                                   });
      benchmark::RegisterBenchmark(
        case_name(CONSTANT, SIGNALS[s], size).c_str(),
        [=](benchmark::State& state) {
          bench_meter(state, *signal, *constant);
        });
      benchmark::RegisterBenchmark(
        case_name(ALTERNATING, SIGNALS[s], size).c_str(),
        [=](benchmark::State& state) {
          bench_meter(state, *signal, *alternating);
        });
      benchmark::RegisterBenchmark(
        case_name(PLUS_POWF, SIGNALS[s], size).c_str(),
        [=](benchmark::State& state) {
          bench_meter(state, *signal, *constant, lengths);
        });
    }
  }
  for (size_t s = 0; s < data.signals.size(); ++s) {
    const std::vector<float>* signal = &data.signals[s];
    const std::vector<uint32_t>* blocks = &data.inline_blocks;
    for (const bool in_place : { false, true }) {
      benchmark::RegisterBenchmark(
        case_name(
          in_place ? INLINE_IN_PLACE : INLINE, SIGNALS[s], INLINE_BLOCK_SIZE)
          .c_str(),
        [=](benchmark::State& state) {
          bench_inline(state, *signal, *blocks, in_place);
        });
    }
  }
  for (size_t s = 0; s < data.signals.size(); ++s) {
    for (size_t b = 0; b < std::size(BLOCK_SIZES); ++b) {
      const uint32_t size = BLOCK_SIZES[b];
      if (std::find(std::begin(STEREO_BLOCK_SIZES),
                    std::end(STEREO_BLOCK_SIZES),
                    size) == std::end(STEREO_BLOCK_SIZES)) {
        continue;
      }
      const std::vector<float>* left = &data.signals[s];
      const std::vector<float>* right = &data.right_signals[s];
      const std::vector<uint32_t>* blocks = &data.constant_blocks[b];
      for (const bool in_place : { false, true }) {
        benchmark::RegisterBenchmark(
          case_name(in_place ? STEREO_IN_PLACE : STEREO, SIGNALS[s], size)
            .c_str(),
          [=](benchmark::State& state) {
            bench_stereo(state, *left, *right, *blocks, in_place);
          });
      }
    }
  }
  // The alternating block lengths.
  std::vector<float> lengths;
  for (const uint32_t size : BLOCK_SIZES) {
    lengths.push_back(static_cast<float>(size - 1));
    lengths.push_back(static_cast<float>(size + 1));
  }
  benchmark::RegisterBenchmark(POWF, bench_call<falloff_power>, lengths);
  benchmark::RegisterBenchmark(
    LOG10F,
    bench_call<log10_of>,
    std::vector<float>{ 0.99f, 0.97f, 0.5f, 0.33f, 0.0123f, 0.25f, 1e-5f });
}

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  Data data;
  for (const char* signal : SIGNALS) {
    data.signals.push_back(make_signal(signal));
    data.right_signals.push_back(make_signal(signal, true));
  }
  for (const uint32_t size : BLOCK_SIZES) {
    data.constant_blocks.push_back(make_blocks(size, false));
    data.alternating_blocks.push_back(make_blocks(size, true));
    const std::vector<uint32_t>& alternating = data.alternating_blocks.back();
    data.alternating_lengths.emplace_back(alternating.begin(),
                                          alternating.end());
  }
  data.inline_blocks = make_blocks(INLINE_BLOCK_SIZE, false);
  register_all(data);

  RatioTable table;
  benchmark::RunSpecifiedBenchmarks(&table);
  table.print(std::cout);
  benchmark::Shutdown();
  return 0;
}
