// SPDX-License-Identifier: ISC
// The UI module in a host of the test's own on a private X server (run it
// through with_xvfb.sh), loaded with dlopen as suil loads it. Links none of
// the module's code but its layout, to know where to click.
#include "loaded_module.h"
#include "plugin/ports.h"
#include "ui/geometry.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

// GoogleTest first: Xlib's macros (None, Bool, Status) would break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int host_x_errors = 0; // errors that reached this host's own handler
int count_error(Display*, XErrorEvent*)
{
  return ++host_x_errors, 0;
}

const char* const URIS[] = { LV2_ATOM__Float,
                             LV2_ATOM__Int,
                             LV2_UI__scaleFactor,
                             LV2_PARAMETERS__sampleRate,
                             LV2_BUF_SIZE__nominalBlockLength,
                             LV2_LOG__Error };
LV2_URID map_uri(LV2_URID_Map_Handle, const char* uri)
{
  for (LV2_URID i = 0; i < 6; ++i) {
    if (std::strcmp(URIS[i], uri) == 0) {
      return i + 1;
    }
  }
  return 0;
}

struct Write {
  uint32_t port;
  float value;
  Clock::time_point at;
};
std::vector<Write> writes;
void record_write(LV2UI_Controller,
                  uint32_t port,
                  uint32_t,
                  uint32_t,
                  const void* buffer)
{
  writes.push_back({ port, *static_cast<const float*>(buffer), Clock::now() });
}
Size asked{};
int record_size(LV2UI_Feature_Handle, int width, int height)
{
  asked = { width, height };
  return 0;
}

int open_fds()
{
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (readdir(dir)) {
    ++count;
  }
  closedir(dir);
  return count;
}

// Where a synthetic press lands: on the first readout, on it with the
// right mouse button, on the last channel's bar, or on the second
// channel's readout.
enum Click { NO_CLICK, READOUT, BUTTON_3, ON_BAR, READOUT_R };

// One session of the UI: opened with the host's options and the display's
// resolution, clicked, perhaps losing its parent window before cleanup.
struct Session {
  const char* name;
  uint32_t channels; // 2: the UI of the stereo variant
  float scale;       // ui:scaleFactor; 0: not passed
  const char* dpi;   // the display's Xft.dpi; empty: not set
  int32_t block;     // the host's nominal block length, at 48 kHz
  Click click;       // where a synthetic press lands
  bool orphaned;     // the parent window is destroyed before cleanup
  Size size;         // the size the UI asks for
  double hold_ms;    // the reset held up at least this long; 0: no writes;
                     // -1: closed while it is held, which lowers it
};

// clang-format off
const Session SESSIONS[] = {
  { "plain",             1, 0,   "",     256,  NO_CLICK,  0, {96, 300},  0 },
  { "readout click",     1, 0,   "",     256,  READOUT,   0, {96, 300},  150 },
  { "long blocks",       1, 0,   "",     8192, READOUT,   0, {96, 300},  341 },
  { "closed while held", 1, 0,   "",     8192, READOUT,   0, {96, 300},  -1 },
  { "right click",       1, 0,   "",     256,  BUTTON_3,  0, {96, 300},  0 },
  { "click on the bar",  1, 0,   "",     256,  ON_BAR,    0, {96, 300},  0 },
  { "scale 2",           1, 2,   "",     256,  NO_CLICK,  0, {192, 600}, 0 },
  { "192 dpi",           1, 0,   "192",  256,  NO_CLICK,  0, {192, 600}, 0 },
  { "host scale wins",   1, 1.5, "192",  256,  NO_CLICK,  0, {144, 450}, 0 },
  { "72 dpi",            1, 0,   "72",   256,  NO_CLICK,  0, {96, 300},  0 },
  { "dpi not a number",  1, 0,   "nan",  256,  NO_CLICK,  0, {96, 300},  0 },
  { "dpi a word",        1, 0,   "high", 256,  NO_CLICK,  0, {96, 300},  0 },
  { "orphaned",          1, 0,   "",     256,  READOUT,   1, {96, 300},  150 },
  { "stereo",            2, 0,   "",     256,  NO_CLICK,  0, {148, 300}, 0 },
  { "stereo, L readout", 2, 0,   "",     256,  READOUT,   0, {148, 300}, 150 },
  { "stereo, R readout", 2, 0,   "",     256,  READOUT_R, 0, {148, 300}, 150 },
  { "stereo, R bar",     2, 0,   "",     256,  ON_BAR,    0, {148, 300}, 0 },
  { "stereo at 192 dpi", 2, 0,   "192",  256,  NO_CLICK,  0, {296, 600}, 0 },
};
// clang-format on

