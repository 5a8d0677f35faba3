// SPDX-License-Identifier: ISC
// What the host tells a UI about itself through its features.
#ifndef TOLVANIC_UI_HOST_OPTIONS_H
#define TOLVANIC_UI_HOST_OPTIONS_H

#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

struct HostOptions {
  void* parent;               // ui:parent, the window to embed in; required
  const LV2UI_Resize* resize; // ui:resize, to ask for a size; may be null
  float scale;                // ui:scaleFactor; 0 when the host passes none
  float sample_rate;          // the plug-in's rate in Hz; 0 when unknown
  float block; // its nominal (else largest) block length; 0 when unknown
  const LV2_Log_Log* log; // log:log, with urid:map to name its type; or null
  LV2_URID error;         // log:Error
};

// Reads the features a host passes to instantiate. Options of a type other
// than the one they are defined with are ignored.
HostOptions read_host_options(const LV2_Feature* const* features);

// Tells the host's log why the UI cannot open, if the host has a log; the
// UI never writes to stderr itself.
void log_error(const HostOptions& options, const char* why);

// How long a click holds the reset control up: long enough for the
// plug-in's next run to see it, whatever its block length.
double reset_hold_seconds(const HostOptions& options);

#endif
