// Input into the overlay against the real headless Chromium, with real X input from xdotool:
// keys arrive with a desktop Chromium's key, code and keyCode, type their text once and repeat
// while held; clicks, double clicks and the wheel arrive as a browser sends them; leaving the
// window ends the hover; a select's list picks by mouse and keys; typing into the page stays out
// of the game; the window's X cursor (read back with XFixes) takes the page's CSS cursor.
#include <SDL_keysym.h>

#include <algorithm>
#include <iterator>
#include <map>

#include "OverlayTestSupport.h"
#include "overlay/KeyTranslation.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/InputSystem_SDL.h"
#include "presentation/MouseSystem_SDL.h"

// Last: X's headers define None and Bool, which other headers use as names.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

using CorvaneTest::Box;
using CorvaneTest::BrowserOverlayTest;
using namespace CorvaneTest::OverlayColours;

TEST(KeyTranslation, ModifiersBecomeTheBrowsersBits) {
  for (auto [sdl, bits] : {std::pair{KMOD_NUM | KMOD_CAPS, 0},
                           {KMOD_RALT, 1},
                           {KMOD_LCTRL, 2},
                           {KMOD_RMETA, 4},
                           {KMOD_LSHIFT, 8},
                           {KMOD_LALT | KMOD_RCTRL | KMOD_LMETA | KMOD_RSHIFT, 15}})
    EXPECT_EQ(bits, CorvaneEngine::KeyTranslation::Modifiers(sdl)) << sdl;
}

namespace {

class BrowserInputTest : public BrowserOverlayTest {
 protected:
  // Whether the page's expression comes to read `want` (what it read last goes to `got`).
  ::testing::AssertionResult Reads(const std::string& expression, const std::string& want,
                                   int seconds = 10) {
    std::string got;
    if (FramesUntil([&] { return (got = browser->Evaluate(expression)) == want; }, seconds))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << expression << " gave\n" << got << "\nnot\n" << want;
  }
};

}  // namespace

