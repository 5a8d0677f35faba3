// SPDX-License-Identifier: ISC
// The meter's own LV2 user interface: an X11 window drawn with cairo that
// shows the level, RMS and peak hold on a dBFS scale and clears the peak
// hold when its readout is clicked; for the stereo variant a bar and a
// readout per channel, and a click on either readout presses the one
// reset. It is a view of the plug-in's output
// ports: port_event stores a value and marks the view stale, idle handles
// the window's events and draws when something is stale. Everything runs
// on the host's UI thread; there are no threads or timers of its own.
#include "plugin/ports.h"
#include "ui/canvas.h"
#include "ui/draw.h"
#include "ui/geometry.h"
#include "ui/host_options.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

struct MeterUi {
  LV2UI_Write_Function write;
  LV2UI_Controller controller;
  const LV2UI_Resize* host_resize; // null if the host cannot be asked
  int channels;                    // 2 for the stereo variant, else 1
  uint32_t reset_port;
  Canvas canvas;
  double scale;
  Layout layout;
  Readings readings[MAX_CHANNELS];
  Size configured;     // the window's size in its last configure event
  bool stale;          // the pixmap no longer shows the readings
  bool exposed;        // the window lost what it showed
  bool reset_high;     // the reset control is held up
  double reset_until;  // when to lower it, monotonic seconds
  double reset_hold_s; // how long a click holds it up
};

double now_seconds()
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) +
         static_cast<double>(now.tv_nsec) * 1e-9;
}

void write_reset(MeterUi* ui, float value)
{
  ui->write(ui->controller, ui->reset_port, sizeof value, 0, &value);
}

void fit_to(MeterUi* ui, int width, int height)
{
  if (width < 1 || height < 1) {
    return;
  }
  if (width != ui->canvas.width || height != ui->canvas.height) {
    canvas_resize_pixmap(&ui->canvas, width, height);
  }
  ui->layout = layout_for(width, height, ui->scale, ui->channels);
  ui->stale = true;
}

void press(MeterUi* ui)
{
  // The plug-in clears its peak hold on a rising edge that one of its runs
  // sees, so the 1 stays written for several blocks before the 0 follows.
  write_reset(ui, 1.0f);
  ui->reset_high = true;
  ui->reset_until = now_seconds() + ui->reset_hold_s;
  ui->stale = true;
}

void handle_event(MeterUi* ui, const XEvent& event)
{
  switch (event.type) {
    case Expose: ui->exposed = true; break;
    case ConfigureNotify:
      // A resize brings several of these; the last one counts.
      if (event.xconfigure.window == ui->canvas.window) {
        ui->configured = { event.xconfigure.width, event.xconfigure.height };
      }
      break;
    case ButtonPress:
      if (event.xbutton.button == Button1 &&
          readout_at(ui->layout, event.xbutton.x, event.xbutton.y) >= 0) {
        press(ui);
      }
      break;
    default: break;
  }
}

/// Instantiation class: opens the UI's window inside the host's. Null if the
/// host gives no parent window or the display cannot be opened, with the
/// reason in the host's log when it offers one.
LV2UI_Handle instantiate(const LV2UI_Descriptor*,
                         const char* plugin_uri,
                         const char*,
                         LV2UI_Write_Function write_function,
                         LV2UI_Controller controller,
                         LV2UI_Widget* widget,
                         const LV2_Feature* const* features) noexcept
{
  const HostOptions options = read_host_options(features);
  if (!options.parent || !write_function) {
    log_error(options,
              options.parent ? "the host gives no write function"
                             : "the host gives no parent window (ui:parent)");
    return nullptr;
  }
  auto* ui = static_cast<MeterUi*>(std::calloc(1, sizeof(MeterUi)));
  if (!ui) {
    log_error(options, "out of memory");
    return nullptr;
  }
  ui->write = write_function;
  ui->controller = controller;
  ui->host_resize = options.resize;
  ui->reset_hold_s = reset_hold_seconds(options);
  const bool stereo =
    plugin_uri && std::strcmp(plugin_uri, STEREO_METER_URI) == 0;
  ui->channels = stereo ? 2 : 1;
  ui->reset_port = stereo ? uint32_t{ STEREO_RESET } : uint32_t{ PORT_RESET };

  // The window is made at its natural size at scale 1 first: the display's
  // resolution can only be read once it is open.
  Size size = natural_size(1.0, ui->channels);
  const auto parent =
    static_cast<Window>(reinterpret_cast<uintptr_t>(options.parent));
  if (!canvas_open(&ui->canvas, parent, size.width, size.height)) {
    std::free(ui);
    log_error(options, "cannot open the X display or its window");
    return nullptr;
  }
  // A host's own scale factor wins over the display's resolution.
  ui->scale = options.scale > 0.0f && options.scale <= 4.0f
                ? static_cast<double>(options.scale)
                : scale_from_dpi(canvas_dpi(&ui->canvas));
  size = natural_size(ui->scale, ui->channels);
  if (size.width != ui->canvas.width || size.height != ui->canvas.height) {
    XResizeWindow(ui->canvas.display,
                  ui->canvas.window,
                  static_cast<unsigned>(size.width),
                  static_cast<unsigned>(size.height));
    XSync(ui->canvas.display, False); // the host sees it at this size
  }
  fit_to(ui, size.width, size.height);
  ui->configured = size;
  if (ui->host_resize) {
    ui->host_resize->ui_resize(
      ui->host_resize->handle, size.width, size.height);
  }
  *widget =
    reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->canvas.window));
  return ui;
}

