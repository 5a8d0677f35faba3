// SPDX-License-Identifier: ISC
// Publication of the level and RMS readings on their output ports.
#ifndef TOLVANIC_METER_REPORT_H
#define TOLVANIC_METER_REPORT_H

#include "plugin/meter.h"

// Writes the level and the RMS level to their ports if each has moved by
// more than 0.2 dB since it was last written, or 0 once on silence.
// Real-time safe: at most two log10f and one sqrtf, nothing allocated.
void meter_report_levels(Meter& meter) noexcept;

#endif
