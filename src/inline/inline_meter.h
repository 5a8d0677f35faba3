// SPDX-License-Identifier: ISC
// tolvanic inline: the meter with an audio output that carries its input on
// unchanged, for hosts that insert plug-ins in a signal path (a DAW track or
// bus, a GStreamer pipeline). Its readings are tolvanic's, bit for bit.
#ifndef TOLVANIC_INLINE_INLINE_METER_H
#define TOLVANIC_INLINE_INLINE_METER_H

#include "inline/insert_meter.h"

using InlineMeter = InsertMeter<1>;

extern const LV2_Descriptor inline_meter_descriptor;

#endif