TEST_F(BrowserInputTest, KeysArriveAsADesktopChromiumOnAUsKeyboardReportsThemAndRepeat) {
  // A focused text field; every key event logged: "d" keydown, "p" keypress, "u" keyup, then
  // key, code, keyCode and (but for keypress) location; "r" marks a repeat.
  ASSERT_TRUE(Load(
      Url("keys.html", Box(0, 0, 20, 20, "red") +
                           "<input id=i autofocus style=\"position:absolute;top:60px\"><script>"
                           "var log=[];['keydown','keypress','keyup'].forEach(t=>addEventListener("
                           "t,e=>log.push(t[3]+'|'+e.key+'|'+e.code+'|'+e.keyCode+(t=='keypress'?"
                           "'':'|'+e.location)+(e.repeat?'|r':'')),true));</script>"),
      0, 0, kRed));
  // Typed with xdotool on the window, so that SDL's symbols, characters and X keycodes are real.
  // The expected events are a desktop Chromium's (its US layout): key, key on release (xdotool
  // lets Shift go first), code, keyCode, location and the keypress's code (0: none).
  struct Key {
    const char *keys, *key, *upKey, *code;
    int keyCode, location, press;
  };
  auto events = [](const Key& k) {
    std::string shift = std::string(k.keys).rfind("shift+", 0) == 0 ? "Shift|ShiftLeft|16|1 " : "";
    std::string rest = std::string("|") + k.code + "|" + std::to_string(k.keyCode) + "|" +
                       std::to_string(k.location);
    return (shift.empty() ? "" : "d|" + shift) + "d|" + k.key + rest + " " +
           (k.press ? std::string("p|") + k.key + "|" + k.code + "|" + std::to_string(k.press) + " "
                    : "") +
           (shift.empty() ? "" : "u|" + shift) + "u|" + (k.upKey ? k.upKey : k.key) + rest;
  };
  const Key rows[] = {
      {"a", "a", 0, "KeyA", 65, 0, 97},
      {"shift+a", "A", "a", "KeyA", 65, 0, 65},
      {"shift+1", "!", "1", "Digit1", 49, 0, 33},
      {"semicolon", ";", 0, "Semicolon", 186, 0, 59},
      {"grave", "`", 0, "Backquote", 192, 0, 96},
      {"space", " ", 0, "Space", 32, 0, 32},
      {"shift+comma", "<", ",", "Comma", 188, 0, 60},
      {"F1", "F1", 0, "F1", 112, 0, 0},
      {"Return", "Enter", 0, "Enter", 13, 0, 13},
      {"BackSpace", "Backspace", 0, "Backspace", 8, 0, 0},
      {"Delete", "Delete", 0, "Delete", 46, 0, 0},
      {"Prior", "PageUp", 0, "PageUp", 33, 0, 0},
      {"Up", "ArrowUp", 0, "ArrowUp", 38, 0, 0},
      {"Control_L", "Control", 0, "ControlLeft", 17, 1, 0},
      {"Super_L", "Meta", 0, "MetaLeft", 91, 1, 0},
      // The keypad with NumLock off: the editing keys it stands for; then with NumLock on.
      {"KP_Home", "Home", 0, "Numpad7", 36, 3, 0},
      {"KP_Begin", "Clear", 0, "Numpad5", 12, 3, 0},
      {"KP_Delete", "Delete", 0, "NumpadDecimal", 46, 3, 0},
      {"KP_Divide", "/", 0, "NumpadDivide", 111, 3, 47},
      {"Num_Lock", "NumLock", 0, "NumLock", 144, 0, 0},
      {"KP_Home", "7", 0, "Numpad7", 103, 3, 55},
      {"KP_Delete", ".", 0, "NumpadDecimal", 110, 3, 46},
      {"KP_Add", "+", 0, "NumpadAdd", 107, 3, 43},
      {"Num_Lock", "NumLock", 0, "NumLock", 144, 0, 0}};
  for (const Key& row : rows) {
    browser->Evaluate("log=[],''");
    Xdo(100, 100, std::string("key --delay 30 ") + row.keys);
    EXPECT_TRUE(Reads("log.join(' ')", events(row))) << row.keys;
  }
  // Through the Browser's operations: the right-hand modifiers (xdotool also presses the left
  // one for them), and another layout (German), where the physical key Y types "z" and the key
  // right of L types "ä", which has no key code of its own and reports the US key at its place.
  for (auto [symbol, character, scancode, key] :
       {std::tuple{SDLK_RSHIFT, 0u, 62, Key{"", "Shift", 0, "ShiftRight", 16, 2, 0}},
        {SDLK_RSUPER, 0u, 134, Key{"", "Meta", 0, "MetaRight", 92, 2, 0}},
        {SDLK_z, 'z', 29, Key{"", "z", 0, "KeyY", 90, 0, 122}},
        {SDLK_WORLD_68, 0xE4u, 48, Key{"", "\xC3\xA4", 0, "Quote", 222, 0, 228}}}) {
    browser->Evaluate("log=[],''");
    browser->KeyDown(symbol, 0, character, scancode);
    browser->KeyUp(symbol, 0, scancode);
    EXPECT_TRUE(Reads("log.join(' ')", events(key))) << symbol;
  }

  // Text is typed once and Delete deletes; a held Backspace deletes on: one press, then repeats.
  browser->Evaluate("i.value='',''");
  Xdo(100, 100, "type --delay 30 abcdefgh");
  EXPECT_TRUE(Reads("i.value", "abcdefgh"));
  Xdo(100, 100, "key --delay 30 Home Delete Delete End");
  EXPECT_TRUE(Reads("i.value", "cdefgh"));
  browser->Evaluate("log=[],''");
  Xdo(100, 100, "keydown BackSpace");
  EXPECT_TRUE(Reads("i.value", ""));
  Xdo(100, 100, "keyup BackSpace");
  // Key-downs that are not repeats, repeats, and whether each of them was a Backspace.
  std::string downs = browser->Evaluate(
      "[log.filter(e=>e[0]=='d'&&!e.endsWith('|r')),log.filter(e=>e.endsWith('|r'))]"
      ".map(l=>l.length+(l.every(e=>e.startsWith('d|Backspace|Backspace|8|0'))?'':'?'))+''");
  int firsts = 0, repeats = 0;
  ASSERT_EQ(2, std::sscanf(downs.c_str(), "%d,%d", &firsts, &repeats)) << downs;
  EXPECT_EQ(1, firsts) << downs;
  EXPECT_GE(repeats, 5) << downs;
  EXPECT_EQ(std::string::npos, downs.find('?')) << downs;
}

