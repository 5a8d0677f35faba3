// SPDX-License-Identifier: ISC
// The inline module's entry point. It is a module of its own, so that
// tolvanic.so keeps its one plug-in at index 0.
#include "inline/inline_meter.h"

#include <lv2/core/lv2.h>

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &inline_meter_descriptor : nullptr;
}
