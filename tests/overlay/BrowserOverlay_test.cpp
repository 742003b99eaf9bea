// The overlay against the real headless Chromium, on a real GL window under Xvfb: page images
// land in the page texture with their alpha, rows from the top; keys typed with xdotool reach
// the page through the window system with a desktop Chromium's key, code and keyCode, type their
// text once and repeat while held; clicks and the wheel reach it; popups replace the page;
// a mode change lays the page out again; shutting down ends the browser.
#include <SDL_keysym.h>
#include <signal.h>

#include "OverlayTestSupport.h"
#include "overlay/HeadlessBrowser.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/InputSystem_SDL.h"

using CorvaneEngine::Browser;
using CorvaneEngine::GraphicsSystem_GL;

using CorvaneTest::BrowserOverlayTest;
using namespace CorvaneTest::OverlayColours;
using CorvaneTest::Bgra;
using CorvaneTest::Box;

TEST_F(BrowserOverlayTest, PageKeptBeforeReadyArrivesWithStraightAlphaAtItsPlace) {
  // Asked for at once, long before the browser has its page: carried out when it is ready.
  browser->LoadURL(Url("box.html", Box(10, 20, 30, 40, "rgba(255,0,0,0.5)") +
                                       Box(100, 90, 20, 10, "rgb(0,0,255)"))
                       .c_str());
  EXPECT_FALSE(browser->IsReady());
  // Until the page shows, no picture is opaque where it has nothing: the overlay never hides
  // the scene behind a white page, not even for a frame.
  bool opaque = false;
  ASSERT_TRUE(FramesUntil([&] {
    opaque = opaque || At(150, 110).a != 0;
    return At(100, 90) == kBlue;
  })) << At(100, 90);
  EXPECT_FALSE(opaque);
  // Straight colour, half alpha, not darkened; a transparent page around it, rows from the top.
  const Bgra half{0, 0, 255, 128};
  for (auto [x, y, colour] : {std::tuple{10, 20, half},
                              {39, 59, half},
                              {9, 20, kClear},
                              {10, 19, kClear},
                              {40, 59, kClear},
                              {10, 60, kClear},
                              {119, 99, kBlue},
                              {120, 100, kClear}}) {
    EXPECT_EQ(colour, At(x, y)) << x << "," << y;
  }
}

// A page with a focused text field that records every key event: "d" keydown, "p" keypress,
// "u" keyup, then key, code, keyCode and (but for keypress) location; "r" marks a repeat.
const char kKeyLogPage[] =
    "<input id=i autofocus style=\"position:absolute;left:0;top:60px;width:150px\">"
    "<script>var log=[];['keydown','keypress','keyup'].forEach(t=>addEventListener(t,e=>"
    "log.push(t[3]+'|'+e.key+'|'+e.code+'|'+e.keyCode+(t=='keypress'?'':'|'+e.location)+"
    "(e.repeat?'|r':'')),true));</script>";

