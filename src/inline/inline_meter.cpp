// SPDX-License-Identifier: ISC
// The inline variant's descriptor: the variant that inserts into a track,
// for one channel.
#include "inline/inline_meter.h"

constexpr LV2_Descriptor inline_meter_descriptor =
  insert_meter_descriptor<1>(INLINE_METER_URI);
