// Messages between the game and its page, in the engine's frame loop paced at 60 frames per
// second (window, Browser and graphics systems on a 1280x720 GL window under Xvfb), against the
// reference measured on the same pipe in the same run:
//   Messaging/EvaluateRoundTrip   the reference: a bare Runtime.evaluate of "1" sent to the page
//                                 and its answer read back, no frame loop (median, p99)
//   Messaging/PageSendToHandler   corvane.send in the page to the game's handler running in a
//                                 frame (median, p99; goal: median within one frame + 5 ms)
//   Messaging/EventToListener     SendEvent in a frame to the page's corvane.on listener (same
//                                 goal); the page stamps arrival with the shared wall clock
//   Messaging/Throughput          small messages per second each way, the page sending as fast as
//                                 its tasks run and the game sending 500 events a frame (goal:
//                                 10,000 a second each way), and the frame-time figure of those
//                                 frames: median, maximum and frames over twice the median (goal:
//                                 0), beside the same figure for as many frames without messages
//                                 (quiet_*), the reference for what the machine itself adds
// Needs Xvfb (started here) and chromium-headless-shell.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "core/Engine.h"
#include "overlay/Browser.h"
#include "overlay/BrowserClient.h"
#include "overlay/FileURL.h"
#include "overlay/HeadlessView.h"
#include "presentation/GraphicsSystem_GL.h"
#include "presentation/WindowSystem_SDL.h"
// The private Xvfb of the test suites, compiled in.
#include "VirtualDisplay.h"

using namespace CorvaneEngine;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr auto kFrame = std::chrono::microseconds(16667);
constexpr int kSamples = 300;

double WallMilliseconds() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

double Percentile(std::vector<double> values, double part) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(part * values.size()))];
}

// The Browser with its page at hand, for the reference round trip.
class BenchBrowser : public Browser {
 public:
  std::shared_ptr<HeadlessView> Page() { return client->ReadyBrowser(); }
};

// The engine's window, graphics and Browser in a folder of the benchmark's own (the pages are
// the game's pages there), and frames run as the main loop runs them, paced at 60 per second.
class MessagingFixture {
 public:
  bool Open() {
    display.reset(new CorvaneTest::VirtualDisplay(kWidth, kHeight));
    if (!display->Ok()) return false;
    folder = std::filesystem::temp_directory_path() /
             ("corvane-messaging-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    setenv("CORVANE_ERROR_BOX", "0", 1);
    engine = new Engine();
    window = new WindowSystem_SDL();
    window->SetSize(kWidth, kHeight);
    window->SetFullscreen(false);
    engine->AddSystem(window);
    if (engine->exitCode != 0) return false;
    graphics = new GraphicsSystem_GL();
    engine->AddSystem(graphics);
    browser = new BenchBrowser();
    Browser::instance = browser;
    browser->Initialize();
    return true;
  }
  ~MessagingFixture() {
    if (browser) browser->Shutdown();
    delete browser;
    if (graphics) graphics->Shutdown();
    if (window) window->Shutdown();
    delete graphics;
    delete window;
    delete engine;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  // The URL of a page of the game's folder that runs `script`.
  std::string Page(const std::string& name, const std::string& script) {
    std::ofstream(folder / name) << "<!DOCTYPE html><html><body><script>" << script
                                 << "</script></body></html>";
    return FileURL(folder.c_str(), ("/" + name).c_str()).CStr();
  }

  // One paced frame; its length since the last one is kept while `frameTimes` records.
  void Frame() {
    auto now = Clock::now();
    if (now < nextFrame) std::this_thread::sleep_until(nextFrame);
    now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - lastFrame).count();
    if (recording) frameTimes.push_back(1000.0 * seconds);
    lastFrame = now;
    nextFrame = std::max(nextFrame + kFrame, now);
    window->Update(seconds);
    browser->Update(seconds);
    graphics->Update(seconds);
  }

  bool FramesUntil(const std::function<bool()>& condition, int seconds = 20) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
      if (Clock::now() > end) return false;
      Frame();
    }
    return true;
  }

  // Loads the page and runs frames until it is ready.
  bool Load(const std::string& url) {
    std::string readyURL;
    browser->OnPageReady([&](const std::string& ready) { readyURL = ready; });
    if (!FramesUntil([&] { return browser->IsReady(); })) return false;
    browser->LoadURL(url.c_str());
    return FramesUntil([&] { return readyURL == url; });
  }

  std::unique_ptr<CorvaneTest::VirtualDisplay> display;
  std::filesystem::path folder;
  Engine* engine = nullptr;
  WindowSystem_SDL* window = nullptr;
  GraphicsSystem_GL* graphics = nullptr;
  BenchBrowser* browser = nullptr;
  Clock::time_point lastFrame = Clock::now(), nextFrame = Clock::now();
  bool recording = false;
  std::vector<double> frameTimes;
};

