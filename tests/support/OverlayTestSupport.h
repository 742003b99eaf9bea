// The overlay suites' rig: a real GL window under the private Xvfb with the Browser on it
// against the real headless Chromium; pages written to the scratch folder report what they saw
// through the colours of boxes, read back from the page texture.
#pragma once

#include <signal.h>

#include <array>
#include <cstdio>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>

#include "GraphicsTestSupport.h"
#include "overlay/Browser.h"
#include "overlay/BrowserClient.h"
#include "overlay/FileURL.h"
#include "overlay/HeadlessBrowser.h"
#include "overlay/HeadlessView.h"
#include "presentation/DynamicTexture_GL.h"

namespace CorvaneTest {

// A page texture pixel: blue, green, red, alpha.
using Bgra = std::array<int, 4>;

// A page element: an absolutely placed box of a colour, optionally with an id.
inline std::string Box(int x, int y, int w, int h, const std::string& colour,
                       const std::string& id = "") {
  char style[200];
  std::snprintf(style, sizeof style, "left:%dpx;top:%dpx;width:%dpx;height:%dpx;background:%s", x,
                y, w, h, colour.c_str());
  return "<div id='" + id + "' style=\"position:absolute;" + style + "\"></div>";
}

// The overlay with its page in reach, so tests can read what the page recorded.
class PageBrowser : public CorvaneEngine::Browser {
 public:
  // The value of a script expression in the page ("" when there is no answer within 10 s).
  std::string Evaluate(const std::string& expression) {
    auto answer = std::make_shared<std::promise<std::string>>();
    std::future<std::string> value = answer->get_future();
    nlohmann::json params{{"expression", expression}, {"returnByValue", true}};
    if (!Page() || !Page()->SendCommand("Runtime.evaluate", params.dump(), [answer](auto& reply) {
          answer->set_value(reply["result"]["result"].value("value", ""));
        }))
      return "";
    return value.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? value.get() : "";
  }
  pid_t Process() const { return GetHeadlessBrowser()->ProcessId(); }
  // Crashes the page's renderer, as a fault in the page would.
  bool CrashPage() { return Page() && Page()->SendCommand("Page.crash", "{}") != 0; }
  std::string TargetId() { return Page() ? Page()->TargetId() : ""; }
  std::shared_ptr<CorvaneEngine::HeadlessView> Page() { return client->ReadyBrowser(); }
};

class BrowserOverlayTest : public GraphicsTest {
 protected:
  // Page colours as the page texture holds them.
  static constexpr Bgra kClear{0, 0, 0, 0}, kGreen{0, 255, 0, 255}, kRed{0, 0, 255, 255},
      kBlue{255, 0, 0, 255};

  void SetUp() override {
    GraphicsTest::SetUp();
    if (HasFatalFailure()) return;
    // The browser's profile, and the empty page it starts on, go where a path needs escaping.
    setenv("TMPDIR", scratch.Write("temp #1/.keep", "").parent_path().c_str(), 1);
    engine->AddSystem(CorvaneEngine::Browser::instance = browser = new PageBrowser());
  }

  void TearDown() override {
    GraphicsTest::TearDown();  // shuts down and deletes the browser with the other Systems
    unsetenv("TMPDIR");
    EXPECT_EQ(nullptr, CorvaneEngine::Browser::instance);
  }

  // A page of that body in the scratch folder. Its URL is percent-encoded: written raw into a
  // link, the non-ASCII bytes of a folder name would be read in the page's own encoding, which a
  // file without a charset does not declare.
  std::string Url(const std::string& name, const std::string& body) {
    scratch.Write(name, "<!DOCTYPE html><html><body style=\"margin:0\">" + body + "</body>");
    return CorvaneEngine::FileURL(scratch.Path().c_str(), ("/" + name).c_str()).CStr();
  }

  // A page of tests/overlay/pages, as a page of the scratch folder.
  std::string Fixture(const std::string& name) {
    return Url(name, ReadFile(CORVANE_SOURCE_DIR "/tests/overlay/pages/" + name));
  }

