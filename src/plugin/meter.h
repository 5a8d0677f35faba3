// SPDX-License-Identifier: ISC
// The tolvanic instance record, its port map (from ports.h) and the LV2
// descriptor operations. Everything here except lv2_descriptor is internal
// to the plug-in library (hidden visibility).
#ifndef TOLVANIC_PLUGIN_METER_H
#define TOLVANIC_PLUGIN_METER_H

#include "plugin/ports.h"

#include <lv2/core/lv2.h>

#include <cstdint>

// One meter instance. The port pointers come first, in port-index order.
// The record is allocated zero-filled, so every field that
// meter_instantiate does not set starts at zero, false or null.
struct Meter {
  const float* p_input;
  float* p_reset;
  float* p_level;
  float* p_peak;
  float* p_rms;
  bool reset_high;          // reset control was above 0 at the previous run
  float level;              // falling-peak level, linear
  float peak;               // peak hold, linear
  float mean_square;        // smoothed mean square of the signal
  float last_level_db;      // level last published on PORT_LEVEL, in dB
  float last_rms_db;        // RMS last published on PORT_RMS, in dB
  float rate;               // sample rate in Hz
  float rms_coeff;          // per-sample smoothing coefficient
  float falloff;            // level falloff factor for falloff_samples
  uint32_t falloff_samples; // block length that falloff belongs to
};

extern const LV2_Descriptor meter_descriptor;

// Sets the fields that depend on the sample rate in a zero-filled record:
// what meter_instantiate does after allocating. Variants that embed a Meter
// in a record of their own start it with this.
void meter_set_rate(Meter& meter, double rate) noexcept;

// Instantiation class: allocates one zero-filled Meter; null if that fails.
LV2_Handle meter_instantiate(const LV2_Descriptor* descriptor,
                             double rate,
                             const char* bundle_path,
                             const LV2_Feature* const* features) noexcept;

// Audio class, real-time safe: stores the pointer, reads nothing through it.
void meter_connect_port(LV2_Handle instance,
                        uint32_t port,
                        void* data) noexcept;

// Audio class, real-time safe: no allocation, lock or system call.
void meter_run(LV2_Handle instance, uint32_t sample_count) noexcept;

// Instantiation class: releases the instance.
void meter_cleanup(LV2_Handle instance) noexcept;

// Discovery class: the plug-in offers no extension interface.
const void* meter_extension_data(const char* uri) noexcept;

#endif