TEST_F(BrowserInputTest, ClicksTheWheelHoverAndSelectsWorkAsInABrowser) {
  // d, w and h: fixed boxes on a tall page; the mouse and wheel events they get are logged.
  ASSERT_TRUE(Load(
      Url("mouse.html",
          Box(0, 0, 10, 10, "red", "", "fixed") + Box(20, 0, 20, 20, "red", "d", "fixed") +
              Box(50, 0, 20, 20, "red", "w", "fixed") + Box(80, 0, 20, 20, "red", "h", "fixed") +
              "<div style=\"height:3000px\"></div><script>var ev=[];for(const t of "
              "['mousedown','mouseup','click','dblclick','auxclick','wheel'])"
              "addEventListener(t,e=>ev.push(t+(t=='click'?e.detail:'')+(t=='wheel'"
              "?Math.sign(e.deltaY):'')+'@'+e.target.id))</script>"),
      5, 5, kRed));
  Xdo(30, 10, "click --repeat 2 --delay 80 1");
  EXPECT_TRUE(Reads("ev.join()",
                    "mousedown@d,mouseup@d,click1@d,mousedown@d,mouseup@d,click2@d,"
                    "dblclick@d"));
  // One notch at a time (the browser may merge wheel events that queue up): down 50 pixels and
  // back, with wheel events only.
  browser->Evaluate("ev=[],''");
  Xdo(60, 10, "click 5");
  EXPECT_TRUE(Reads("ev.join()+' '+scrollY", "wheel1@w 50"));
  Xdo(60, 10, "click 4");
  EXPECT_TRUE(Reads("ev.join()+' '+scrollY", "wheel1@w,wheel-1@w 0"));
  Xdo(90, 10);
  EXPECT_TRUE(Reads("h.matches(':hover')+''", "true"));
  Xdo(400, 300);  // out of the 160 x 120 window
  EXPECT_TRUE(Reads("h.matches(':hover')+''", "false")) << "hover ended";

  // A select's list opens in the page and picks with the mouse or the keys.
  int pages = 0;
  for (auto [value, keys] : {std::pair{"banana", ""},  // the mouse
                             {"banana", "key --delay 50 Return Down Return"},
                             {"cherry", "key --delay 50 space Down Down Return"}}) {
    SCOPED_TRACE(*keys ? keys : "mouse");
    ASSERT_TRUE(Load(Url("select" + std::to_string(++pages) + ".html",
                         Box(150, 0, 10, 10, "red") +
                             "<select id=s autofocus><option>apple<option>banana<option>cherry"
                             "</select>"),
                     155, 5, kRed));
    if (*keys) {
      Xdo(100, 100, keys);
    } else {
      Xdo(20, 10, "click 1");
      std::string y;  // the middle of the second option, once the list shows
      ASSERT_TRUE(FramesUntil([&] {
        return !(y = browser->Evaluate("s.matches(':open')?(r=>r.top+r.height/2+'')("
                                       "s.options[1].getBoundingClientRect()):''"))
                    .empty();
      }));
      Xdo(20, std::atoi(y.c_str()), "click 1");
    }
    EXPECT_TRUE(Reads("s.value", value));
  }
}

