// Input into the overlay against the real headless Chromium, with real X input from xdotool:
// keys arrive with a desktop Chromium's key, code and keyCode, type their text once and repeat
// while held; clicks, double clicks and the wheel arrive as a browser sends them; leaving the
// window ends the hover; a select's list picks by mouse and keys; typing into the page stays out
// of the game; the window's X cursor (read back with XFixes) takes the page's CSS cursor.
#include <SDL_keysym.h>

#include <algorithm>

#include "OverlayTestSupport.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/InputSystem_SDL.h"
#include "presentation/MouseSystem_SDL.h"

// Last: X's headers define None and Bool, which other headers use as names.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

using namespace CorvaneTest;

using BrowserInputTest = BrowserOverlayTest;

TEST_F(BrowserInputTest, KeysArriveAsADesktopChromiumOnAUsKeyboardReportsThemAndRepeat) {
  ASSERT_TRUE(Load(Fixture("keys.html"), 0, 0, kRed));  // a focused text field; keys logged
  // Typed with xdotool on the window, so that SDL's symbols, characters and X keycodes are real;
  // each row: the keys, then the events of a desktop Chromium (its US layout; xdotool lets Shift
  // go first). The keypad first with NumLock off: the editing keys it stands for.
  for (std::string row :
       {"a d|a|KeyA|65|0 p|a|KeyA|97 u|a|KeyA|65|0",
        "shift+a d|Shift|ShiftLeft|16|1 d|A|KeyA|65|0 p|A|KeyA|65 u|Shift|ShiftLeft|16|1 "
        "u|a|KeyA|65|0",
        "semicolon d|;|Semicolon|186|0 p|;|Semicolon|59 u|;|Semicolon|186|0",
        "space d| |Space|32|0 p| |Space|32 u| |Space|32|0", "F1 d|F1|F1|112|0 u|F1|F1|112|0",
        "Return d|Enter|Enter|13|0 p|Enter|Enter|13 u|Enter|Enter|13|0",
        "Up d|ArrowUp|ArrowUp|38|0 u|ArrowUp|ArrowUp|38|0",
        "KP_Home d|Home|Numpad7|36|3 u|Home|Numpad7|36|3",
        "Num_Lock d|NumLock|NumLock|144|0 u|NumLock|NumLock|144|0",
        "KP_Home d|7|Numpad7|103|3 p|7|Numpad7|55 u|7|Numpad7|103|3",
        "Num_Lock d|NumLock|NumLock|144|0 u|NumLock|NumLock|144|0"}) {
    browser->Evaluate("log=[],''");
    Xdo(100, 100, "key --delay 30 " + row.substr(0, row.find(' ')));
    EXPECT_TRUE(Reads("log.join(' ')", row.substr(row.find(' ') + 1)));
  }
  // Through the Browser's operations: a right-hand modifier (xdotool also presses the left one
  // for it), and another layout (German), where the key right of L types "ä", which has no key code
  // of its own and reports the US key at its place.
  for (auto [symbol, character, scancode, events] :
       {std::tuple{SDLK_RSUPER, 0u, 134, "d|Meta|MetaRight|92|2 u|Meta|MetaRight|92|2"},
        {SDLK_WORLD_68, 0xE4u, 48,
         "d|\xC3\xA4|Quote|222|0 p|\xC3\xA4|Quote|228 u|\xC3\xA4|Quote|222|0"}}) {
    browser->Evaluate("log=[],''");
    browser->KeyDown(symbol, 0, character, scancode);
    browser->KeyUp(symbol, 0, scancode);
    EXPECT_TRUE(Reads("log.join(' ')", events)) << symbol;
  }

  // Text is typed once and Delete deletes; a held Backspace deletes on: one press, then repeats.
  browser->Evaluate("i.value='',''");
  Xdo(100, 100, "type --delay 30 abcdefgh");
  Xdo(100, 100, "key --delay 30 Home Delete Delete End");
  EXPECT_TRUE(Reads("i.value", "cdefgh"));
  browser->Evaluate("log=[],''");
  Xdo(100, 100, "keydown BackSpace");
  EXPECT_TRUE(Reads("i.value", ""));
  Xdo(100, 100, "keyup BackSpace");
  // Key-downs of Backspace only: one that is not a repeat, then five or more repeats.
  EXPECT_TRUE(
      Reads("var d=log.filter(e=>e[0]=='d');''+(d.length>5&&d.every((e,n)=>e=="
            "'d|Backspace|Backspace|8|0'+(n?'|r':'')))",
            "true"));
}