MessagingFixture* Shared() {
  static MessagingFixture fixture;
  static bool opened = fixture.Open();
  return opened ? &fixture : nullptr;
}

void Report(benchmark::State& state, const std::vector<double>& milliseconds) {
  state.counters["median_ms"] = Percentile(milliseconds, 0.5);
  state.counters["p99_ms"] = Percentile(milliseconds, 0.99);
}

void EvaluateRoundTrip(benchmark::State& state) {
  MessagingFixture* fixture = Shared();
  if (!fixture || !fixture->Load(fixture->Page("reference.html", ""))) {
    state.SkipWithError("no page");
    return;
  }
  std::shared_ptr<HeadlessView> page = fixture->browser->Page();
  std::mutex lock;
  std::condition_variable answered;
  std::vector<double> times;
  for (auto _ : state) {
    for (int i = 0; i < kSamples; ++i) {
      bool done = false;
      const auto start = Clock::now();
      page->SendCommand("Runtime.evaluate", "{\"expression\":\"1\"}", [&](const nlohmann::json&) {
        std::lock_guard<std::mutex> guard(lock);
        done = true;
        answered.notify_all();
      });
      std::unique_lock<std::mutex> guard(lock);
      answered.wait_for(guard, std::chrono::seconds(10), [&] { return done; });
      times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  }
  Report(state, times);
}
BENCHMARK(EvaluateRoundTrip)->Name("Messaging/EvaluateRoundTrip")->Iterations(1);

void PageSendToHandler(benchmark::State& state) {
  MessagingFixture* fixture = Shared();
  std::vector<double> times;
  fixture->browser->OnPageMessage("stamp", [&](const std::string& json) {
    times.push_back(WallMilliseconds() - std::stod(json));
  });
  // Every 10 ms, out of step with the frames, as a page's own events come.
  if (!fixture->Load(fixture->Page(
          "send.html",
          "setInterval(() => corvane.send('stamp', performance.timeOrigin + performance.now()),"
          " 10);"))) {
    state.SkipWithError("no page");
    return;
  }
  for (auto _ : state) {
    times.clear();
    fixture->FramesUntil([&] { return times.size() >= static_cast<size_t>(kSamples); }, 60);
  }
  fixture->browser->OnPageMessage("stamp", nullptr);
  Report(state, times);
}
BENCHMARK(PageSendToHandler)->Name("Messaging/PageSendToHandler")->Iterations(1);

void EventToListener(benchmark::State& state) {
  MessagingFixture* fixture = Shared();
  if (!fixture->Load(
          fixture->Page("listen.html",
                        "var late = []; corvane.on('stamp', t => late.push(performance.timeOrigin +"
                        " performance.now() - t));"
                        "corvane.on('report', () => corvane.send('late', late));"))) {
    state.SkipWithError("no page");
    return;
  }
  std::vector<double> times;
  fixture->browser->OnPageMessage("late", [&](const std::string& json) {
    for (const auto& value : nlohmann::json::parse(json)) times.push_back(value.get<double>());
  });
  for (auto _ : state) {
    for (int i = 0; i < kSamples; ++i) {
      fixture->browser->SendEvent("stamp", std::to_string(WallMilliseconds()));
      fixture->Frame();
    }
    fixture->browser->SendEvent("report", "0");
    fixture->FramesUntil([&] { return !times.empty(); });
  }
  Report(state, times);
}
BENCHMARK(EventToListener)->Name("Messaging/EventToListener")->Iterations(1);

void Throughput(benchmark::State& state) {
  MessagingFixture* fixture = Shared();
  constexpr double kSeconds = 3.0;
  constexpr int kEventsPerFrame = 500;
  if (!fixture->Load(fixture->Page(
          "throughput.html",
          "var got = 0, sending = false, i = 0;"
          "corvane.on('n', () => got++);"
          "corvane.on('count', () => corvane.send('count', got));"
          "function burst() { if (!sending) return;"
          "  for (var k = 0; k < 100; k++) corvane.send('n', i++); setTimeout(burst, 0); }"
          "corvane.on('start', () => { sending = true; burst(); });"
          "corvane.on('stop', () => { sending = false; });"))) {
    state.SkipWithError("no page");
    return;
  }
  size_t received = 0;
  long pageCount = -1;
  fixture->browser->OnPageMessage("n", [&](const std::string&) { ++received; });
  fixture->browser->OnPageMessage("count",
                                  [&](const std::string& json) { pageCount = std::stol(json); });
  // Frame times without messages, then with them; the same figures for both.
  auto frameFigure = [&](const char* prefix) {
    const double median = Percentile(fixture->frameTimes, 0.5);
    state.counters[std::string(prefix) + "frame_median_ms"] = median;
    state.counters[std::string(prefix) + "frame_max_ms"] =
        *std::max_element(fixture->frameTimes.begin(), fixture->frameTimes.end());
    state.counters[std::string(prefix) + "frames_over_2x_median"] =
        static_cast<double>(std::count_if(fixture->frameTimes.begin(), fixture->frameTimes.end(),
                                          [&](double ms) { return ms > 2 * median; }));
  };
  for (auto _ : state) {
    fixture->frameTimes.clear();
    fixture->recording = true;
    auto quiet = Clock::now();
    while (Clock::now() - quiet < std::chrono::duration<double>(2 * kSeconds)) fixture->Frame();
    fixture->recording = false;
    frameFigure("quiet_");
    fixture->frameTimes.clear();

    // The page to the game, as fast as the page sends.
    fixture->browser->SendEvent("start", "0");
    fixture->FramesUntil([&] { return received > 0; });
    received = 0;
    fixture->recording = true;
    auto start = Clock::now();
    while (Clock::now() - start < std::chrono::duration<double>(kSeconds)) fixture->Frame();
    const double toGame = received / std::chrono::duration<double>(Clock::now() - start).count();
    fixture->recording = false;
    fixture->browser->SendEvent("stop", "0");
    fixture->FramesUntil([&] { return false; }, 1);  // the last of them drain

    // The game to the page, kEventsPerFrame a frame.
    size_t sent = 0;
    start = Clock::now();
    fixture->recording = true;
    while (Clock::now() - start < std::chrono::duration<double>(kSeconds)) {
      for (int k = 0; k < kEventsPerFrame; ++k) fixture->browser->SendEvent("n", "1");
      sent += kEventsPerFrame;
      fixture->Frame();
    }
    fixture->recording = false;
    fixture->browser->SendEvent("count", "0");
    fixture->FramesUntil([&] { return pageCount >= 0; });
    const double toPage = pageCount / std::chrono::duration<double>(Clock::now() - start).count();

    state.counters["page_to_game_per_s"] = toGame;
    state.counters["game_to_page_per_s"] = toPage;
    state.counters["game_to_page_delivered"] = static_cast<double>(pageCount) / sent;
    frameFigure("");
  }
}
BENCHMARK(Throughput)->Name("Messaging/Throughput")->Iterations(1);

}  // namespace
