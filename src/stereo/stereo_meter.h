// SPDX-License-Identifier: ISC
// tolvanic stereo: two meters, one per channel, and two audio outputs that
// carry the inputs on unchanged, for stereo tracks and buses. Each
// channel's readings are tolvanic's fed that channel alone, bit for bit.
#ifndef TOLVANIC_STEREO_STEREO_METER_H
#define TOLVANIC_STEREO_STEREO_METER_H

#include "inline/insert_meter.h"

using StereoMeter = InsertMeter<2>;

extern const LV2_Descriptor stereo_meter_descriptor;

#endif
