// SPDX-License-Identifier: ISC
// The UI's X resources: its own connection to the display, a window inside
// the host's, and the pixmap that cairo draws into and that is copied to
// the window. Made together, remade together on resize, freed together.
#ifndef TOLVANIC_UI_CANVAS_H
#define TOLVANIC_UI_CANVAS_H

#include <X11/Xlib.h>
#include <cairo.h>

struct Canvas {
  Display* display;
  Window root;
  Window window;
  GC gc;
  Pixmap pixmap;
  cairo_surface_t* surface;
  cairo_t* cr;
  Visual* visual;
  int depth;
  int width, height; // of the pixmap
  bool window_alive; // false once the window is destroyed, by anyone
};

// Opens the display, makes a window of the given size inside `parent`
// and its pixmap, and shows the window. False, with nothing left open, if
// any of it fails.
bool canvas_open(Canvas* canvas, Window parent, int width, int height);

// The display's dots per inch from its Xft.dpi resource; 0 if unset.
double canvas_dpi(const Canvas* canvas);

// Makes a pixmap of the given size (and its cairo surface and context)
// in place of the current one.
bool canvas_resize_pixmap(Canvas* canvas, int width, int height);

// Copies the pixmap to the window, if the window still exists.
void canvas_show(Canvas* canvas);

// The next event queued for the UI without waiting for one; false when
// there is none. Notes the window's destruction on the way.
bool canvas_next_event(Canvas* canvas, XEvent* event);

// Frees everything in reverse order, after letting the server catch up,
// without touching a window that is already gone.
void canvas_close(Canvas* canvas);

#endif
