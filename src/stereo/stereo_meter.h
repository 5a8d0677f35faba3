// SPDX-License-Identifier: ISC
// tolvanic stereo: two meters, one per channel, and two audio outputs that
// carry the inputs on unchanged, for stereo tracks and buses. Each channel
// has a Meter record of its own, wired and run exactly as tolvanic's, so
// its readings equal tolvanic's fed that channel alone, bit for bit; the
// one reset control clears both peak holds. Hosts of the inline-display
// extension show both channels' picture in the mixer strip.
#ifndef TOLVANIC_STEREO_STEREO_METER_H
#define TOLVANIC_STEREO_STEREO_METER_H

#include "display/display.h"
#include "plugin/meter.h"

#include <lv2/core/lv2.h>

#include <cstdint>

struct StereoMeter {
  Meter left;
  Meter right;
  float* p_out_l;
  float* p_out_r;
  MeterDisplay display;
};

extern const LV2_Descriptor stereo_meter_descriptor;

// Instantiation class: allocates one zero-filled StereoMeter; null if that
// fails. Takes the host's queue_draw feature if it offers one.
LV2_Handle stereo_meter_instantiate(
  const LV2_Descriptor* descriptor,
  double rate,
  const char* bundle_path,
  const LV2_Feature* const* features) noexcept;

// Audio class, real-time safe: stores the pointer, reads nothing through it.
void stereo_meter_connect_port(LV2_Handle instance,
                               uint32_t port,
                               void* data) noexcept;

// Audio class, real-time safe: meters both channels in one pass and copies
// each frame to the outputs, whatever buffers the host shares between
// inputs and outputs, then hands the readings to the mixer-strip picture.
// No allocation, lock or system call.
void stereo_meter_run(LV2_Handle instance, uint32_t sample_count) noexcept;

// Instantiation class: releases the instance and its picture.
void stereo_meter_cleanup(LV2_Handle instance) noexcept;

// Discovery class: the inline-display interface, null for any other URI.
const void* stereo_meter_extension_data(const char* uri) noexcept;

#endif
