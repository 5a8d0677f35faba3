// SPDX-License-Identifier: ISC
// The stereo variant's descriptor and operations.
#include "stereo/stereo_meter.h"

#include "meter/block.h"

#include <lv2/core/lv2.h>

#include <cstdlib>

constexpr LV2_Descriptor stereo_meter_descriptor = {
  STEREO_METER_URI,
  stereo_meter_instantiate,
  stereo_meter_connect_port,
  nullptr, // activate: the meters carry on across activation cycles
  stereo_meter_run,
  nullptr, // deactivate: nothing to stop
  stereo_meter_cleanup,
  stereo_meter_extension_data,
};

namespace {

// Its picture renders on the host's GUI thread, beside run.
InlineDisplaySurface* render(LV2_Handle instance,
                             uint32_t width,
                             uint32_t height) noexcept
{
  return display_render(
    static_cast<StereoMeter*>(instance)->display, width, height);
}

constexpr InlineDisplayInterface stereo_meter_display = { render };

} // namespace

LV2_Handle stereo_meter_instantiate(const LV2_Descriptor*,
                                    double rate,
                                    const char*,
                                    const LV2_Feature* const* features) noexcept
{
  auto* instance =
    static_cast<StereoMeter*>(std::calloc(1, sizeof(StereoMeter)));
  if (instance == nullptr) {
    return nullptr;
  }
  meter_set_rate(instance->left, rate);
  meter_set_rate(instance->right, rate);
  display_init(instance->display, 2, features);
  return instance;
}

void stereo_meter_connect_port(LV2_Handle instance,
                               uint32_t port,
                               void* data) noexcept
{
  // Hosts connect ports to null right after instantiation, so only store.
  auto& self = *static_cast<StereoMeter*>(instance);
  auto* values = static_cast<float*>(data);
  switch (port) {
    case STEREO_IN_L: self.left.p_input = values; break;
    case STEREO_IN_R: self.right.p_input = values; break;
    case STEREO_RESET: self.left.p_reset = self.right.p_reset = values; break;
    case STEREO_LEVEL_L: self.left.p_level = values; break;
    case STEREO_PEAK_L: self.left.p_peak = values; break;
    case STEREO_RMS_L: self.left.p_rms = values; break;
    case STEREO_LEVEL_R: self.right.p_level = values; break;
    case STEREO_PEAK_R: self.right.p_peak = values; break;
    case STEREO_RMS_R: self.right.p_rms = values; break;
    case STEREO_OUT_L: self.p_out_l = values; break;
    case STEREO_OUT_R: self.p_out_r = values; break;
    default: break; // not a port of this plug-in: ignored
  }
}

void stereo_meter_run(LV2_Handle instance, uint32_t sample_count) noexcept
{
  auto& self = *static_cast<StereoMeter*>(instance);
  const float* const in_l = self.left.p_input;
  const float* const in_r = self.right.p_input;
  float* const out_l = self.p_out_l;
  float* const out_r = self.p_out_r;
  // One reading of the one reset control serves both channels, so both
  // see the same edge.
  const float reset = *self.left.p_reset;
  MeterBlock left = meter_block_begin(self.left, reset, sample_count);
  MeterBlock right = meter_block_begin(self.right, reset, sample_count);

  // The two mean squares are independent chains of dependent operations;
  // interleaved in one pass they overlap, and a frame costs little more
  // than one channel's sample. A host may give any output the buffer of
  // any input (out_l on in_r's included), so both samples of a frame are
  // read before either is written: a write then lands only on samples that
  // have been read, and every sharing of buffers, a swap included, carries
  // the inputs on unchanged.
  for (uint32_t i = 0; i < sample_count; ++i) {
    const float l = in_l[i];
    const float r = in_r[i];
    meter_block_sample(left, l);
    meter_block_sample(right, r);
    out_l[i] = l;
    out_r[i] = r;
  }

  meter_block_end(self.left, left);
  meter_block_end(self.right, right);
  if (display_count_frames(self.display, sample_count)) {
    const MeterReadings readings[] = {
      { self.left.level, self.left.peak, self.left.mean_square },
      { self.right.level, self.right.peak, self.right.mean_square },
    };
    display_hand_over(self.display, readings);
  }
}

void stereo_meter_cleanup(LV2_Handle instance) noexcept
{
  display_free(static_cast<StereoMeter*>(instance)->display);
  std::free(instance);
}

const void* stereo_meter_extension_data(const char* uri) noexcept
{
  return display_extension_data(uri, stereo_meter_display);
}