/// Instantiation class: lowers a held reset and frees the window; a null
/// handle is ignored.
void cleanup(LV2UI_Handle handle) noexcept
{
  auto* ui = static_cast<MeterUi*>(handle);
  if (!ui) {
    return;
  }
  if (ui->reset_high) {
    write_reset(ui, 0.0f); // or the next click would raise nothing
  }
  canvas_close(&ui->canvas);
  std::free(ui);
}

// Where a reading published on `port` is kept; null for other ports. The
// stereo variant publishes three readings per channel, the left's first.
float* reading_of(MeterUi* ui, uint32_t port)
{
  const bool stereo = ui->channels == 2;
  const uint32_t first =
    stereo ? uint32_t{ STEREO_LEVEL_L } : uint32_t{ PORT_LEVEL };
  const uint32_t last =
    stereo ? uint32_t{ STEREO_RMS_R } : uint32_t{ PORT_RMS };
  if (port < first || port > last) {
    return nullptr;
  }
  Readings& readings = ui->readings[(port - first) / 3];
  float* const each[] = { &readings.level, &readings.peak, &readings.rms };
  return each[(port - first) % 3];
}

/// UI thread: stores a new reading of level, peak hold or RMS; the next idle
/// draws it. Anything else, and a null handle, is ignored.
void port_event(LV2UI_Handle handle,
                uint32_t port,
                uint32_t size,
                uint32_t format,
                const void* buffer) noexcept
{
  auto* ui = static_cast<MeterUi*>(handle);
  if (!ui || format != 0 || size != sizeof(float) || !buffer) {
    return;
  }
  float value;
  std::memcpy(&value, buffer, sizeof value);
  float* const reading = reading_of(ui, port);
  if (!reading) {
    return;
  }
  if (std::memcmp(reading, &value, sizeof value) != 0) {
    *reading = value;
    ui->stale = true;
  }
}

/// UI thread, called by the host at its idle rate: handles the window's
/// events, lowers the reset when its time is up, and redraws only when
/// something has changed. Returns 0: the UI never closes itself.
int idle(LV2UI_Handle handle) noexcept
{
  auto* ui = static_cast<MeterUi*>(handle);
  if (!ui) {
    return 0;
  }
  XEvent event;
  while (canvas_next_event(&ui->canvas, &event)) {
    handle_event(ui, event);
  }
  if (ui->configured.width != ui->canvas.width ||
      ui->configured.height != ui->canvas.height) {
    fit_to(ui, ui->configured.width, ui->configured.height);
  }
  if (ui->reset_high && now_seconds() >= ui->reset_until) {
    write_reset(ui, 0.0f);
    ui->reset_high = false;
    ui->stale = true;
  }
  if (ui->canvas.window_alive && (ui->stale || ui->exposed)) {
    if (ui->stale) {
      draw_meter(ui->canvas.cr, ui->layout, ui->readings, ui->reset_high);
    }
    canvas_show(&ui->canvas);
    XFlush(ui->canvas.display);
  }
  ui->stale = ui->exposed = false;
  return 0;
}

/// UI thread: the host resizes the UI; the window's new size arrives as an
/// event and is drawn at the next idle.
int resize(LV2UI_Feature_Handle handle, int width, int height) noexcept
{
  auto* ui = static_cast<MeterUi*>(handle);
  if (!ui || width < 1 || height < 1) {
    return 1;
  }
  XResizeWindow(ui->canvas.display,
                ui->canvas.window,
                static_cast<unsigned>(width),
                static_cast<unsigned>(height));
  XFlush(ui->canvas.display);
  return 0;
}

constexpr LV2UI_Idle_Interface idle_interface = { idle };
constexpr LV2UI_Resize resize_interface = {
  nullptr, // handle: the host passes the UI's own
  resize,
};

/// Discovery class: the idle and resize interfaces.
const void* extension_data(const char* uri) noexcept
{
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
    return &idle_interface;
  }
  if (std::strcmp(uri, LV2_UI__resize) == 0) {
    return &resize_interface;
  }
  return nullptr;
}

constexpr LV2UI_Descriptor descriptor = {
  METER_UI_URI, instantiate, cleanup, port_event, extension_data,
};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &descriptor : nullptr;
}
