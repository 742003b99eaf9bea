// The mouse and the pointer against the real headless Chromium, with real X input from xdotool:
// a double click fires dblclick, wheel notches send wheel events only, leaving the window ends
// the page's hover, and the window's X cursor (read back with XFixes) takes the shape of the
// page's CSS cursor under the pointer, unless the game hid the pointer.
#include <algorithm>
#include <chrono>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

#include "OverlayTestSupport.h"
#include "overlay/ClickCounter.h"
#include "presentation/DynamicTexture_GL.h"
#include "presentation/MouseSystem_SDL.h"

// Last: X's headers define None and Bool, which other headers use as names.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

using CorvaneEngine::Browser;
using CorvaneEngine::ClickCounter;
using CorvaneEngine::GraphicsSystem_GL;
using CorvaneEngine::PointerShape;

namespace {

// The pointer's image as the X server shows it.
struct CursorImage {
  int width = 0, height = 0, xhot = 0, yhot = 0;
  std::vector<unsigned long> pixels;
  bool operator==(const CursorImage& o) const {
    return width == o.width && height == o.height && xhot == o.xhot && yhot == o.yhot &&
           pixels == o.pixels;
  }
  bool Blank() const {
    for (unsigned long pixel : pixels)
      if ((pixel >> 24) != 0) return false;
    return !pixels.empty();
  }
};

CursorImage Read(Display* display) {
  CursorImage image;
  if (XFixesCursorImage* got = XFixesGetCursorImage(display)) {
    image = {got->width, got->height, got->xhot, got->yhot,
             std::vector<unsigned long>(got->pixels, got->pixels + got->width * got->height)};
    XFree(got);
  }
  return image;
}

class BrowserPointerTest : public CorvaneTest::BrowserOverlayTest {
 protected:
  void SetUp() override {
    BrowserOverlayTest::SetUp();
    if (HasFatalFailure()) return;
    display = XOpenDisplay(nullptr);
    ASSERT_NE(nullptr, display);
    int event, error;
    ASSERT_TRUE(XFixesQueryExtension(display, &event, &error));
  }

  void TearDown() override {
    if (display != nullptr) XCloseDisplay(display);
    BrowserOverlayTest::TearDown();
  }

  // A page of that body; once the browser is ready, loaded, and shown (its box at 0,0 red).
  bool Load(const std::string& body) {
    std::string url = Url("page.html",
                          "<div id=r style=\"position:fixed;left:0;top:0;width:8px;height:8px;"
                          "background:red\"></div>" +
                              body);
    if (!FramesUntil([&] { return browser->IsReady(); })) return false;
    browser->LoadURL(url.c_str());
    return Shows(2, 2, 255, 0);
  }

  // Whether the page's pixel becomes that red and green (the pages report in those two).
  bool Shows(int x, int y, int red, int green) {
    return FramesUntil([&] {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
      return p[2] == red && p[1] == green && p[3] == 255;
    });
  }

  // Real pointer input at window coordinates.
  void Xdo(int x, int y, const std::string& then = "") {
    ASSERT_EQ(0, CorvaneTest::RunCommand("xdotool mousemove --window " +
                                         std::to_string(window->GetWindowHandle()) + " " +
                                         std::to_string(x) + " " + std::to_string(y) + " " + then));
  }

