// SPDX-License-Identifier: ISC
// The stereo variant's descriptor: the variant that inserts into a track,
// for two channels, metered side by side in one pass.
#include "stereo/stereo_meter.h"

constexpr LV2_Descriptor stereo_meter_descriptor =
  insert_meter_descriptor<2>(STEREO_METER_URI);
