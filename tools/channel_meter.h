// SPDX-License-Identifier: ISC
// One plug-in instance metering one channel, with its own control ports.
#ifndef TOLVANIC_TOOLS_CHANNEL_METER_H
#define TOLVANIC_TOOLS_CHANNEL_METER_H

#include "plugin_host.h"
#include "results.h"

#include <lilv/lilv.h>

#include <cstdint>

class ChannelMeter {
public:
  ChannelMeter(const PluginHost& host, double rate);
  ~ChannelMeter();
  ChannelMeter(const ChannelMeter&) = delete;
  ChannelMeter& operator=(const ChannelMeter&) = delete;

  // Runs one block of `frames` samples, the reset control raised or not.
  void run(const float* input, uint32_t frames, bool reset);
  MeterReadings readings() const { return readings_; }

private:
  const PluginHost& host_;
  uint32_t input_port_;
  LilvInstance* instance_ = nullptr;
  float reset_ = 0.0f; // idles at 0, so that raising it is an edge
  MeterReadings readings_;
};

#endif