  // What the pointer looks like over a window of the test's own that shows each cursor-font
  // glyph, in order. The server changes the image a moment after the pointer entered; each
  // glyph looks different from the one before, so the wait ends when the image changed.
  std::map<int, CursorImage> References(const std::vector<int>& glyphs) {
    std::map<int, CursorImage> images;
    CursorImage previous = Read(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    Window own =
        XCreateWindow(display, DefaultRootWindow(display), 600, 400, 40, 40, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    XMapRaised(display, own);
    XWarpPointer(display, None, own, 0, 0, 0, 0, 20, 20);
    for (int glyph : glyphs) {
      Cursor cursor = XCreateFontCursor(display, glyph);
      XDefineCursor(display, own, cursor);
      XSync(display, False);
      CursorImage& image = images[glyph];
      CorvaneTest::WaitUntil(
          [&] { return !(image = Read(display)).Blank() && !(image == previous); });
      previous = image;
      XFreeCursor(display, cursor);
    }
    XDestroyWindow(display, own);
    XSync(display, False);
    return images;
  }

  Display* display = nullptr;
};

}  // namespace

TEST(ClickCounter, CountsPressesOfOneButtonCloseInTimeAndPlace) {
  // Each case: the presses (button, x, y, milliseconds) after a first left press at (10, 10) at
  // time 1000, and the count of the last one.
  struct Press {
    int button, x, y;
    uint32_t time;
  };
  const struct {
    std::vector<Press> presses;
    int count;
  } cases[] = {
      {{{1, 10, 10, 1500}}, 2},
      {{{1, 12, 8, 1200}}, 2},
      {{{1, 10, 10, 1501}}, 1},
      {{{1, 13, 10, 1100}}, 1},
      {{{1, 10, 7, 1100}}, 1},
      {{{3, 10, 10, 1100}}, 1},
      {{{1, 10, 10, 1100}, {1, 10, 10, 1200}}, 3},
      {{{1, 10, 10, 1100}, {1, 10, 10, 1200}, {1, 10, 10, 1300}}, 3},
      {{{1, 10, 10, 1400}, {1, 10, 10, 1800}}, 3},  // each press within the time of the one before
  };
  for (const auto& c : cases) {
    ClickCounter counter;
    counter.Press(1, 10, 10, 1000);
    int count = 0;
    for (const Press& p : c.presses) count = counter.Press(p.button, p.x, p.y, p.time);
    EXPECT_EQ(c.count, count) << c.presses.size() << " presses, last at " << c.presses.back().time;
    EXPECT_EQ(c.count, counter.Release(c.presses.back().button));
  }
  ClickCounter wrapping;  // the millisecond clock wraps
  wrapping.Press(1, 0, 0, 0xFFFFFF00u);
  EXPECT_EQ(2, wrapping.Press(1, 0, 0, 0x40));
}

TEST_F(BrowserPointerTest, DoubleClickWheelAndLeavingTheWindowArriveAsABrowserSendsThem) {
  // d: green once the clicks' counts were 1, 2 and one dblclick fired. w: red counts the wheel
  // events, green shows any button event. h: green while hovered.
  ASSERT_TRUE(
      Load("<style>#h{background:red}#h:hover{background:lime}</style>"
           "<div id=d style=\"position:absolute;left:20px;top:0;width:20px;height:20px;"
           "background:red\"></div><div id=w style=\"position:absolute;left:50px;top:0;width:20px;"
           "height:20px;background:red\"></div><div id=h style=\"position:absolute;left:80px;top:0;"
           "width:20px;height:20px\"></div><script>var counts=[],dbl=0,wheels=0,buttons=0;"
           "d.onclick=e=>{counts.push(e.detail);show()};d.ondblclick=()=>{dbl++;show()};"
           "w.onwheel=()=>{wheels++;show()};for(const t of ['mousedown','mouseup','auxclick'])"
           "w.addEventListener(t,()=>{buttons++;show()});function show(){"
           "d.style.background=counts.join()=='1,2'&&dbl==1?'lime':'red';"
           "w.style.background=`rgb(${wheels*60},${buttons?255:0},0)`}</script>"));
  Xdo(30, 10, "click --repeat 2 --delay 80 1");
  EXPECT_TRUE(Shows(30, 10, 0, 255)) << "a double click";
  // One notch at a time: the browser may merge wheel events that queue up.
  for (int notch = 1; notch <= 3; ++notch) {
    Xdo(60, 10, "click 4");
    EXPECT_TRUE(Shows(60, 10, notch * 60, 0)) << "wheel notch " << notch;
  }
  Xdo(90, 10);
  ASSERT_TRUE(Shows(90, 10, 0, 255)) << "hovered";
  Xdo(400, 300);  // out of the 160 x 120 window
  EXPECT_TRUE(Shows(90, 10, 255, 0)) << "hover ended";
}

TEST_F(BrowserPointerTest, ThePointerTakesTheShapeOfThePageCursorUnderIt) {
  // A grid of 20 x 20 boxes, one per case: its style, its content, and the glyph of X's cursor
  // font that the pointer shows over it (-1: no pointer).
  const struct {
    const char* style;
    const char* content;
    int glyph;
  } cases[] = {
      {"cursor:default", "", XC_left_ptr},
      {"cursor:pointer", "", XC_hand2},
      {"cursor:text", "", XC_xterm},
      {"cursor:crosshair", "", XC_crosshair},
      {"cursor:move", "", XC_fleur},
      {"cursor:not-allowed", "", XC_circle},
      {"cursor:wait", "", XC_watch},
      {"cursor:n-resize", "", XC_top_side},
      {"cursor:s-resize", "", XC_bottom_side},
      {"cursor:e-resize", "", XC_right_side},
      {"cursor:w-resize", "", XC_left_side},
      {"cursor:ne-resize", "", XC_top_right_corner},
      {"cursor:nw-resize", "", XC_top_left_corner},
      {"cursor:se-resize", "", XC_bottom_right_corner},
      {"cursor:sw-resize", "", XC_bottom_left_corner},
      {"cursor:ew-resize", "", XC_sb_h_double_arrow},
      {"cursor:ns-resize", "", XC_sb_v_double_arrow},
      {"cursor:nesw-resize", "", XC_bottom_left_corner},
      {"cursor:nwse-resize", "", XC_bottom_right_corner},
      {"cursor:col-resize", "", XC_sb_h_double_arrow},
      {"cursor:row-resize", "", XC_sb_v_double_arrow},
      {"cursor:url(missing.png) 2 2, help", "", XC_question_arrow},  // the fallback keyword
      {"cursor:none", "", -1},
      // auto: over a link, text, an editable field, text that cannot be selected, nothing
      {"", "<a href=#x style=\"cursor:auto;display:block;height:20px\"></a>", XC_hand2},
      {"font:20px/20px monospace", "MM", XC_xterm},
      {"", "<div contenteditable style=\"height:20px\"></div>", XC_xterm},
      {"font:20px/20px monospace;user-select:none", "MM", XC_left_ptr},
      {"", "", XC_left_ptr},
  };
  const int columns = kWidth / 20;
  auto x = [&](size_t i) { return static_cast<int>(i % columns) * 20; };
  auto y = [&](size_t i) { return 10 + static_cast<int>(i / columns) * 20; };
  std::string body;
  for (size_t i = 0; i < std::size(cases); ++i) {
    body += "<div style=\"position:absolute;overflow:hidden;width:20px;height:20px;left:" +
            std::to_string(x(i)) + "px;top:" + std::to_string(y(i)) + "px;" + cases[i].style +
            "\">" + cases[i].content + "</div>";
  }
  // Between two cases the pointer rests on a box of its own, so that each case starts from
  // another shape than the one it expects.
  body +=
      "<div style=\"position:absolute;left:140px;top:100px;width:20px;height:20px;"
      "cursor:cell\"></div>";
  std::vector<int> glyphs{XC_plus};
  for (const auto& c : cases)
    if (c.glyph >= 0 && std::find(glyphs.begin(), glyphs.end(), c.glyph) == glyphs.end())
      glyphs.push_back(c.glyph);
  std::map<int, CursorImage> references = References(glyphs);
  ASSERT_TRUE(Load(body));
  auto showsOn = [&](int atX, int atY, int glyph) {
    Xdo(atX, atY);
    return FramesUntil([&] {
      CursorImage shown = Read(display);
      return glyph < 0 ? shown.Blank() : shown == references[glyph];
    });
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(showsOn(150, 110, XC_plus));
    EXPECT_TRUE(showsOn(x(i) + 6, y(i) + 10, cases[i].glyph))  // on the first glyph of a text
        << "box " << i << ": " << cases[i].style << cases[i].content;
  }
}

TEST_F(BrowserPointerTest, APointerTheGameHidStaysHiddenAndComesBackInThePageShape) {
  ASSERT_TRUE(
      Load("<div style=\"position:absolute;left:20px;top:20px;width:40px;height:40px;"
           "cursor:crosshair\"></div>"));
  const CursorImage crosshair = References({XC_crosshair})[XC_crosshair];
  CorvaneEngine::MouseSystem_SDL mouse;
  mouse.HideCursor();
  Xdo(40, 40);
  ASSERT_TRUE(FramesUntil([&] { return browser->GetPointerShape() == PointerShape::Crosshair; }));
  Frame();  // the frame in which the shape reaches the window
  EXPECT_TRUE(Read(display).Blank());
  mouse.ShowCursor();
  EXPECT_TRUE(FramesUntil([&] { return Read(display) == crosshair; }));
}
