// SPDX-License-Identifier: ISC
// tolvanic stereo: two meters, one per channel, and two audio outputs that
// carry the inputs on unchanged, for stereo tracks and buses. Each channel
// has a Meter record of its own, wired and run exactly as tolvanic's, so
// its readings equal tolvanic's fed that channel alone, bit for bit; the
// one reset control clears both peak holds. Hosts of the inline-display
// extension show both channels' picture in the mixer strip.
#ifndef TOLVANIC_STEREO_STEREO_METER_H
#define TOLVANIC_STEREO_STEREO_METER_H

#include "../display/display.h"
#include "../plugin/meter.h"

#include <lv2/core/lv2.h>

#include <cstdint>

// Hosts store this URI in their sessions: never change it.
#define STEREO_METER_URI METER_URI "#stereo"

// Port indices; they must match the bundle description, and hosts keep
// them in their sessions.
enum StereoPort : uint32_t {
  STEREO_IN_L = 0,    // audio in, left
  STEREO_IN_R = 1,    // audio in, right
  STEREO_RESET = 2,   // control in, a rising edge clears both peak holds
  STEREO_LEVEL_L = 3, // control out, the left channel's three readings
  STEREO_PEAK_L = 4,
  STEREO_RMS_L = 5,
  STEREO_LEVEL_R = 6, // control out, the right channel's three readings
  STEREO_PEAK_R = 7,
  STEREO_RMS_R = 8,
  STEREO_OUT_L = 9,  // audio out, the left input unchanged
  STEREO_OUT_R = 10, // audio out, the right input unchanged
};

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
