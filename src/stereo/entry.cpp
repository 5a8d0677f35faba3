// SPDX-License-Identifier: ISC
// The stereo module's entry point. It is a module of its own, so that the
// other two modules keep their one plug-in at index 0.
#include "stereo/stereo_meter.h"

#include <lv2/core/lv2.h>

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &stereo_meter_descriptor : nullptr;
}
