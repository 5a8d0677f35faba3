// SPDX-License-Identifier: ISC
#include "channel_meter.h"

#include <stdexcept>

ChannelMeter::ChannelMeter(const PluginHost& host, double rate)
  : host_(host)
  , input_port_(host.ports().input)
{
  const PortMap& ports = host.ports();
  instance_ = host.instantiate(rate);
  if (!instance_) throw std::runtime_error("the plug-in failed to instantiate");
  readings_ = ports.defaults;
  lilv_instance_connect_port(instance_, ports.reset, &reset_);
  lilv_instance_connect_port(instance_, ports.level, &readings_.level);
  lilv_instance_connect_port(instance_, ports.peak, &readings_.peak);
  lilv_instance_connect_port(instance_, ports.rms, &readings_.rms);
  lilv_instance_activate(instance_);
}

ChannelMeter::~ChannelMeter()
{
  lilv_instance_deactivate(instance_);
  host_.release(instance_);
}

void ChannelMeter::run(const float* input, uint32_t frames, bool reset)
{
  // The plug-in only reads its input; LV2 passes every port as void*.
  lilv_instance_connect_port(instance_, input_port_, const_cast<float*>(input));
  reset_ = reset ? 1.0f : 0.0f;
  lilv_instance_run(instance_, frames);
}
