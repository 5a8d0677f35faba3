// SPDX-License-Identifier: ISC
// tolvanic inline: the meter with an audio output that carries its input on
// unchanged, for hosts that insert plug-ins in a signal path (a DAW track or
// bus, a GStreamer pipeline). The readings come from the meter itself, so
// they equal tolvanic's bit for bit. Hosts of the inline-display extension
// show its picture in the mixer strip.
#ifndef TOLVANIC_INLINE_INLINE_METER_H
#define TOLVANIC_INLINE_INLINE_METER_H

#include "display/display.h"
#include "plugin/meter.h"

#include <lv2/core/lv2.h>

#include <cstdint>

// The meter record comes first, so a handle of either plug-in points at a
// Meter.
struct InlineMeter {
  Meter meter;
  float* p_output;
  MeterDisplay display;
};

extern const LV2_Descriptor inline_meter_descriptor;

// Instantiation class: allocates one zero-filled InlineMeter; null if that
// fails. Takes the host's queue_draw feature if it offers one.
LV2_Handle inline_meter_instantiate(
  const LV2_Descriptor* descriptor,
  double rate,
  const char* bundle_path,
  const LV2_Feature* const* features) noexcept;

// Audio class, real-time safe: stores the pointer, reads nothing through it.
void inline_meter_connect_port(LV2_Handle instance,
                               uint32_t port,
                               void* data) noexcept;

// Audio class, real-time safe: meters the block, then copies it to the
// output unless the host gave one buffer for both, then hands the readings
// to the mixer-strip picture. No allocation, lock or system call.
void inline_meter_run(LV2_Handle instance, uint32_t sample_count) noexcept;

// Instantiation class: releases the instance and its picture.
void inline_meter_cleanup(LV2_Handle instance) noexcept;

// Discovery class: the inline-display interface, null for any other URI.
const void* inline_meter_extension_data(const char* uri) noexcept;

#endif
