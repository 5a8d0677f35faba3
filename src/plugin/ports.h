// SPDX-License-Identifier: ISC
// The URIs and port indices of the three plug-ins and of their window,
// written once for all that use them: the plug-ins, the window, the tests
// and the benchmarks. Names only, so that the window can include it and
// still link no plug-in code. Hosts keep every one of these in their
// sessions, and the bundle description must say the same: never change
// them.
#ifndef TOLVANIC_PLUGIN_PORTS_H
#define TOLVANIC_PLUGIN_PORTS_H

#include <cstdint>

#define METER_URI "http://tolvanic.org/oss/lv2/tolvanic"
#define INLINE_METER_URI METER_URI "#inline"
#define STEREO_METER_URI METER_URI "#stereo"
#define METER_UI_URI METER_URI "#ui"

// tolvanic's ports; tolvanic inline has them too, at the same indices.
enum MeterPort : uint32_t {
  PORT_INPUT = 0, // audio in, the one channel metered
  PORT_RESET = 1, // control in, a rising edge above 0 clears the peak hold
  PORT_LEVEL = 2, // control out, falling-peak level, linear
  PORT_PEAK = 3,  // control out, peak hold since the last reset, linear
  PORT_RMS = 4,   // control out, RMS level, linear
};
constexpr uint32_t METER_PORTS = 5;

// tolvanic inline's audio output, which carries its input on unchanged.
constexpr uint32_t PORT_OUTPUT = 5;
constexpr uint32_t INLINE_METER_PORTS = 6;

// tolvanic stereo's ports: tolvanic's per channel, one reset for both.
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
constexpr uint32_t STEREO_METER_PORTS = 11;

// The three readings of a channel, in their ports' order.
enum Reading : uint32_t { READING_LEVEL, READING_PEAK, READING_RMS, READINGS };

// Where the ports of a plug-in that meters `channels` channels and passes
// them on lie: an audio input per channel, the reset, each channel's
// readings (the first channel's first), an audio output per channel. Both
// variants that insert into a track are laid out so, which lets one piece
// of code serve them.
struct InsertPorts {
  uint32_t channels;

  constexpr uint32_t input(uint32_t channel) const { return channel; }
  constexpr uint32_t reset() const { return channels; }
  constexpr uint32_t reading(uint32_t channel, Reading which) const
  {
    return channels + 1 + READINGS * channel + which;
  }
  constexpr uint32_t output(uint32_t channel) const
  {
    return reading(channels, READING_LEVEL) + channel;
  }
  constexpr uint32_t count() const { return output(channels); }
};

static_assert(InsertPorts{ 1 }.reset() == PORT_RESET &&
              InsertPorts{ 1 }.reading(0, READING_LEVEL) == PORT_LEVEL &&
              InsertPorts{ 1 }.reading(0, READING_RMS) == PORT_RMS &&
              InsertPorts{ 1 }.output(0) == PORT_OUTPUT &&
              InsertPorts{ 1 }.count() == INLINE_METER_PORTS);
static_assert(InsertPorts{ 2 }.input(1) == STEREO_IN_R &&
              InsertPorts{ 2 }.reset() == STEREO_RESET &&
              InsertPorts{ 2 }.reading(0, READING_LEVEL) == STEREO_LEVEL_L &&
              InsertPorts{ 2 }.reading(1, READING_PEAK) == STEREO_PEAK_R &&
              InsertPorts{ 2 }.reading(1, READING_RMS) == STEREO_RMS_R &&
              InsertPorts{ 2 }.output(0) == STEREO_OUT_L &&
              InsertPorts{ 2 }.count() == STEREO_METER_PORTS);

#endif
