// SPDX-License-Identifier: ISC
// A built module loaded with dlopen, as a host loads it, and an instance of
// tolvanic wired to buffers of its own; plus the varied signals the
// host-level tests feed the plug-ins.
#ifndef TOLVANIC_TESTS_HOSTED_METER_H
#define TOLVANIC_TESTS_HOSTED_METER_H

#include "loaded_module.h"
#include "plugin/ports.h"
#include "port_bits.h"

#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#ifndef TOLVANIC_MODULE
#error "TOLVANIC_MODULE must name the built plug-in module"
#endif

// The first plug-in of a module, which is never unloaded, like a host that
// keeps its plug-ins. A second call for the same module costs no allocation.
inline const LV2_Descriptor& load_plugin(const char* path)
{
  LoadedModule module(path);
  const LV2_Descriptor* plugin = module.plugin(0);
  if (plugin == nullptr) std::abort();
  module.keep();
  return *plugin;
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

  // Connects the control ports to this object's values; allocates
  // nothing.
  void connect()
  {
    plugin_.connect_port(handle_, PORT_RESET, &reset);
    plugin_.connect_port(handle_, PORT_LEVEL, &level);
    plugin_.connect_port(handle_, PORT_PEAK, &peak);
    plugin_.connect_port(handle_, PORT_RMS, &rms);
  }

  PortBits run(const float* samples, uint32_t count)
  {
    level = peak = rms = unwritten();
    plugin_.connect_port(handle_, PORT_INPUT, const_cast<float*>(samples));
    plugin_.run(handle_, count);
    return { bits_of(level), bits_of(peak), bits_of(rms) };
  }

  LV2_Handle handle() const { return handle_; }
  const LV2_Descriptor& plugin() const { return plugin_; }
  uint32_t port_count() const { return METER_PORTS; }

  float reset = 0.0f;
  float level = 0.0f;
  float peak = 0.0f;
  float rms = 0.0f;

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