TEST_F(BrowserOverlayTest, KeysArriveAsADesktopChromiumOnAUsKeyboardReportsThem) {
  ASSERT_TRUE(Load(Url("keys.html", Box(0, 0, 20, 20, "rgb(255,0,0)") + kKeyLogPage), 0, 0, kRed));
  // Typed with xdotool on the window, so that SDL's symbols, characters and X keycodes are real.
  // The expected events are a desktop Chromium's (its US layout: keyCode, key, code, location).
  const std::pair<const char*, std::vector<const char*>> rows[] = {
      {"a", {"d|a|KeyA|65|0", "p|a|KeyA|97", "u|a|KeyA|65|0"}},
      {"shift+a",
       // xdotool lets Shift go first: the key-up reads the key again without it.
       {"d|Shift|ShiftLeft|16|1", "d|A|KeyA|65|0", "p|A|KeyA|65", "u|Shift|ShiftLeft|16|1",
        "u|a|KeyA|65|0"}},
      {"shift+1",
       {"d|Shift|ShiftLeft|16|1", "d|!|Digit1|49|0", "p|!|Digit1|33", "u|Shift|ShiftLeft|16|1",
        "u|1|Digit1|49|0"}},
      {"7", {"d|7|Digit7|55|0", "p|7|Digit7|55", "u|7|Digit7|55|0"}},
      {"semicolon", {"d|;|Semicolon|186|0", "p|;|Semicolon|59", "u|;|Semicolon|186|0"}},
      {"bracketright", {"d|]|BracketRight|221|0", "p|]|BracketRight|93", "u|]|BracketRight|221|0"}},
      {"grave", {"d|`|Backquote|192|0", "p|`|Backquote|96", "u|`|Backquote|192|0"}},
      {"space", {"d| |Space|32|0", "p| |Space|32", "u| |Space|32|0"}},
      {"shift+comma",
       {"d|Shift|ShiftLeft|16|1", "d|<|Comma|188|0", "p|<|Comma|60", "u|Shift|ShiftLeft|16|1",
        "u|,|Comma|188|0"}},
      {"F1", {"d|F1|F1|112|0", "u|F1|F1|112|0"}},
      {"F12", {"d|F12|F12|123|0", "u|F12|F12|123|0"}},
      {"Return", {"d|Enter|Enter|13|0", "p|Enter|Enter|13", "u|Enter|Enter|13|0"}},
      {"BackSpace", {"d|Backspace|Backspace|8|0", "u|Backspace|Backspace|8|0"}},
      {"Escape", {"d|Escape|Escape|27|0", "u|Escape|Escape|27|0"}},
      {"Delete", {"d|Delete|Delete|46|0", "u|Delete|Delete|46|0"}},
      {"Insert", {"d|Insert|Insert|45|0", "u|Insert|Insert|45|0"}},
      {"Prior", {"d|PageUp|PageUp|33|0", "u|PageUp|PageUp|33|0"}},
      {"End", {"d|End|End|35|0", "u|End|End|35|0"}},
      {"Up", {"d|ArrowUp|ArrowUp|38|0", "u|ArrowUp|ArrowUp|38|0"}},
      {"Control_L", {"d|Control|ControlLeft|17|1", "u|Control|ControlLeft|17|1"}},
      {"Alt_L", {"d|Alt|AltLeft|18|1", "u|Alt|AltLeft|18|1"}},
      {"Super_L", {"d|Meta|MetaLeft|91|1", "u|Meta|MetaLeft|91|1"}},
      // The keypad with NumLock off: the editing keys it stands for.
      {"KP_Home", {"d|Home|Numpad7|36|3", "u|Home|Numpad7|36|3"}},
      {"KP_Begin", {"d|Clear|Numpad5|12|3", "u|Clear|Numpad5|12|3"}},
      {"KP_Delete", {"d|Delete|NumpadDecimal|46|3", "u|Delete|NumpadDecimal|46|3"}},
      {"KP_Divide", {"d|/|NumpadDivide|111|3", "p|/|NumpadDivide|47", "u|/|NumpadDivide|111|3"}},
      {"KP_Enter",
       {"d|Enter|NumpadEnter|13|3", "p|Enter|NumpadEnter|13", "u|Enter|NumpadEnter|13|3"}},
      {"Num_Lock", {"d|NumLock|NumLock|144|0", "u|NumLock|NumLock|144|0"}},
      // The same physical keys with NumLock on: digits and the decimal point.
      {"KP_Home", {"d|7|Numpad7|103|3", "p|7|Numpad7|55", "u|7|Numpad7|103|3"}},
      {"KP_Delete", {"d|.|NumpadDecimal|110|3", "p|.|NumpadDecimal|46", "u|.|NumpadDecimal|110|3"}},
      {"KP_Add", {"d|+|NumpadAdd|107|3", "p|+|NumpadAdd|43", "u|+|NumpadAdd|107|3"}},
      {"Num_Lock", {"d|NumLock|NumLock|144|0", "u|NumLock|NumLock|144|0"}},
  };
  auto logIs = [&](const std::vector<const char*>& events, std::string& log) {
    std::string want;
    for (const char* event : events) want += std::string(want.empty() ? "" : "\n") + event;
    return FramesUntil([&] { return (log = browser->Evaluate("log.join('\\n')")) == want; }, 10);
  };
  for (const auto& [keys, events] : rows) {
    browser->Evaluate("log=[],''");
    Xdo(100, 100, std::string("key --delay 30 ") + keys);
    std::string log;
    EXPECT_TRUE(logIs(events, log)) << keys << " gave\n" << log;
  }
  // Through the Browser's operations: the right-hand modifiers (xdotool also presses the left
  // one for them), and another layout (German), where the physical key Y types "z" and the key
  // right of L types "ä", which has no key code of its own and reports the US key at its place.
  const struct {
    int32_t symbol;
    uint32_t character;
    int32_t scancode;  // X keycode
    std::vector<const char*> events;
  } direct[] = {
      {SDLK_RSHIFT, 0, 62, {"d|Shift|ShiftRight|16|2", "u|Shift|ShiftRight|16|2"}},
      {SDLK_RCTRL, 0, 105, {"d|Control|ControlRight|17|2", "u|Control|ControlRight|17|2"}},
      {SDLK_RALT, 0, 108, {"d|Alt|AltRight|18|2", "u|Alt|AltRight|18|2"}},
      {SDLK_RSUPER, 0, 134, {"d|Meta|MetaRight|92|2", "u|Meta|MetaRight|92|2"}},
      {SDLK_z, 'z', 29, {"d|z|KeyY|90|0", "p|z|KeyY|122", "u|z|KeyY|90|0"}},
      {SDLK_WORLD_68,
       0xE4,
       48,
       {"d|\xC3\xA4|Quote|222|0", "p|\xC3\xA4|Quote|228", "u|\xC3\xA4|Quote|222|0"}}};
  for (const auto& key : direct) {
    browser->Evaluate("log=[],''");
    browser->KeyDown(key.symbol, 0, key.character, key.scancode);
    browser->KeyUp(key.symbol, 0, key.scancode);
    std::string log;
    EXPECT_TRUE(logIs(key.events, log)) << key.symbol << " gave\n" << log;
  }
}