TEST_F(BrowserInputTest, ClicksTheWheelHoverAndSelectsWorkAsInABrowser) {
  ASSERT_TRUE(Load(Fixture("mouse.html"), 5, 5, kRed));
  Xdo(30, 10, "click --repeat 2 --delay 80 1");
  EXPECT_TRUE(Reads("ev.join()",
                    "mousedown@d,mouseup@d,click1@d,mousedown@d,mouseup@d,click2@d,"
                    "dblclick@d"));
  // One notch: down 50 pixels, with a wheel event only.
  browser->Evaluate("ev=[],''");
  Xdo(60, 10, "click 5");
  EXPECT_TRUE(Reads("ev.join()+' '+scrollY", "wheel1@w 50"));
  Xdo(90, 10);
  EXPECT_TRUE(Reads("h.matches(':hover')+''", "true"));
  Xdo(400, 300);  // out of the 160 x 120 window
  EXPECT_TRUE(Reads("h.matches(':hover')+''", "false")) << "hover ended";

  // A select's list opens in the page and picks with the mouse or the keys.
  int pages = 0;
  for (auto [value, keys] : {std::pair{"banana", ""},  // the mouse
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
  ASSERT_TRUE(Load(Fixture("focus.html"), 155, 5, kRed));
  browser->KeepTypingFromGame(true);
  // Clicked in turn: whether an editable element has the focus, whether the page is drawn there.
  for (auto [x, y, editable, drawn] : {std::tuple{10, 30, true, true},  // textarea
                                       {110, 58, false, true},          // button
                                       {10, 55, true, true},            // contenteditable
                                       {10, 80, false, true},           // read-only input
                                       {130, 100, false, false},        // nothing
                                       {10, 5, true, true}}) {          // text input
    Xdo(x, y, "click 1");
    EXPECT_TRUE(gameFramesUntil([&] {
      return browser->HasEditableFocus() == editable && browser->IsPointerOverPage() == drawn;
    })) << x
        << "," << y;
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

// The pointer's image as the X server shows it: size, hot spot, then the pixels.
using CursorImage = std::vector<unsigned long>;
CursorImage Read(Display* display) {
  XFixesCursorImage* got = XFixesGetCursorImage(display);
  if (!got) return {};
  CursorImage image{got->width, got->height, got->xhot, got->yhot};
  image.insert(image.end(), got->pixels, got->pixels + got->width * got->height);
  return XFree(got), image;
}
bool Blank(const CursorImage& image) {
  return image.size() > 4 &&
         std::all_of(image.begin() + 4, image.end(), [](unsigned long p) { return p >> 24 == 0; });
}

}  // namespace

TEST_F(BrowserInputTest, ThePointerTakesTheShapeOfThePageCursorUnlessTheGameHidIt) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(nullptr, display);
  std::unique_ptr<Display, int (*)(Display*)> closer(display, XCloseDisplay);
  // What the pointer looks like over the root window (off the game's window) with the glyph of
  // X's cursor font. The server changes the image a moment after; every glyph asked for differs
  // from the one shown before, so the wait ends when the image changed.
  const Window root = DefaultRootWindow(display);
  auto reference = [&](int glyph) {
    CursorImage previous = Read(display), image;
    Cursor cursor = XCreateFontCursor(display, glyph);
    XDefineCursor(display, root, cursor);
    XWarpPointer(display, None, root, 0, 0, 0, 0, 600, 400);
    XSync(display, False);
    WaitUntil([&] { return !Blank(image = Read(display)) && image != previous; });
    XUndefineCursor(display, root), XFreeCursor(display, cursor);
    return image;
  };
  auto showsOn = [&](int x, int y, int glyph) {  // -1: no pointer
    const CursorImage want = glyph < 0 ? CursorImage() : reference(glyph);
    Xdo(x, y);
    return FramesUntil([&] { return glyph < 0 ? Blank(Read(display)) : Read(display) == want; });
  };
  ASSERT_TRUE(Load(Fixture("cursors.html"), 2, 2, kRed));
  // The glyph that the pointer shows over each cell of the page, on a text's first letter.
  const std::vector<int> glyphs{XC_left_ptr, XC_hand2,  XC_xterm, XC_crosshair,
                                XC_fleur,    XC_circle, XC_watch, XC_top_side,
                                -1,          XC_hand2,  XC_xterm};
  for (int i = 0; i < static_cast<int>(glyphs.size()); ++i) {
    ASSERT_TRUE(showsOn(150, 110, XC_plus));  // the resting cell
    EXPECT_TRUE(showsOn(i % 8 * 20 + 6, i / 8 * 20 + 20, glyphs[i])) << "cell " << i;
  }
  // A pointer the game hid stays hidden over the crosshair box, and comes back in its shape.
  const CursorImage crosshair = reference(XC_crosshair);
  CorvaneEngine::MouseSystem_SDL mouse;
  mouse.HideCursor();
  Xdo(66, 20);
  ASSERT_TRUE(FramesUntil(
      [&] { return browser->GetPointerShape() == CorvaneEngine::PointerShape::Crosshair; }));
  Frame();  // the frame in which the shape reaches the window
  EXPECT_TRUE(Blank(Read(display)));
  mouse.ShowCursor();
  EXPECT_TRUE(FramesUntil([&] { return Read(display) == crosshair; }));
}
