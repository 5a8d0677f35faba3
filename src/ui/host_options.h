// SPDX-License-Identifier: ISC
// What the host tells a UI about itself through its features.
#ifndef TOLVANIC_UI_HOST_OPTIONS_H
#define TOLVANIC_UI_HOST_OPTIONS_H

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

struct HostOptions {
  void* parent;               // ui:parent, the window to embed in; required
  const LV2UI_Resize* resize; // ui:resize, to ask for a size; may be null
  float scale;                // ui:scaleFactor; 0 when the host passes none
  float sample_rate;          // the plug-in's rate in Hz; 0 when unknown
  float block; // its nominal (else largest) block length; 0 when unknown
};

// Reads the features a host passes to instantiate. Options of a type other
// than the one they are defined with are ignored.
HostOptions read_host_options(const LV2_Feature* const* features);

// How long a click holds the reset control up: long enough for the
// plug-in's next run to see it, whatever its block length.
double reset_hold_seconds(const HostOptions& options);

#endif