TEST_F(BrowserOverlayTest, TextIsTypedOnceDeleteDeletesAndAHeldKeyRepeats) {
  ASSERT_TRUE(Load(Url("type.html", Box(0, 0, 20, 20, "rgb(255,0,0)") + kKeyLogPage), 0, 0, kRed));
  auto valueIs = [&](const std::string& want) {
    std::string value;
    bool ok = FramesUntil([&] { return (value = browser->Evaluate("i.value")) == want; }, 10);
    return ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << value;
  };
  Xdo(100, 100, "type --delay 30 abcdefgh");
  EXPECT_TRUE(valueIs("abcdefgh"));
  Xdo(100, 100, "key --delay 30 Home Delete Delete End");
  EXPECT_TRUE(valueIs("cdefgh"));
  // Held, Backspace deletes on: one press, then repeats marked as such.
  browser->Evaluate("log=[],''");
  Xdo(100, 100, "keydown BackSpace");
  EXPECT_TRUE(valueIs(""));
  Xdo(100, 100, "keyup BackSpace");
  // Key-downs that are not repeats, then repeats (each of them a Backspace).
  std::string downs = browser->Evaluate(
      "[log.filter(e=>e[0]=='d'&&!e.endsWith('|r')),log.filter(e=>e.endsWith('|r'))]"
      ".map(l=>l.length+(l.every(e=>e.startsWith('d|Backspace|Backspace|8|0'))?'':'?'))+''");
  int firsts = 0, repeats = 0;
  ASSERT_EQ(2, std::sscanf(downs.c_str(), "%d,%d", &firsts, &repeats)) << downs;
  EXPECT_EQ(1, firsts) << downs;
  EXPECT_GE(repeats, 5) << downs;
  EXPECT_EQ(std::string::npos, downs.find('?')) << downs;
}

TEST_F(BrowserOverlayTest, ClicksReachAButtonAndTheWheelScrollsBothWays) {
  std::string script =
      "<script>var down=0;onscroll=()=>{if(scrollY==50)down=1;"
      "s.style.background=scrollY==50?'rgb(0,255,0)':scrollY==0&&down?'rgb(0,0,255)':"
      "'rgb(255,0,0)';};</script>";
  std::string url =
      Url("mouse.html",
          "<button style=\"position:absolute;left:20px;top:20px;width:60px;height:30px\" "
          "onclick=\"k.style.background='rgb(0,255,0)'\">go</button>" +
              Box(0, 0, 10, 10, "rgb(255,0,0)", "k", "fixed") +
              Box(100, 0, 10, 10, "rgb(255,0,0)", "s", "fixed") +
              "<div style=\"height:3000px\"></div>" + script);
  ASSERT_TRUE(Load(url, 0, 0, kRed));
  Xdo(50, 35, "click 1");
  EXPECT_TRUE(Shows(5, 5, kGreen)) << "button click";
  Xdo(50, 35, "click 5");  // wheel down one notch: 50 pixels
  EXPECT_TRUE(Shows(105, 5, kGreen)) << "scrolled down to " << browser->Evaluate("scrollY+''");
  Xdo(50, 35, "click 4");
  EXPECT_TRUE(Shows(105, 5, kBlue)) << "scrolled back up";
}

