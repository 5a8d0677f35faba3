// SPDX-License-Identifier: ISC
// The built module loaded with dlopen, as a host loads it, and an instance
// of it wired to buffers of its own; plus the varied signals the real-time
// and concurrency tests feed it.
#ifndef TOLVANIC_TESTS_HOSTED_METER_H
#define TOLVANIC_TESTS_HOSTED_METER_H

#include "plugin/ports.h"
#include "port_bits.h"

#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include <dlfcn.h>

#ifndef TOLVANIC_MODULE
#error "TOLVANIC_MODULE must name the built plug-in module"
#endif

// The first plug-in of a module, which is never unloaded, like a host that
// keeps its plug-ins. A second call for the same module costs no allocation.
inline const LV2_Descriptor& load_plugin(const char* path)
{
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) std::abort();
  using Entry = const LV2_Descriptor* (*)(uint32_t);
  auto entry = reinterpret_cast<Entry>(dlsym(module, "lv2_descriptor"));
  if (entry == nullptr || entry(0) == nullptr) std::abort();
  return *entry(0);
}

inline const LV2_Descriptor& loaded_plugin()
{
  static const LV2_Descriptor& descriptor = load_plugin(TOLVANIC_MODULE);
  return descriptor;
}

// The bit patterns a run left on the three output ports; outputs start each
// run as a NaN the plug-in never writes, so unwritten ports are visible.
struct PortBits {
  uint32_t level;
  uint32_t peak;
  uint32_t rms;
  bool operator==(const PortBits& other) const
  {
    return level == other.level && peak == other.peak && rms == other.rms;
  }
};

class HostedMeter {
public:
  explicit HostedMeter(double rate,
                       const LV2_Descriptor& plugin = loaded_plugin(),
                       const LV2_Feature* const* features = nullptr)
    : plugin_(plugin)
    , handle_(plugin_.instantiate(&plugin_, rate, "", features))
  {
    if (handle_ == nullptr) std::abort();
    connect();
  }
  ~HostedMeter() { plugin_.cleanup(handle_); }
  HostedMeter(const HostedMeter&) = delete;
  HostedMeter& operator=(const HostedMeter&) = delete;

  // Connects every port to this object's buffers; allocates nothing.
  void connect()
  {
    plugin_.connect_port(handle_, PORT_RESET, &reset);
    plugin_.connect_port(handle_, PORT_LEVEL, &level);
    plugin_.connect_port(handle_, PORT_PEAK, &peak);
    plugin_.connect_port(handle_, PORT_RMS, &rms);
  }

  // With in_place, the audio output shares the input's buffer, which the
  // plug-in must then leave as it is; otherwise it goes to `output`.
  PortBits run(const float* samples, uint32_t count, bool in_place = false)
  {
    level = peak = rms = unwritten();
    if (count > output.size()) std::abort();
    float* const input = const_cast<float*>(samples);
    plugin_.connect_port(handle_, PORT_INPUT, input);
    // tolvanic has no such port, and ignores the index.
    plugin_.connect_port(
      handle_, PORT_OUTPUT, in_place ? input : output.data());
    plugin_.run(handle_, count);
    return { bits_of(level), bits_of(peak), bits_of(rms) };
  }

  LV2_Handle handle() const { return handle_; }
  const LV2_Descriptor& plugin() const { return plugin_; }

  float reset = 0.0f;
  float level = 0.0f;
  float peak = 0.0f;
  float rms = 0.0f;
  std::vector<float> output = std::vector<float>(4096);

private:
  const LV2_Descriptor& plugin_;
  LV2_Handle handle_;
};

// A seeded signal made of sections: sines, noise, silence, near-floor and
// denormal values, overloads, and now and then an infinity or a NaN.
inline std::vector<float> varied_signal(uint32_t seed, size_t length)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> signal(length);
  size_t i = 0;
  while (i < length) {
    const size_t section =
      std::min(length - i, std::uniform_int_distribution<size_t>(1, 3000)(rng));
    const int kind = std::uniform_int_distribution<int>(0, 6)(rng);
    const float amplitude = std::pow(10.0f, unit(rng) * 6.0f - 2.0f);
    const double step = 0.001 + 0.3 * static_cast<double>(unit(rng) + 1.0f);
    for (size_t j = 0; j < section; ++j, ++i) {
      switch (kind) {
        case 0: signal[i] = 0.0f; break;
        case 1: signal[i] = amplitude * unit(rng); break;
        case 2: signal[i] = unit(rng) * 1e-38f; break;
        default:
          signal[i] = amplitude * static_cast<float>(
                                    std::sin(step * static_cast<double>(j)));
      }
    }
    if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
      const float odd[] = { std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            3e38f };
      signal[i - 1] = odd[std::uniform_int_distribution<int>(0, 3)(rng)];
    }
  }
  return signal;
}

// Block lengths a host may use, changing now and then, 0 included.
inline std::vector<uint32_t> varied_lengths(uint32_t seed, size_t blocks)
{
  std::mt19937 rng(seed);
  const uint32_t usual[] = { 0, 1, 17, 64, 128, 256, 256, 512, 1000, 1024 };
  std::vector<uint32_t> lengths(blocks);
  uint32_t length = 256;
  for (auto& each : lengths) {
    if (std::uniform_int_distribution<int>(0, 7)(rng) == 0) {
      length = usual[std::uniform_int_distribution<int>(0, 9)(rng)];
    }
    each = length;
  }
  return lengths;
}

#endif
