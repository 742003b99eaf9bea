// ErrorBox on X11: a small modal window with the report's lines and an OK button, drawn with
// core Xlib so that it works on any display, with or without a window manager.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/ErrorBox.h"
#include "core/QuitSignal.h"

namespace CorvaneEngine {

namespace {
std::vector<std::string> SplitLines(const char* text) {
  std::vector<std::string> lines(1);
  for (const char* c = text; *c; ++c) {
    if (*c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += *c;
    }
  }
  return lines;
}

// Waits for the next event of the box, looking every 100 ms for SIGTERM or SIGINT: the box must
// not keep a program alive that was asked to end. False when such a signal came.
bool NextEvent(Display* display, XEvent& event) {
  while (XPending(display) == 0) {
    if (QuitSignal::Requested()) return false;
    pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    poll(&connection, 1, 100);
  }
  XNextEvent(display, &event);
  return true;
}

bool BoxWanted() {
  const char* setting = std::getenv("CORVANE_ERROR_BOX");
  if (setting && std::strcmp(setting, "0") == 0) return false;
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}
}  // namespace

void ShowErrorBox(const char* title, const char* text) {
  // After SIGTERM or SIGINT the program is ending; a box would only hold it up.
  if (!BoxWanted() || QuitSignal::Requested()) return;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;

  std::vector<std::string> lines = SplitLines(text);
  XFontStruct* font = XLoadQueryFont(display, "fixed");
  int lineHeight = font ? font->ascent + font->descent + 2 : 14;
  int textWidth = 200;
  for (const std::string& line : lines) {
    int w = font ? XTextWidth(font, line.c_str(), static_cast<int>(line.size()))
                 : static_cast<int>(line.size()) * 7;
    if (w > textWidth) textWidth = w;
  }
  const int margin = 16, buttonW = 80, buttonH = 26;
  int width = textWidth + 2 * margin;
  int height = static_cast<int>(lines.size()) * lineHeight + buttonH + 3 * margin;

  int screen = DefaultScreen(display);
  int x = (DisplayWidth(display, screen) - width) / 2;
  int y = (DisplayHeight(display, screen) - height) / 2;
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, width, height, 1,
                                      BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, title);
  XSizeHints hints{};
  hints.flags = PPosition | PMinSize | PMaxSize;
  hints.x = x;
  hints.y = y;
  hints.min_width = hints.max_width = width;
  hints.min_height = hints.max_height = height;
  XSetWMNormalHints(display, window, &hints);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  XSelectInput(display, window, ExposureMask | ButtonPressMask | KeyPressMask);
  XMapRaised(display, window);

  GC gc = XCreateGC(display, window, 0, nullptr);
  if (font) XSetFont(display, gc, font->fid);
  int buttonX = (width - buttonW) / 2, buttonY = height - margin - buttonH;

  for (bool open = true; open;) {
    XEvent event;
    if (!NextEvent(display, event)) break;
    switch (event.type) {
      case Expose: {
        int baseline = margin + (font ? font->ascent : 11);
        for (const std::string& line : lines) {
          XDrawString(display, window, gc, margin, baseline, line.c_str(), static_cast<int>(line.size()));
          baseline += lineHeight;
        }
        XDrawRectangle(display, window, gc, buttonX, buttonY, buttonW, buttonH);
        XDrawString(display, window, gc, buttonX + buttonW / 2 - 7, buttonY + buttonH / 2 + 4, "OK", 2);
        break;
      }
      case ButtonPress:
        open = !(event.xbutton.x >= buttonX && event.xbutton.x <= buttonX + buttonW &&
                 event.xbutton.y >= buttonY && event.xbutton.y <= buttonY + buttonH);
        break;
      case KeyPress: {
        KeySym key = XLookupKeysym(&event.xkey, 0);
        open = !(key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space);
        break;
      }
      case ClientMessage:
        open = static_cast<Atom>(event.xclient.data.l[0]) != deleteWindow;
        break;
      default:
        break;
    }
  }
  XFreeGC(display, gc);
  if (font) XFreeFont(display, font);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
}

}  // namespace CorvaneEngine