TEST_F(BrowserOverlayTest, PopupsReplaceTheOverlayPageAndNoneStaysOpen) {
  std::string target = Url("target.html", Box(0, 0, 50, 50, "rgb(0,0,255)"));
  std::string link = Url("link.html", "<a href=\"" + target +
                                          "\" target=\"_blank\" style=\"position:absolute;left:0;"
                                          "top:0;width:100px;height:60px;display:block;"
                                          "background:red\">x</a>");
  // Told apart from the first target by its colour, so no intermediate picture must be caught.
  std::string target2 = Url("target2.html", Box(0, 0, 50, 50, "rgb(0,255,0)"));
  ASSERT_TRUE(Load(link, 5, 5, kRed));
  auto onePage = [&] {
    CorvaneEngine::HeadlessBrowser* headless = browser->GetHeadlessBrowser();
    return FramesUntil([&] { return headless->OpenPageCount() == 1; });
  };
  Xdo(20, 20, "click 1");
  EXPECT_TRUE(Shows(5, 5, kBlue)) << "link target shown in the overlay";
  EXPECT_TRUE(onePage());
  // Each opener's popups go; a popup sent on by script shows its target in the overlay; blank
  // ones (also one written into) are closed, and their opener, turned red, stays.
  for (auto [name, script, shown] :
       {std::tuple{"open", "setTimeout(()=>window.open('" + target2 + "'),200)", kGreen},
        {"blank then sent on", "var w=window.open('');w.location='" + target + "'", kBlue},
        {"three blank",
         "var a=window.open(''),b=window.open('about:blank'),c=window.open('');"
         "c.document.write('x');if(a&&b&&c)document.body.style.background='red'",
         kRed}}) {
    browser->LoadURL(Url(std::string(name) + ".html", "<script>" + script + "</script>").c_str());
    EXPECT_TRUE(Shows(5, 5, shown)) << name;
    EXPECT_TRUE(onePage()) << name;
  }
}

TEST_F(BrowserOverlayTest, AModeChangeReloadsThePageAtTheNewSizeAndShutdownEndsTheBrowser) {
  // A box on the right edge, and one on the left that turns blue when the page was reloaded.
  std::string url = Url("size.html",
                        "<div style=\"position:fixed;right:0;top:0;width:10px;height:10px;"
                        "background:rgb(0,255,0)\"></div>" +
                            Box(0, 0, 10, 10, "rgb(255,0,0)", "r") +
                            "<script>if(performance.getEntriesByType('navigation')[0].type=="
                            "'reload')r.style.background='rgb(0,0,255)'</script>");
  ASSERT_TRUE(Load(url, 0, 0, kRed));
  window->SetSize(220, 150);
  window->ApplySettings();  // the graphics system re-creates the texture and resizes the page
  ASSERT_TRUE(FramesUntil([&] { return width == 220 && height == 150; }));
  EXPECT_TRUE(Shows(5, 5, kBlue)) << "reloaded";
  EXPECT_EQ(kGreen, At(215, 5)) << "laid out at the new width";

  pid_t process = browser->GetHeadlessBrowser()->ProcessId();
  ASSERT_GT(process, 0);
  EXPECT_EQ(0, kill(process, 0));
  browser->Shutdown();
  EXPECT_EQ(-1, browser->GetHeadlessBrowser()->ProcessId());
  EXPECT_NE(0, kill(process, 0)) << "the browser was reaped";
  browser->LoadURL("about:blank");  // a closed page takes no more commands, and says nothing
  browser->KeyDown('a', 0);
}

namespace {

// The overlay with the game's keyboard and mouse: frames run the window, the input snapshot
// and the browser's per-frame work, in the main loop's order.
class PageInputTest : public BrowserOverlayTest {
 protected:
  void SetUp() override {
    BrowserOverlayTest::SetUp();
    if (HasFatalFailure()) return;
    input = new CorvaneEngine::InputSystem_SDL();
    engine->AddSystem(input);
    engine->running = true;
  }

  bool GameFramesUntil(const std::function<bool()>& condition) {
    return FramesUntil([&] {
      input->Update(0.0);
      browser->Update(0.0);
      return condition();
    });
  }

  CorvaneEngine::InputSystem_SDL* input = nullptr;
};

}  // namespace

