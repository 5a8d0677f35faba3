// SPDX-License-Identifier: ISC
// Asks a top-level window to close, as a window manager does when its
// close button is clicked: a WM_DELETE_WINDOW message.
//
//   wm_close WINDOW-ID
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
  Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
  if (!display) {
    std::fprintf(stderr, "usage: wm_close WINDOW-ID (with DISPLAY set)\n");
    return 2;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] =
    static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  message.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &message);
  XSync(display, False);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