  // The window's events, then the page texture's upload as a frame does it, then the texture as
  // the GL holds it. (No drawing or swapping: the page texture alone is under test.)
  void Frame() {
    window->Update(0.0);
    auto now = std::chrono::steady_clock::now();
    browser->Update(std::chrono::duration<double>(now - lastFrame).count());
    lastFrame = now;
    CorvaneEngine::DynamicTexture_GL* page = CorvaneEngine::GraphicsSystem_GL::browserTexture;
    page->Upload();
    width = page->width;
    pixels.assign(static_cast<size_t>(width) * page->height * 4, 0);
    glBindTexture(GL_TEXTURE_2D, page->glName);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    graphics->ResetTextureBindings();
  }

  Bgra At(int x, int yFromTop) const {
    const uint8_t* p = &pixels[(static_cast<size_t>(yFromTop) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }

  // Runs frames until the condition holds (false after a generous limit).
  bool FramesUntil(const std::function<bool()>& condition, int seconds = 20) {
    return WaitUntil([&] { return Frame(), condition(); }, seconds);
  }

  bool Shows(int x, int y, Bgra colour) {
    return FramesUntil([&] { return At(x, y) == colour; });
  }

  // Whether the page's expression comes to read `want` within 10 s.
  ::testing::AssertionResult Reads(const std::string& expression, const std::string& want) {
    std::string got;
    if (FramesUntil([&] { return (got = browser->Evaluate(expression)) == want; }, 10))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << expression << " gave\n" << got << "\nnot\n" << want;
  }

  // Once the browser is ready, loads the page and waits for its first picture.
  bool Load(const std::string& url, int x, int y, Bgra first) {
    return FramesUntil([&] { return browser->IsReady(); }) &&
           (browser->LoadURL(url.c_str()), Shows(x, y, first));
  }

  // Shows a red page that is one link to target.html (with `attributes`), and clicks the link.
  bool ClickLink(const std::string& attributes) {
    if (!Load(Url("link.html", "<a href=target.html " + attributes +
                                   " style=\"display:block;height:60px;background:red\">x</a>"),
              5, 5, kRed))
      return false;
    Xdo(20, 20, "click 1");
    return true;
  }

  PageBrowser* browser = nullptr;
  std::chrono::steady_clock::time_point lastFrame = std::chrono::steady_clock::now();
  int width = 0;
  std::vector<uint8_t> pixels;
};

// A process's parent from /proc; -1 when it is gone or a zombie.
inline int ParentOf(pid_t pid) {
  std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  char state = 'Z';
  int parent = -1;
  if (size_t close = stat.rfind(')'); close != std::string::npos)
    std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent);
  return state == 'Z' ? -1 : parent;
}
inline bool Alive(pid_t pid) {
  return ParentOf(pid) >= 0;
}

// The process and every live process below it, parents first.
inline std::vector<pid_t> DescendantProcesses(pid_t process) {
  std::vector<pid_t> found{process};
  std::error_code ignored;
  for (size_t next = 0; next < found.size(); ++next)
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored))
      if (pid_t candidate = std::atoi(entry.path().filename().c_str());
          ParentOf(candidate) == found[next])
        found.push_back(candidate);
  return found;
}

// The local addresses ("0100007F:1F90": 127.0.0.1 port 8080, as /proc/net writes them) that the
// browser and its children listen on for TCP, over IPv4 and IPv6.
inline std::vector<std::string> ListeningAddresses(pid_t browser) {
  std::string sockets;  // "socket:[inode]" of every descriptor
  std::error_code ignored;
  for (pid_t process : DescendantProcesses(browser))
    for (const auto& fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/fd", ignored))
      sockets += std::filesystem::read_symlink(fd, ignored).string();
  std::vector<std::string> addresses;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::istringstream lines(ReadFile(table));
    std::string line, local, state, inode, _;
    std::getline(lines, line);  // the heading
    // slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode; 0A: listening
    while (lines >> _ >> local >> _ >> state >> _ >> _ >> _ >> _ >> _ >> inode &&
           std::getline(lines, line))
      if (state == "0A" && sockets.find("socket:[" + inode + "]") != std::string::npos)
        addresses.push_back(local);
  }
  return addresses;
}

}  // namespace CorvaneTest
