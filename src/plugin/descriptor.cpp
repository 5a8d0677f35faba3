// SPDX-License-Identifier: ISC
// The library's entry point and its one plug-in descriptor.
#include "plugin/meter.h"

#include <lv2/core/lv2.h>

constexpr LV2_Descriptor meter_descriptor = {
  METER_URI,     meter_instantiate,    meter_connect_port,
  nullptr, // activate: the meters carry on across activation cycles
  meter_run,
  nullptr, // deactivate: nothing to stop
  meter_cleanup, meter_extension_data,
};

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &meter_descriptor : nullptr;
}
