// SPDX-License-Identifier: ISC
// The variants that insert into a track: the meter of tolvanic for each of
// CHANNELS channels (one for tolvanic inline, two for tolvanic stereo), an
// audio output per channel that carries its input on unchanged, and the
// picture that hosts of the inline-display extension show in the mixer
// strip. Each channel has a Meter record of its own, wired and run exactly
// as tolvanic's, so its readings equal tolvanic's fed that channel alone,
// bit for bit; the one reset control clears every peak hold.
//
// The operations are file-local templates, as every descriptor function
// is: each variant's descriptor (inline_meter.cpp, stereo_meter.cpp) is
// their instance for its channel count, compiled in its own module.
#ifndef TOLVANIC_INLINE_INSERT_METER_H
#define TOLVANIC_INLINE_INSERT_METER_H

#include "display/display.h"
#include "meter/block.h"
#include "plugin/meter.h"

#include <lv2/core/lv2.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

// The meter records come first, so a handle of any plug-in points at a
// Meter.
template<uint32_t CHANNELS>
struct InsertMeter {
  static_assert(CHANNELS >= 1 && CHANNELS <= STRIP_MAX_CHANNELS);
  Meter meters[CHANNELS];
  float* p_outputs[CHANNELS];
  MeterDisplay display;
};

namespace {

// Calls step(0), step(1) and so on, one for each channel, written out one
// after the other rather than as a loop, so that each channel's running
// values keep registers of their own.
template<uint32_t... CHANNEL, typename Step>
inline void each_channel(std::integer_sequence<uint32_t, CHANNEL...>, Step step)
{
  (step(CHANNEL), ...);
}

// Instantiation class: allocates one zero-filled record; null if that
// fails. Takes the host's queue_draw feature if it offers one.
template<uint32_t CHANNELS>
LV2_Handle instantiate(const LV2_Descriptor*,
                       double rate,
                       const char*,
                       const LV2_Feature* const* features) noexcept
{
  auto* self = static_cast<InsertMeter<CHANNELS>*>(
    std::calloc(1, sizeof(InsertMeter<CHANNELS>)));
  if (self == nullptr) {
    return nullptr;
  }
  for (Meter& meter : self->meters) {
    meter_set_rate(meter, rate);
  }
  display_init(self->display, CHANNELS, features);
  return self;
}

// Audio class, real-time safe: stores the pointer, reads nothing through
// it (hosts connect ports to null right after instantiation).
template<uint32_t CHANNELS>
void connect_port(LV2_Handle instance, uint32_t port, void* data) noexcept
{
  constexpr InsertPorts PORTS{ CHANNELS };
  auto& self = *static_cast<InsertMeter<CHANNELS>*>(instance);
  auto* values = static_cast<float*>(data);
  if (port < PORTS.reset()) {
    self.meters[port - PORTS.input(0)].p_input = values;
  } else if (port == PORTS.reset()) {
    for (Meter& meter : self.meters) {
      meter.p_reset = values;
    }
  } else if (port < PORTS.output(0)) {
    const uint32_t reading = port - PORTS.reading(0, READING_LEVEL);
    Meter& meter = self.meters[reading / READINGS];
    float** const ports[READINGS] = { &meter.p_level,
                                      &meter.p_peak,
                                      &meter.p_rms };
    *ports[reading % READINGS] = values;
  } else if (port < PORTS.count()) {
    self.p_outputs[port - PORTS.output(0)] = values;
  }
  // Any other index is not a port of this plug-in: ignored.
}

// Audio class, real-time safe: meters the block and carries it to the
// outputs, whatever buffers the host shares between inputs and outputs,
// then hands the readings to the mixer-strip picture. No allocation, lock
// or system call.
template<uint32_t CHANNELS>
void run(LV2_Handle instance, uint32_t sample_count) noexcept
{
  auto& self = *static_cast<InsertMeter<CHANNELS>*>(instance);
  if constexpr (CHANNELS == 1) {
    // tolvanic's own run, then the copy. Metering first: in place, the
    // output buffer is the input, and the copy is skipped.
    const float* const input = self.meters[0].p_input;
    float* const output = self.p_outputs[0];
    meter_run(&self.meters[0], sample_count);
    if (output != input && sample_count != 0) {
      std::memcpy(output, input, sample_count * sizeof(float));
    }
  } else {
    constexpr auto channels = std::make_integer_sequence<uint32_t, CHANNELS>{};
    const float* inputs[CHANNELS];
    float* outputs[CHANNELS];
    each_channel(channels, [&](uint32_t c) {
      inputs[c] = self.meters[c].p_input;
      outputs[c] = self.p_outputs[c];
    });
    // One reading of the one reset control serves every channel, so all
    // see the same edge.
    const float reset = *self.meters[0].p_reset;
    MeterBlock blocks[CHANNELS];
    each_channel(channels, [&](uint32_t c) {
      blocks[c] = meter_block_begin(self.meters[c], reset, sample_count);
    });

    // The channels' mean squares are independent chains of dependent
    // operations; interleaved in one pass they overlap, and a frame costs
    // little more than one channel's sample. A host may give any output
    // the buffer of any input (the left output on the right input's
    // included), so every sample of a frame is read before any is written:
    // a write then lands only on samples that have been read, and every
    // sharing of buffers, a swap included, carries the inputs on unchanged.
    for (uint32_t i = 0; i < sample_count; ++i) {
      float frame[CHANNELS];
      each_channel(channels, [&](uint32_t c) { frame[c] = inputs[c][i]; });
      each_channel(
        channels, [&](uint32_t c) { meter_block_sample(blocks[c], frame[c]); });
      each_channel(channels, [&](uint32_t c) { outputs[c][i] = frame[c]; });
    }

    each_channel(channels, [&](uint32_t c) {
      meter_block_end(self.meters[c], blocks[c]);
    });
  }
  if (display_count_frames(self.display, sample_count)) {
    MeterReadings readings[CHANNELS];
    for (uint32_t c = 0; c < CHANNELS; ++c) {
      const Meter& meter = self.meters[c];
      readings[c] = { meter.level, meter.peak, meter.mean_square };
    }
    display_hand_over(self.display, readings);
  }
}

// Instantiation class: releases the instance and its picture.
template<uint32_t CHANNELS>
void cleanup(LV2_Handle instance) noexcept
{
  display_free(static_cast<InsertMeter<CHANNELS>*>(instance)->display);
  std::free(instance);
}

// The GUI thread's call, beside run.
template<uint32_t CHANNELS>
InlineDisplaySurface* render(LV2_Handle instance,
                             uint32_t width,
                             uint32_t height) noexcept
{
  return display_render(
    static_cast<InsertMeter<CHANNELS>*>(instance)->display, width, height);
}

template<uint32_t CHANNELS>
constexpr InlineDisplayInterface DISPLAY_INTERFACE = { render<CHANNELS> };

// Discovery class: the inline-display interface, null for any other URI.
template<uint32_t CHANNELS>
const void* extension_data(const char* uri) noexcept
{
  return display_extension_data(uri, DISPLAY_INTERFACE<CHANNELS>);
}

// The descriptor of the variant of CHANNELS channels.
template<uint32_t CHANNELS>
constexpr LV2_Descriptor insert_meter_descriptor(const char* uri)
{
  return {
    uri,
    instantiate<CHANNELS>,
    connect_port<CHANNELS>,
    nullptr, // activate: the meters carry on across activation cycles
    run<CHANNELS>,
    nullptr, // deactivate: nothing to stop
    cleanup<CHANNELS>,
    extension_data<CHANNELS>,
  };
}

} // namespace

#endif