TEST_F(BrowserInputTest, TypingAndPointingInThePageCanStayOutOfTheGame) {
  auto* input = new CorvaneEngine::InputSystem_SDL();
  engine->AddSystem(input);
  engine->running = true;
  auto gameFramesUntil = [&](const std::function<bool()>& condition) {
    return FramesUntil([&] { return input->Update(0.0), condition(); });
  };
  std::string field = "position:absolute;left:0;width:90px;height:16px;margin:0;top:";
  ASSERT_TRUE(
      Load(Url("focus.html", "<input id=t style=\"" + field + "0\"><textarea style=\"" + field +
                                 "25px\"></textarea><div contenteditable style=\"" + field +
                                 "50px;background:#fff\">x</div><button style=\""
                                 "position:absolute;left:100px;top:50px\">b</button>"
                                 "<input readonly style=\"" +
                                 field + "75px\">" + Box(150, 0, 10, 10, "red")),
           155, 5, kRed));
  browser->KeepTypingFromGame(true);
  for (auto [x, y, editable] : {std::tuple{10, 30, true},  // textarea
                                {110, 58, false},          // button
                                {10, 55, true},            // contenteditable
                                {10, 80, false},           // read-only input
                                {10, 5, true}}) {          // text input
    Xdo(x, y, "click 1");
    EXPECT_TRUE(gameFramesUntil([&] { return browser->HasEditableFocus() == editable; }))
        << x << "," << y;
  }
  for (auto [x, y, drawn] : {std::tuple{10, 5, true}, {130, 100, false}, {155, 5, true}}) {
    Xdo(x, y);
    EXPECT_TRUE(gameFramesUntil([&] { return browser->IsPointerOverPage() == drawn; }))
        << x << "," << y;
  }
  // A space typed into the focused field reaches it, and the game never sees it.
  CorvaneEngine::BasicKeyboard* keyboard = CorvaneEngine::BasicKeyboard::instance;
  bool gameSawSpace = false;
  Xdo(10, 5, "keydown space");
  EXPECT_TRUE(gameFramesUntil([&] {
    gameSawSpace = gameSawSpace || keyboard->IsDown(CorvaneEngine::KeySpace);
    return keyboard->IsPhysicallyDown(CorvaneEngine::KeySpace) &&
           browser->Evaluate("t.value") == " ";
  }));
  EXPECT_FALSE(gameSawSpace);
  Xdo(10, 5, "keyup space");
  Xdo(10, 5, "keydown alt+F4");
  EXPECT_TRUE(gameFramesUntil([&] { return !engine->running; })) << "Alt+F4 still ends the game";
  Xdo(10, 5, "keyup alt+F4");
  browser->LoadURL(Url("empty.html", "").c_str());
  EXPECT_TRUE(gameFramesUntil([&] { return !browser->HasEditableFocus(); })) << "a new document";
}

