// SPDX-License-Identifier: ISC
// The UI module in a host of the test's own, on a private X server (run it
// through with_xvfb.sh). Loaded with dlopen; links none of the module's
// code but its layout, to know where to click.
#include "geometry.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

// GoogleTest first: Xlib's macros (None, Bool, Status) would break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <vector>

#ifndef TOLVANIC_UI_MODULE
#error "TOLVANIC_UI_MODULE must name the built UI module"
#endif

namespace {

using Clock = std::chrono::steady_clock;

int host_x_errors = 0; // errors that reached this host's own handler
int count_error(Display*, XErrorEvent*)
{
  ++host_x_errors;
  return 0;
}

struct Write {
  uint32_t port;
  float value;
  double at_ms;
};

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

class UiHost : public ::testing::Test {
protected:
  void SetUp() override
  {
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X display: run through with_xvfb.sh";
    XSetErrorHandler(count_error);
    host_x_errors = 0;
    parent = XCreateSimpleWindow(
      display, XDefaultRootWindow(display), 0, 0, 400, 700, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    module = dlopen(TOLVANIC_UI_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using Entry = const LV2UI_Descriptor* (*)(uint32_t);
    auto entry = reinterpret_cast<Entry>(dlsym(module, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(1), nullptr);
    ui = entry(0);
    ASSERT_NE(ui, nullptr);
    idle = static_cast<const LV2UI_Idle_Interface*>(
             ui->extension_data(LV2_UI__idleInterface))
             ->idle;
    resize =
      static_cast<const LV2UI_Resize*>(ui->extension_data(LV2_UI__resize));
  }

  void TearDown() override
  {
    if (module) {
      dlclose(module);
    }
    if (display) {
      XCloseDisplay(display);
    }
  }

  // Instantiates the UI as suil does for an X11 UI, with the options given.
  LV2UI_Handle open(float scale = 0.0f, int32_t block = 256)
  {
    const float rate = 48000.0f;
    const LV2_Options_Option options[] = {
      { LV2_OPTIONS_INSTANCE,
        0,
        map_uri(LV2_UI__scaleFactor),
        sizeof scale,
        map_uri(LV2_ATOM__Float),
        &scale },
      { LV2_OPTIONS_INSTANCE,
        0,
        map_uri(LV2_PARAMETERS__sampleRate),
        sizeof rate,
        map_uri(LV2_ATOM__Float),
        &rate },
      { LV2_OPTIONS_INSTANCE,
        0,
        map_uri(LV2_BUF_SIZE__nominalBlockLength),
        sizeof block,
        map_uri(LV2_ATOM__Int),
        &block },
      { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
    };
    LV2_URID_Map map{ this, map_uri_for };
    LV2UI_Resize host_resize{ this, record_size };
    const LV2_Feature parent_feature{
      LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))
    };
    const LV2_Feature features[] = {
      { LV2_UI__resize, &host_resize },
      { LV2_URID__map, &map },
      { LV2_OPTIONS__options,
        const_cast<LV2_Options_Option*>(scale > 0.0f ? options : options + 1) },
      { LV2_UI__idleInterface, nullptr },
    };
    const LV2_Feature* list[] = { &parent_feature, &features[0], &features[1],
                                  &features[2],    &features[3], nullptr };
    writes.clear();
    start = Clock::now();
    widget = nullptr;
    return ui->instantiate(ui,
                           "http://tolvanic.org/oss/lv2/tolvanic",
                           "/",
                           record_write,
                           this,
                           &widget,
                           list);
  }

  Window window() const
  {
    return static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
  }

  int children_of_parent()
  {
    Window root, up, *children = nullptr;
    unsigned count = 0;
    XSync(display, False);
    XQueryTree(display, parent, &root, &up, &children, &count);
    XFree(children);
    return static_cast<int>(count);
  }

  void idle_for(int ms)
  {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
      idle(handle);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  void send_reading(uint32_t port, float value)
  {
    ui->port_event(handle, port, sizeof value, 0, &value);
  }

  static LV2_URID map_uri_for(LV2_URID_Map_Handle self, const char* uri)
  {
    return static_cast<UiHost*>(self)->map_uri(uri);
  }
  LV2_URID map_uri(const char* uri)
  {
    for (size_t i = 0; i < uris.size(); ++i) {
      if (uris[i] == uri) {
        return static_cast<LV2_URID>(i + 1);
      }
    }
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }
  static int record_size(LV2UI_Feature_Handle self, int width, int height)
  {
    static_cast<UiHost*>(self)->asked = { width, height };
    return 0;
  }
  static void record_write(LV2UI_Controller self,
                           uint32_t port,
                           uint32_t size,
                           uint32_t format,
                           const void* buffer)
  {
    auto* host = static_cast<UiHost*>(self);
    float value = -1.0f;
    if (format == 0 && size == sizeof value) {
      std::memcpy(&value, buffer, sizeof value);
    }
    const std::chrono::duration<double, std::milli> at =
      Clock::now() - host->start;
    host->writes.push_back({ port, value, at.count() });
  }

  Display* display = nullptr;
  Window parent = 0;
  void* module = nullptr;
  const LV2UI_Descriptor* ui = nullptr;
  int (*idle)(LV2UI_Handle) = nullptr;
  const LV2UI_Resize* resize = nullptr;
  LV2UI_Handle handle = nullptr;
  LV2UI_Widget widget = nullptr;
  std::vector<std::string> uris;
  std::vector<Write> writes;
  Size asked{};
  Clock::time_point start;
};

TEST_F(UiHost, OpensAndClosesManyTimesLeavingNothingBehind)
{
  // The first round loads fonts, which stay cached for the process.
  int fds = 0;
  for (int round = 0; round < 25; ++round) {
    handle = open();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(children_of_parent(), 1);
    send_reading(2, 0.5f);
    send_reading(3, 0.9f);
    send_reading(4, 0.3f);
    idle_for(20);
    ui->cleanup(handle);
    EXPECT_EQ(children_of_parent(), 0) << "round " << round;
    if (round == 0) {
      fds = open_fds();
    }
  }
  EXPECT_EQ(open_fds(), fds) << "file descriptors (X connections) leaked";
  EXPECT_TRUE(writes.empty()) << "a UI left alone writes nothing";

  // Calls that reach the UI after cleanup (jalv's timer may fire once more
  // while its window is torn down) carry a null handle.
  const float value = 0.5f;
  ui->port_event(nullptr, 2, sizeof value, 0, &value);
  EXPECT_EQ(idle(nullptr), 0);
  ui->cleanup(nullptr);
  EXPECT_EQ(host_x_errors, 0);
}

TEST_F(UiHost, SurvivesItsParentDestroyedFirst)
{
  handle = open();
  ASSERT_NE(handle, nullptr);
  idle_for(20);
  XDestroyWindow(display, parent);
  XSync(display, False);
  // Requests on the UI's own connection to its window, now gone, fail
  // there and must not reach this host's error handler.
  resize->ui_resize(handle, 200, 400);
  send_reading(2, 0.25f);
  idle_for(20);
  ui->cleanup(handle);
  XSync(display, False);
  EXPECT_EQ(host_x_errors, 0);
}

TEST_F(UiHost, ClickOnTheReadoutHoldsResetUpForARunThenLowersIt)
{
  struct Case {
    const char* name;
    bool on_readout;
    unsigned button;
    int32_t block;
    double hold_ms; // at least; 0: nothing may be written
  };
  const Case cases[] = {
    { "left click on the readout", true, Button1, 256, 150.0 },
    { "long blocks are held for two", true, Button1, 8192, 341.0 },
    { "right click on the readout", true, Button3, 256, 0.0 },
    { "left click on the bar", false, Button1, 256, 0.0 },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    handle = open(0.0f, c.block);
    ASSERT_NE(handle, nullptr);
    idle_for(20);
    const Size size = natural_size(1.0);
    const Layout layout = layout_for(size.width, size.height, 1.0);
    const Rect& target = c.on_readout ? layout.readout : layout.bar;
    XEvent press{};
    press.xbutton.type = ButtonPress;
    press.xbutton.window = window();
    press.xbutton.button = c.button;
    press.xbutton.x = static_cast<int>(target.x + target.width / 2.0);
    press.xbutton.y = static_cast<int>(target.y + target.height / 2.0);
    XSendEvent(display, window(), False, ButtonPressMask, &press);
    XFlush(display);
    idle_for(static_cast<int>(c.hold_ms) + 250);
    ui->cleanup(handle);
    if (c.hold_ms == 0.0) {
      EXPECT_TRUE(writes.empty());
      continue;
    }
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].port, 1u);
    EXPECT_EQ(writes[0].value, 1.0f);
    EXPECT_EQ(writes[1].port, 1u);
    EXPECT_EQ(writes[1].value, 0.0f);
    const double held = writes[1].at_ms - writes[0].at_ms;
    EXPECT_GE(held, c.hold_ms);
    EXPECT_LT(held, c.hold_ms + 200.0);
  }
  EXPECT_EQ(host_x_errors, 0);
}

TEST_F(UiHost, AsksForASizeThatFollowsTheDisplayScale)
{
  struct Case {
    float scale_option; // 0: none passed
    const char* resources;
    Size expected;
  };
  const Case cases[] = {
    { 0.0f, nullptr, { 96, 300 } },
    { 2.0f, nullptr, { 192, 600 } },
    { 0.0f, "Xft.dpi:\t192\n", { 192, 600 } },
    { 1.5f, "Xft.dpi:\t192\n", { 144, 450 } }, // the host's word wins
    { 0.0f, "Xft.dpi:\t72\n", { 96, 300 } },   // never smaller than at 96
  };
  const Window root = XDefaultRootWindow(display);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resources ? c.resources : "no resources");
    SCOPED_TRACE(c.scale_option);
    if (c.resources) {
      XChangeProperty(display,
                      root,
                      XA_RESOURCE_MANAGER,
                      XA_STRING,
                      8,
                      PropModeReplace,
                      reinterpret_cast<const unsigned char*>(c.resources),
                      static_cast<int>(std::strlen(c.resources)));
    } else {
      XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
    }
    XSync(display, False);
    handle = open(c.scale_option);
    ASSERT_NE(handle, nullptr);
    idle_for(20);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window(), &attributes);
    ui->cleanup(handle);
    EXPECT_EQ(asked.width, c.expected.width);
    EXPECT_EQ(asked.height, c.expected.height);
    EXPECT_EQ(attributes.width, c.expected.width);
    EXPECT_EQ(attributes.height, c.expected.height);
  }
  XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
  EXPECT_EQ(host_x_errors, 0);
}

} // namespace
