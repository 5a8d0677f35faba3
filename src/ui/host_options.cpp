// SPDX-License-Identifier: ISC
#include "ui/host_options.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2_util.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>

namespace {

// The option's value if it is a float or an int, else 0.
float number_of(const LV2_Options_Option& option,
                LV2_URID float_type,
                LV2_URID int_type)
{
  if (option.type == float_type && option.size == sizeof(float)) {
    return *static_cast<const float*>(option.value);
  }
  if (option.type == int_type && option.size == sizeof(int32_t)) {
    return static_cast<float>(*static_cast<const int32_t*>(option.value));
  }
  return 0.0f;
}

} // namespace

HostOptions read_host_options(const LV2_Feature* const* features)
{
  HostOptions found{};
  found.parent = lv2_features_data(features, LV2_UI__parent);
  found.resize = static_cast<const LV2UI_Resize*>(
    lv2_features_data(features, LV2_UI__resize));
  const auto* map = static_cast<const LV2_URID_Map*>(
    lv2_features_data(features, LV2_URID__map));
  const auto* option = static_cast<const LV2_Options_Option*>(
    lv2_features_data(features, LV2_OPTIONS__options));
  if (map) {
    found.log = static_cast<const LV2_Log_Log*>(
      lv2_features_data(features, LV2_LOG__log));
    found.error = found.log ? map->map(map->handle, LV2_LOG__Error) : 0;
  }
  if (!map || !option) {
    return found;
  }
  const auto urid = [map](const char* uri) {
    return map->map(map->handle, uri);
  };
  const LV2_URID float_type = urid(LV2_ATOM__Float);
  const LV2_URID int_type = urid(LV2_ATOM__Int);
  const LV2_URID scale = urid(LV2_UI__scaleFactor);
  const LV2_URID rate = urid(LV2_PARAMETERS__sampleRate);
  const LV2_URID nominal = urid(LV2_BUF_SIZE__nominalBlockLength);
  const LV2_URID largest = urid(LV2_BUF_SIZE__maxBlockLength);
  float largest_block = 0.0f;
  for (; option->key; ++option) {
    const float value = number_of(*option, float_type, int_type);
    if (option->key == scale && option->type == float_type) {
      found.scale = value;
    } else if (option->key == rate) {
      found.sample_rate = value;
    } else if (option->key == nominal) {
      found.block = value;
    } else if (option->key == largest) {
      largest_block = value;
    }
  }
  if (!(found.block > 0.0f)) {
    found.block = largest_block;
  }
  return found;
}

void log_error(const HostOptions& options, const char* why)
{
  if (options.log) {
    options.log->printf(
      options.log->handle, options.error, "tolvanic UI: %s\n", why);
  }
}

double reset_hold_seconds(const HostOptions& options)
{
  // 150 ms spans several blocks at any usual block length and rate; a host
  // that runs longer blocks gets two of them, up to one second.
  constexpr double usual = 0.15;
  if (!(options.sample_rate > 0.0f) || !(options.block > 0.0f)) {
    return usual;
  }
  const double two_blocks = 2.0 * static_cast<double>(options.block) /
                            static_cast<double>(options.sample_rate);
  if (!(two_blocks > usual)) {
    return usual;
  }
  return two_blocks < 1.0 ? two_blocks : 1.0;
}