TEST_F(BrowserOverlayTest, ASelectOpensItsListInThePageAndPicksWithTheMouseOrTheKeys) {
  // A plain select. The top-right box turns green when it holds the value after the '#'; while
  // the list is open, the bottom-right box gives the middle of its second option as its green.
  std::string page =
      "<select id=s autofocus><option>apple<option>banana<option>cherry</select>" +
      Box(150, 0, 10, 10, "rgb(255,0,0)", "k") + Box(150, 110, 10, 10, "rgb(0,0,0)", "y") +
      "<script>function tick(){k.style.background=s.value==location.hash.slice(1)?"
      "'rgb(0,255,0)':'rgb(255,0,0)';var r=s.options[1].getBoundingClientRect();"
      "y.style.background=s.matches(':open')?'rgb(0,'+Math.round(r.top+r.height/2)+',255)':"
      "'rgb(0,0,0)';requestAnimationFrame(tick);}tick();</script>";
  const std::pair<const char*, const char*> cases[] = {
      {"banana", nullptr},  // opened and picked with the mouse
      {"banana", "key --delay 50 Return Down Return"},
      {"cherry", "key --delay 50 space Down Down Return"}};
  int pages = 0;
  for (auto [value, keys] : cases) {
    SCOPED_TRACE(keys != nullptr ? keys : "mouse");
    // A document of its own each time: a new hash alone would keep the old one.
    std::string url = Url("select" + std::to_string(++pages) + ".html", page);
    ASSERT_TRUE(Load(url + "#" + value, 155, 5, kRed));
    if (keys != nullptr) {
      Xdo(100, 100, keys);
    } else {
      Xdo(20, 10, "click 1");
      ASSERT_TRUE(FramesUntil([&] { return At(155, 115).b == 255; })) << "the list shows";
      Xdo(20, At(155, 115).g, "click 1");
    }
    EXPECT_TRUE(Shows(155, 5, kGreen)) << value;
  }
}

TEST_F(PageInputTest, TypingAndPointingInThePageCanStayOutOfTheGame) {
  // The top-right box turns green once the text field holds one typed space.
  std::string field = "position:absolute;left:0;width:90px;height:16px;margin:0;top:";
  std::string url =
      Url("focus.html",
          "<input id=t style=\"" + field + "0\"><textarea style=\"" + field +
              "25px\"></textarea><div contenteditable style=\"" + field +
              "50px;background:#fff\">x</div><button style=\"position:absolute;left:100px;"
              "top:50px\">b</button><input readonly style=\"" +
              field + "75px\">" + Box(150, 0, 10, 10, "rgb(255,0,0)", "k") +
              "<script>t.oninput=()=>k.style.background=t.value==' '?'rgb(0,255,0)':"
              "'rgb(255,0,0)'</script>");
  ASSERT_TRUE(Load(url, 155, 5, kRed));
  browser->KeepTypingFromGame(true);
  for (auto [x, y, editable] : {std::tuple{10, 30, true},  // textarea
                                {110, 58, false},          // button
                                {10, 55, true},            // contenteditable
                                {10, 80, false},           // read-only input
                                {10, 5, true}}) {          // text input
    Xdo(x, y, "click 1");
    EXPECT_TRUE(GameFramesUntil([&] { return browser->HasEditableFocus() == editable; }))
        << x << "," << y;
  }
  for (auto [x, y, drawn] : {std::tuple{10, 5, true}, {130, 100, false}, {155, 5, true}}) {
    Xdo(x, y, "sleep 0");
    EXPECT_TRUE(GameFramesUntil([&] { return browser->IsPointerOverPage() == drawn; }))
        << x << "," << y;
  }

  // A space typed into the focused field reaches it, and the game never sees it.
  CorvaneEngine::BasicKeyboard* keyboard = CorvaneEngine::BasicKeyboard::instance;
  bool gameSawSpace = false;
  Xdo(10, 5, "keydown space");
  EXPECT_TRUE(GameFramesUntil([&] {
    gameSawSpace = gameSawSpace || keyboard->IsDown(CorvaneEngine::KeySpace);
    return At(155, 5) == kGreen && keyboard->IsPhysicallyDown(CorvaneEngine::KeySpace);
  }));
  EXPECT_FALSE(gameSawSpace);
  Xdo(10, 5, "keyup space");
  Xdo(10, 5, "keydown alt+F4");
  EXPECT_TRUE(GameFramesUntil([&] { return !engine->running; })) << "Alt+F4 still ends the game";

  Xdo(10, 5, "keyup alt+F4");
  // A new document has no focus.
  browser->LoadURL(Url("empty.html", "").c_str());
  EXPECT_TRUE(GameFramesUntil([&] { return !browser->HasEditableFocus(); }));
}