std::vector<std::string> logged; // the host's log: type, then message
int log_printf(LV2_Log_Handle, LV2_URID type, const char* format, ...)
{
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  logged.push_back(std::to_string(type) + " " + text);
  return 0;
}
int log_vprintf(LV2_Log_Handle, LV2_URID, const char*, va_list)
{
  return 0;
}

// The UI's module, loaded as suil loads it, and the features a host passes
// the UI: the URID map always; its log, a parent window (with a resize
// request it records) and options when given.
struct UiHost {
  const LoadedModule module{ TOLVANIC_UI_MODULE };
  const LV2UI_Descriptor* ui =
    module.entry<LV2UI_Descriptor>("lv2ui_descriptor", 0);
  LV2_URID_Map map{ nullptr, map_uri };
  LV2_Log_Log log{ nullptr, log_printf, log_vprintf };
  LV2UI_Resize resize{ nullptr, record_size };
  LV2_Feature features[6] = {};
  const LV2_Feature* list[7] = {};

  const LV2_Feature* const* offer(bool with_log,
                                  Window parent = 0,
                                  LV2_Options_Option* options = nullptr)
  {
    size_t count = 0;
    const auto add = [&](const char* uri, void* data) {
      features[count] = { uri, data };
      list[count] = &features[count];
      list[++count] = nullptr;
    };
    add(LV2_URID__map, &map);
    if (with_log) add(LV2_LOG__log, &log);
    if (parent != 0) {
      add(LV2_UI__parent, reinterpret_cast<void*>(parent));
      add(LV2_UI__resize, &resize);
      add(LV2_UI__idleInterface, nullptr);
    }
    if (options != nullptr) add(LV2_OPTIONS__options, options);
    return list;
  }
};

// A UI that cannot open says why in the host's log, as an error, and
// nowhere else; without a log it says nothing.
TEST(UiHost, RefusalIsExplainedInTheHostsLog)
{
  UiHost host;
  ASSERT_NE(host.ui, nullptr) << host.module.error();
  struct Case {
    bool with_log;
    std::vector<std::string> logged;
  };
  const Case cases[] = {
    { true,
      { "6 tolvanic UI: the host gives no parent window (ui:parent)\n" } },
    { false, {} },
  };
  for (const Case& c : cases) {
    logged.clear();
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ(host.ui->instantiate(host.ui,
                                   "",
                                   "/",
                                   record_write,
                                   nullptr,
                                   &widget,
                                   host.offer(c.with_log)),
              nullptr);
    EXPECT_EQ(logged, c.logged);
  }
}

