// The overlay suites' rig: a real GL window under the private Xvfb with the Browser on it
// against the real headless Chromium; pages written to the scratch folder report what they saw
// through the colours of boxes, read back from the page texture.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>

#include "GraphicsTestSupport.h"
#include "core/OutputStream.h"
#include "overlay/Browser.h"
#include "overlay/BrowserClient.h"
#include "overlay/FileURL.h"
#include "overlay/HeadlessView.h"
#include "presentation/DynamicTexture_GL.h"

namespace CorvaneTest {

using CorvaneEngine::Browser;
using CorvaneEngine::GraphicsSystem_GL;

struct Bgra {
  int b, g, r, a;
  bool operator==(const Bgra& o) const {
    return std::abs(b - o.b) <= 2 && std::abs(g - o.g) <= 2 && std::abs(r - o.r) <= 2 &&
           std::abs(a - o.a) <= 2;
  }
};
inline std::ostream& operator<<(std::ostream& out, const Bgra& c) {
  return out << "bgra(" << c.b << "," << c.g << "," << c.r << "," << c.a << ")";
}

namespace OverlayColours {  // page colours as the page texture holds them
const Bgra kClear{0, 0, 0, 0};
const Bgra kGreen{0, 255, 0, 255};
const Bgra kRed{0, 0, 255, 255};
const Bgra kBlue{255, 0, 0, 255};
}  // namespace OverlayColours

// A page element: an absolutely placed box of a colour, optionally with an id.
inline std::string Box(int x, int y, int w, int h, const std::string& colour,
                       const std::string& id = "", const std::string& position = "absolute") {
  return "<div" + (id.empty() ? std::string() : " id=" + id) + " style=\"position:" + position +
         ";left:" + std::to_string(x) + "px;top:" + std::to_string(y) +
         "px;width:" + std::to_string(w) + "px;height:" + std::to_string(h) +
         "px;background:" + colour + "\"></div>";
}

// The overlay with its page in reach, so tests can read what the page recorded.
class PageBrowser : public Browser {
 public:
  // The value of a script expression in the page ("" when there is no answer within 10 s).
  std::string Evaluate(const std::string& expression) {
    std::shared_ptr<CorvaneEngine::HeadlessView> page = client->ReadyBrowser();
    if (!page) return "";
    auto answer = std::make_shared<std::pair<bool, std::string>>();
    auto mutex = std::make_shared<std::mutex>();
    auto answered = std::make_shared<std::condition_variable>();
    nlohmann::json params{{"expression", expression}, {"returnByValue", true}};
    page->SendCommand("Runtime.evaluate", params.dump(), [=](const nlohmann::json& reply) {
      std::lock_guard<std::mutex> guard(*mutex);
      *answer = {true, reply["result"]["result"].value("value", "")};
      answered->notify_all();
    });
    std::unique_lock<std::mutex> guard(*mutex);
    answered->wait_for(guard, std::chrono::seconds(10), [&] { return answer->first; });
    return answer->second;
  }
};

class BrowserOverlayTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    if (HasFatalFailure()) return;
    // The browser's profile, and the empty page it starts on, go where a path needs escaping.
    setenv("TMPDIR", scratch.Write("temp #1/.keep", "").parent_path().c_str(), 1);
    browser = new PageBrowser();
    Browser::instance = browser;
    engine->AddSystem(browser);
  }

  void TearDown() override {
    GraphicsTest::TearDown();  // shuts down and deletes the browser with the other Systems
    unsetenv("TMPDIR");
    EXPECT_EQ(nullptr, Browser::instance);
  }

  // A page of that body in the scratch folder. Its URL is percent-encoded: written raw into a
  // link, the non-ASCII bytes of a folder name would be read in the page's own encoding, which a
  // file without a charset does not declare.
  std::string Url(const std::string& name, const std::string& body) {
    scratch.Write(name, "<!DOCTYPE html><html><body style=\"margin:0\">" + body + "</body>");
    return CorvaneEngine::FileURL(scratch.Path().c_str(), ("/" + name).c_str()).CStr();
  }

  // The window's events, then the page texture's upload as a frame does it, then the texture as
  // the GL holds it. (No drawing or swapping: the page texture alone is under test.)
  void Frame() {
    window->Update(0.0);
    auto now = std::chrono::steady_clock::now();
    browser->Update(std::chrono::duration<double>(now - lastFrame).count());
    lastFrame = now;
    CorvaneEngine::DynamicTexture_GL* page = GraphicsSystem_GL::browserTexture;
    page->Upload();
    width = page->width;
    height = page->height;
    pixels.assign(static_cast<size_t>(width) * height * 4, 0);
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
    return WaitUntil(
        [&] {
          Frame();
          return condition();
        },
        seconds);
  }

  bool Shows(int x, int y, Bgra colour) {
    return FramesUntil([&] { return At(x, y) == colour; });
  }

  // Once the browser is ready, loads the page and waits for its first picture.
  bool Load(const std::string& url, int x, int y, Bgra first) {
    if (!FramesUntil([&] { return browser->IsReady(); })) return false;
    browser->LoadURL(url.c_str());
    return Shows(x, y, first);
  }

  // Points at (x, y) first: the keyboard focus follows the pointer on a bare X server.
  void Xdo(int x, int y, const std::string& arguments) {
    std::string move = "mousemove --window " + std::to_string(window->GetWindowHandle()) + " " +
                       std::to_string(x) + " " + std::to_string(y) + " ";
    ASSERT_EQ(0, CorvaneTest::RunCommand("xdotool " + move + arguments)) << arguments;
  }

  PageBrowser* browser = nullptr;
  std::chrono::steady_clock::time_point lastFrame = std::chrono::steady_clock::now();
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// Every process below `process` (the browser), children first.
inline std::vector<pid_t> DescendantProcesses(pid_t process) {
  std::vector<pid_t> parents{process};
  for (size_t next = 0; next < parents.size(); ++next) {
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
      pid_t candidate = static_cast<pid_t>(std::atoi(entry->d_name));
      std::string stat =
          candidate > 0 ? ReadFile("/proc/" + std::to_string(candidate) + "/stat") : std::string();
      int parent = 0;
      size_t close = stat.rfind(')');
      if (close != std::string::npos &&
          std::sscanf(stat.c_str() + close + 1, " %*c %d", &parent) == 1 && parent == parents[next])
        parents.push_back(candidate);
    }
    if (proc) closedir(proc);
  }
  parents.erase(parents.begin());
  return parents;
}

// The renderer processes among the descendants of `process` (the browser): a renderer's command
// line has "--type=renderer".
inline std::vector<pid_t> RendererProcesses(pid_t process) {
  std::vector<pid_t> found;
  for (pid_t candidate : DescendantProcesses(process)) {
    std::string command = ReadFile("/proc/" + std::to_string(candidate) + "/cmdline");
    if (command.find("--type=renderer") != std::string::npos) found.push_back(candidate);
  }
  return found;
}

}  // namespace CorvaneTest
