// SPDX-License-Identifier: ISC
// The inline variant's descriptor and operations: the meter's own, plus the
// pass-through of the audio.
#include "inline/inline_meter.h"

#include <lv2/core/lv2.h>

#include <cstdlib>
#include <cstring>

constexpr LV2_Descriptor inline_meter_descriptor = {
  INLINE_METER_URI,
  inline_meter_instantiate,
  inline_meter_connect_port,
  nullptr, // activate: the meters carry on across activation cycles
  inline_meter_run,
  nullptr, // deactivate: nothing to stop
  inline_meter_cleanup,
  inline_meter_extension_data,
};

namespace {

// Its picture renders on the host's GUI thread, beside run.
InlineDisplaySurface* render(LV2_Handle instance,
                             uint32_t width,
                             uint32_t height) noexcept
{
  return display_render(
    static_cast<InlineMeter*>(instance)->display, width, height);
}

constexpr InlineDisplayInterface inline_meter_display = { render };

} // namespace

LV2_Handle inline_meter_instantiate(const LV2_Descriptor*,
                                    double rate,
                                    const char*,
                                    const LV2_Feature* const* features) noexcept
{
  auto* instance =
    static_cast<InlineMeter*>(std::calloc(1, sizeof(InlineMeter)));
  if (instance == nullptr) {
    return nullptr;
  }
  meter_set_rate(instance->meter, rate);
  display_init(instance->display, 1, features);
  return instance;
}

void inline_meter_connect_port(LV2_Handle instance,
                               uint32_t port,
                               void* data) noexcept
{
  auto* self = static_cast<InlineMeter*>(instance);
  if (port == PORT_OUTPUT) {
    self->p_output = static_cast<float*>(data);
  } else {
    meter_connect_port(&self->meter, port, data);
  }
}

void inline_meter_run(LV2_Handle instance, uint32_t sample_count) noexcept
{
  auto& self = *static_cast<InlineMeter*>(instance);
  const float* const input = self.meter.p_input;
  float* const output = self.p_output;
  // Metering first: in place, the output buffer is the input, and the copy
  // below is skipped.
  meter_run(&self.meter, sample_count);
  if (output != input && sample_count != 0) {
    std::memcpy(output, input, sample_count * sizeof(float));
  }
  if (display_count_frames(self.display, sample_count)) {
    const Meter& meter = self.meter;
    const MeterReadings readings[] = {
      { meter.level, meter.peak, meter.mean_square },
    };
    display_hand_over(self.display, readings);
  }
}

void inline_meter_cleanup(LV2_Handle instance) noexcept
{
  display_free(static_cast<InlineMeter*>(instance)->display);
  std::free(instance);
}

const void* inline_meter_extension_data(const char* uri) noexcept
{
  return display_extension_data(uri, inline_meter_display);
}