TEST(UiHost, SessionsKeepTheirPromisesAndLeaveNothingBehind)
{
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "no X display: run through with_xvfb.sh";
  XSetErrorHandler(count_error);
  const Window root = XDefaultRootWindow(display);
  UiHost host;
  const LV2UI_Descriptor* ui = host.ui;
  ASSERT_NE(ui, nullptr) << host.module.error();
  EXPECT_EQ(host.module.entry<LV2UI_Descriptor>("lv2ui_descriptor", 1),
            nullptr);
  const auto idle = static_cast<const LV2UI_Idle_Interface*>(
                      ui->extension_data(LV2_UI__idleInterface))
                      ->idle;
  const auto resize =
    static_cast<const LV2UI_Resize*>(ui->extension_data(LV2_UI__resize));

  int fds = 0;
  for (int round = 0; round < 2; ++round) {
    // The first round loads fonts, which stay cached in the process.
    if (round == 1) {
      fds = open_fds();
    }
    for (const Session& s : SESSIONS) {
      SCOPED_TRACE(s.name);
      if (*s.dpi != '\0') {
        const std::string resources = std::string("Xft.dpi:\t") + s.dpi;
        const auto* text =
          reinterpret_cast<const unsigned char*>(resources.data());
        XChangeProperty(display,
                        root,
                        XA_RESOURCE_MANAGER,
                        XA_STRING,
                        8,
                        PropModeReplace,
                        text,
                        static_cast<int>(resources.size()));
      } else {
        XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
      }
      const Window parent =
        XCreateSimpleWindow(display, root, 0, 0, 400, 700, 0, 0, 0);
      XMapWindow(display, parent);
      XSync(display, False);

      float scale = s.scale, rate = 48000.0f;
      int32_t block = s.block;
      LV2_Options_Option options[] = {
        { LV2_OPTIONS_INSTANCE, 0, 4, sizeof rate, 1, &rate },
        { LV2_OPTIONS_INSTANCE, 0, 5, sizeof block, 2, &block },
        { LV2_OPTIONS_INSTANCE, 0, 3, sizeof scale, 1, &scale },
        { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
      };
      if (s.scale == 0.0f) {
        options[2] = options[3];
      }
      writes.clear();
      LV2UI_Widget widget = nullptr;
      LV2UI_Handle handle =
        ui->instantiate(ui,
                        s.channels == 2 ? STEREO_METER_URI : METER_URI,
                        "/",
                        record_write,
                        nullptr,
                        &widget,
                        host.offer(false, parent, options));
      ASSERT_NE(handle, nullptr);
      const auto window = reinterpret_cast<Window>(widget);
      XWindowAttributes attributes{};
      XGetWindowAttributes(display, window, &attributes);
      EXPECT_EQ(asked.width, s.size.width);
      EXPECT_EQ(asked.height, s.size.height);
      EXPECT_EQ(attributes.width, s.size.width);
      EXPECT_EQ(attributes.height, s.size.height);

      // The readings' ports, and the reset's, which a UI never takes as a
      // reading.
      const uint32_t reset_port = InsertPorts{ s.channels }.reset();
      for (uint32_t port = reset_port;
           port <=
           InsertPorts{ s.channels }.reading(s.channels - 1, READING_RMS);
           ++port) {
        const float reading = 0.2f * static_cast<float>(port);
        ui->port_event(handle, port, sizeof reading, 0, &reading);
      }
      if (s.click != NO_CLICK) {
        const Layout layout = layout_for(
          s.size.width, s.size.height, 1.0, static_cast<int>(s.channels));
        const int channel =
          s.click == READOUT_R || (s.click == ON_BAR && s.channels == 2);
        const Rect& r =
          s.click == ON_BAR ? layout.bar[channel] : layout.readout[channel];
        XEvent press{};
        press.xbutton.type = ButtonPress;
        press.xbutton.window = window;
        press.xbutton.x = static_cast<int>(r.x + r.width / 2.0);
        press.xbutton.y = static_cast<int>(r.y + r.height / 2.0);
        press.xbutton.button = s.click == BUTTON_3 ? Button3 : Button1;
        XSendEvent(display, window, False, ButtonPressMask, &press);
      }
      XFlush(display);
      if (s.orphaned) {
        // Requests of the UI's own that reach its window, now gone, fail on
        // its connection and must not reach this host's error handler.
        idle(handle);
        XDestroyWindow(display, parent);
        XSync(display, False);
        resize->ui_resize(handle, 200, 400);
      }
      const int wait_ms =
        s.hold_ms > 0.0 ? static_cast<int>(s.hold_ms) + 500 : 50;
      for (auto until = Clock::now() + std::chrono::milliseconds(wait_ms);
           Clock::now() < until;) {
        idle(handle);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      const Clock::time_point closed = Clock::now();
      ui->cleanup(handle);
      // Calls that reach a UI after cleanup (jalv's timer may fire once more
      // while its window is torn down) carry a null handle.
      ui->port_event(nullptr, 2, sizeof scale, 0, &scale);
      EXPECT_EQ(idle(nullptr), 0);

      if (!s.orphaned) {
        Window up, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &up, &up, &children, &count);
        XFree(children);
        EXPECT_EQ(count, 0u) << "the UI's window outlived cleanup";
        XDestroyWindow(display, parent);
      }
      XSync(display, False);
      if (s.hold_ms == 0.0) {
        EXPECT_TRUE(writes.empty());
        continue;
      }
      // The reset port alone, raised and held for a run to see, lowered;
      // when the window closes first, by cleanup.
      ASSERT_EQ(writes.size(), 2u);
      EXPECT_EQ(writes[0].port, reset_port);
      EXPECT_EQ(writes[0].value, 1.0f);
      EXPECT_EQ(writes[1].port, reset_port);
      EXPECT_EQ(writes[1].value, 0.0f);
      const std::chrono::duration<double, std::milli> held =
        writes[1].at - writes[0].at;
      if (s.hold_ms < 0.0) {
        EXPECT_GE(writes[1].at, closed); // by cleanup, not by idle
        continue;
      }
      EXPECT_GE(held.count(), s.hold_ms);
      EXPECT_LT(held.count(), s.hold_ms + 400.0); // a busy machine is slow
    }
  }
  EXPECT_EQ(open_fds(), fds) << "file descriptors (X connections) leaked";
  EXPECT_EQ(host_x_errors, 0);
  XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
  XCloseDisplay(display);
}

} // namespace
