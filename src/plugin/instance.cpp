// SPDX-License-Identifier: ISC
// Creation, port wiring and destruction of meter instances.
#include "plugin/meter.h"

#include <cstdlib>

LV2_Handle meter_instantiate(const LV2_Descriptor*,
                             double rate,
                             const char*,
                             const LV2_Feature* const*) noexcept
{
  // Zero-filled: both last-published dB values start at 0 dB, which decides
  // the first publications of the level and RMS ports.
  auto* meter = static_cast<Meter*>(std::calloc(1, sizeof(Meter)));
  if (meter == nullptr) {
    return nullptr;
  }
  meter_set_rate(*meter, rate);
  return meter;
}

void meter_set_rate(Meter& meter, double rate) noexcept
{
  meter.rate = static_cast<float>(rate);
  // The quotient is taken in double and rounded once to float. The rate is
  // not validated: a rate of 0 gives an infinite coefficient, and run's
  // non-finite guard then holds the mean square at 0.
  meter.rms_coeff = static_cast<float>(9.72 / rate);
}

void meter_connect_port(LV2_Handle instance, uint32_t port, void* data) noexcept
{
  // Hosts connect ports to null right after instantiation, so only store.
  auto* meter = static_cast<Meter*>(instance);
  auto* values = static_cast<float*>(data);
  switch (port) {
    case PORT_INPUT: meter->p_input = values; break;
    case PORT_RESET: meter->p_reset = values; break;
    case PORT_LEVEL: meter->p_level = values; break;
    case PORT_PEAK: meter->p_peak = values; break;
    case PORT_RMS: meter->p_rms = values; break;
    default: break; // not a port of this plug-in: ignored
  }
}

void meter_cleanup(LV2_Handle instance) noexcept
{
  std::free(instance);
}

const void* meter_extension_data(const char*) noexcept
{
  return nullptr;
}
