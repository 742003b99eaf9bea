// The overlay against the real headless Chromium, on a real GL window under Xvfb: page images
// land in the page texture with their alpha, rows from the top; keys, characters and mouse
// input typed with xdotool reach the page through the window system; popups replace the page;
// a mode change lays the page out again; shutting down ends the browser.
#include <signal.h>

#include "OverlayTestSupport.h"
#include "overlay/HeadlessBrowser.h"

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

TEST_F(BrowserOverlayTest, TypedKeysAndCharactersReachThePage) {
  // Box a turns green when the input holds the expected text, b when the page saw exactly the
  // expected key-down codes (S marks Shift held), c on Shift's own key events.
  std::string script =
      "<script>var want=decodeURIComponent(location.hash.slice(1)).split('|'),keys=[],shift=0;"
      "function check(){a.style.background=i.value==want[0]?'rgb(0,255,0)':'rgb(255,0,0)';"
      "b.style.background=keys.join(',')==want[1]?'rgb(0,255,0)':'rgb(255,0,0)';"
      "c.style.background=shift?'rgb(0,255,0)':'rgb(255,0,0)';}"
      "document.addEventListener('keydown',e=>{if(e.key=='Shift'||e.keyCode>255){shift=1}"
      "else keys.push((e.shiftKey?'S':'')+e.keyCode);check();});"
      "i.addEventListener('input',check);check();</script>";
  std::string url =
      Url("keys.html",
          "<input id=i autofocus style=\"position:absolute;"
          "left:0;top:60px;width:150px\">" +
              Box(0, 0, 20, 20, "rgb(255,0,0)", "a") + Box(30, 0, 20, 20, "rgb(255,0,0)", "b") +
              Box(60, 0, 20, 20, "rgb(255,0,0)", "c") + script);
  ASSERT_TRUE(Load(url + "#aCb|65,66,49,8,37,S67", 0, 0, kRed));
  Xdo(100, 100, "type --delay 30 ab1");
  Xdo(100, 100, "key --delay 30 BackSpace Left shift+c");
  EXPECT_TRUE(Shows(5, 5, kGreen)) << "text typed into the input";
  EXPECT_TRUE(Shows(35, 5, kGreen)) << "key-down codes";
  EXPECT_TRUE(Shows(65, 5, kGreen)) << "Shift";
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
  EXPECT_TRUE(Shows(105, 5, kGreen)) << "scrolled down";
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
