// SPDX-License-Identifier: ISC
// The built-in demonstration signal, metered when no file is given.
#ifndef TOLVANIC_TOOLS_DEMO_SIGNAL_H
#define TOLVANIC_TOOLS_DEMO_SIGNAL_H

#include "audio_source.h"

#include <memory>

// A 1 kHz tone at -6 dBFS, a silence long enough to watch the level fall
// at 15 dB/s under the held peak, then a quieter burst at -20 dBFS with a
// reset halfway through it, so that the peak hold drops to the burst.
std::unique_ptr<AudioSource> make_demo_signal();

#endif
