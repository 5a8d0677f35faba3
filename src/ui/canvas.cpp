// SPDX-License-Identifier: ISC
#include "ui/canvas.h"

#include <X11/Xlibint.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <cstdlib>
#include <cstring>

namespace {

// Errors on the UI's own connection (a request that reaches a window the
// host has just destroyed, say) concern nobody else. Xlib hands each error
// to the display's converter for its code before it calls the process-wide
// error handler, which is the host's and may end the host (GTK 2's does);
// a converter that answers False drops the error there.
Bool keep_error_private(Display*, XErrorEvent*, xError*)
{
  return False;
}

void free_pixmap(Canvas* canvas)
{
  if (canvas->cr) {
    cairo_destroy(canvas->cr);
    canvas->cr = nullptr;
  }
  if (canvas->surface) {
    cairo_surface_destroy(canvas->surface);
    canvas->surface = nullptr;
  }
  if (canvas->pixmap) {
    XFreePixmap(canvas->display, canvas->pixmap);
    canvas->pixmap = 0;
  }
}

} // namespace

bool canvas_open(Canvas* canvas, Window parent, int width, int height)
{
  *canvas = Canvas{};
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    return false;
  }
  canvas->display = display;
  for (int code = 1; code <= 255; ++code) {
    XESetWireToError(display, code, keep_error_private);
  }

  const int screen = XDefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = XBlackPixel(display, screen);
  attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask;
  canvas->window = XCreateWindow(display,
                                 parent,
                                 0,
                                 0,
                                 static_cast<unsigned>(width),
                                 static_cast<unsigned>(height),
                                 0,
                                 CopyFromParent,
                                 InputOutput,
                                 CopyFromParent,
                                 CWBackPixel | CWEventMask,
                                 &attributes);
  XWindowAttributes created{};
  if (!XGetWindowAttributes(display, canvas->window, &created)) {
    canvas_close(canvas); // the parent was not a window
    return false;
  }
  canvas->window_alive = true;
  canvas->root = created.root;
  canvas->visual = created.visual;
  canvas->depth = created.depth;

  char name[] = "tolvanic";
  char class_name[] = "Tolvanic";
  XClassHint class_hint{ name, class_name };
  XSetClassHint(display, canvas->window, &class_hint);

  if (!canvas_resize_pixmap(canvas, width, height)) {
    canvas_close(canvas);
    return false;
  }
  canvas->gc = XCreateGC(display, canvas->pixmap, 0, nullptr);
  XMapWindow(display, canvas->window);
  XFlush(display);
  return true;
}

double canvas_dpi(const Canvas* canvas)
{
  const char* resources = XResourceManagerString(canvas->display);
  if (!resources) {
    return 0.0;
  }
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  char* type = nullptr;
  XrmValue value{};
  double dpi = 0.0;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) &&
      value.addr) {
    dpi = std::strtod(value.addr, nullptr);
  }
  XrmDestroyDatabase(database);
  return dpi;
}

bool canvas_resize_pixmap(Canvas* canvas, int width, int height)
{
  free_pixmap(canvas);
  // The pixmap belongs to the root window, not to the UI's window, so it
  // stays valid whatever the host does to the windows.
  canvas->pixmap = XCreatePixmap(canvas->display,
                                 canvas->root,
                                 static_cast<unsigned>(width),
                                 static_cast<unsigned>(height),
                                 static_cast<unsigned>(canvas->depth));
  canvas->surface = cairo_xlib_surface_create(
    canvas->display, canvas->pixmap, canvas->visual, width, height);
  canvas->cr = cairo_create(canvas->surface);
  canvas->width = width;
  canvas->height = height;
  return cairo_status(canvas->cr) == CAIRO_STATUS_SUCCESS;
}

void canvas_show(Canvas* canvas)
{
  if (!canvas->window_alive) {
    return;
  }
  cairo_surface_flush(canvas->surface);
  XCopyArea(canvas->display,
            canvas->pixmap,
            canvas->window,
            canvas->gc,
            0,
            0,
            static_cast<unsigned>(canvas->width),
            static_cast<unsigned>(canvas->height),
            0,
            0);
}

bool canvas_next_event(Canvas* canvas, XEvent* event)
{
  if (!XPending(canvas->display)) {
    return false;
  }
  XNextEvent(canvas->display, event);
  if (event->type == DestroyNotify &&
      event->xdestroywindow.window == canvas->window) {
    canvas->window_alive = false;
  }
  return true;
}

void canvas_close(Canvas* canvas)
{
  Display* display = canvas->display;
  if (!display) {
    return;
  }
  // A host may have destroyed its window, and so this one, just before:
  // the round trip brings that news in before anything is freed.
  XSync(display, False);
  XEvent event;
  while (canvas_next_event(canvas, &event)) {
  }
  free_pixmap(canvas);
  if (canvas->gc) {
    XFreeGC(display, canvas->gc);
  }
  if (canvas->window && canvas->window_alive) {
    XDestroyWindow(display, canvas->window);
  }
  XSync(display, False);
  XCloseDisplay(display);
  *canvas = Canvas{};
}