namespace {

// The pointer's image as the X server shows it.
struct CursorImage {
  int width = 0, height = 0, xhot = 0, yhot = 0;
  std::vector<unsigned long> pixels;
  bool operator==(const CursorImage& o) const {
    return std::tie(width, height, xhot, yhot, pixels) ==
           std::tie(o.width, o.height, o.xhot, o.yhot, o.pixels);
  }
  bool Blank() const {
    return !pixels.empty() &&
           std::all_of(pixels.begin(), pixels.end(), [](unsigned long p) { return p >> 24 == 0; });
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

// What the pointer looks like over a window of the test's own that shows each cursor-font
// glyph, in order. The server changes the image a moment after the pointer entered; each glyph
// looks different from the one before, so the wait ends when the image changed.
std::map<int, CursorImage> References(Display* display, const std::vector<int>& glyphs) {
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

}  // namespace

TEST_F(BrowserInputTest, ThePointerTakesTheShapeOfThePageCursorUnlessTheGameHidIt) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(nullptr, display);
  std::unique_ptr<Display, int (*)(Display*)> closer(display, XCloseDisplay);
  int event, error;
  ASSERT_TRUE(XFixesQueryExtension(display, &event, &error));
  // A grid of 20 x 20 boxes, one per case: its style, its content, and the glyph of X's cursor
  // font that the pointer shows over it (-1: no pointer).
  const struct {
    const char *style, *content;
    int glyph;
  } cases[] = {{"cursor:default", "", XC_left_ptr},
               {"cursor:pointer", "", XC_hand2},
               {"cursor:text", "", XC_xterm},
               {"cursor:crosshair", "", XC_crosshair},
               {"cursor:move", "", XC_fleur},
               {"cursor:not-allowed", "", XC_circle},
               {"cursor:wait", "", XC_watch},
               {"cursor:n-resize", "", XC_top_side},
               {"cursor:ne-resize", "", XC_top_right_corner},
               {"cursor:ew-resize", "", XC_sb_h_double_arrow},
               {"cursor:nwse-resize", "", XC_bottom_right_corner},
               {"cursor:col-resize", "", XC_sb_h_double_arrow},
               {"cursor:url(missing.png) 2 2, help", "", XC_question_arrow},
               {"cursor:none", "", -1},
               {"", "<a href=#x style=\"cursor:auto;display:block;height:20px\"></a>", XC_hand2},
               {"font:20px/20px monospace", "MM", XC_xterm},
               {"", "<div contenteditable style=\"height:20px\"></div>", XC_xterm},
               {"font:20px/20px monospace;user-select:none", "MM", XC_left_ptr},
               {"", "", XC_left_ptr}};
  // (url(...): its fallback keyword; the last five are auto over a link, text, an editable
  // field, text that cannot be selected, and nothing.)
  auto x = [&](size_t i) { return static_cast<int>(i % (kWidth / 20)) * 20; };
  auto y = [&](size_t i) { return 10 + static_cast<int>(i / (kWidth / 20)) * 20; };
  // Between two cases the pointer rests on a box of its own (a cell), so that each case starts
  // from another shape than the one it expects.
  std::string body = Box(0, 0, 8, 8, "red") +
                     "<div style=\"position:absolute;left:140px;top:100px;width:20px;"
                     "height:20px;cursor:cell\"></div>";
  std::vector<int> glyphs{XC_plus};
  for (size_t i = 0; i < std::size(cases); ++i) {
    body += "<div style=\"position:absolute;overflow:hidden;width:20px;height:20px;left:" +
            std::to_string(x(i)) + "px;top:" + std::to_string(y(i)) + "px;" + cases[i].style +
            "\">" + cases[i].content + "</div>";
    if (cases[i].glyph >= 0 &&
        std::find(glyphs.begin(), glyphs.end(), cases[i].glyph) == glyphs.end())
      glyphs.push_back(cases[i].glyph);
  }
  std::map<int, CursorImage> references = References(display, glyphs);
  ASSERT_TRUE(Load(Url("cursors.html", body), 2, 2, kRed));
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
  // A pointer the game hid stays hidden over the crosshair box, and comes back in its shape.
  ASSERT_TRUE(showsOn(150, 110, XC_plus));
  CorvaneEngine::MouseSystem_SDL mouse;
  mouse.HideCursor();
  Xdo(x(3) + 6, y(3) + 10);
  ASSERT_TRUE(FramesUntil(
      [&] { return browser->GetPointerShape() == CorvaneEngine::PointerShape::Crosshair; }));
  Frame();  // the frame in which the shape reaches the window
  EXPECT_TRUE(Read(display).Blank());
  mouse.ShowCursor();
  EXPECT_TRUE(FramesUntil([&] { return Read(display) == references[XC_crosshair]; }));
}
