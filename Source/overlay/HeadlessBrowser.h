// HeadlessBrowser: the engine's own small browser layer over Debian's chromium-headless-shell.
// It starts the shell as a child process (windowless, transparent page background, file pages
// allowed to reach files, no console logging, nothing sent to the network on its own), speaks
// the DevTools protocol with it over a private pipe, creates one page at the given size and
// reports to its client: page created, page painted (decoded here, off the main thread), page
// load failed, page closed, popup opening, browser failed. A message of an unexpected shape is
// logged and skipped; nothing the browser sends ends the reader thread.
//
// The binary is chromium-headless-shell unless the environment variable CORVANE_BROWSER names
// another one.
//
// Threads: Start and Stop on the owning thread (the main thread; the child is tied to the
// thread that starts it). Every client call-back runs on the layer's reader thread ("Browser
// Thread"), which is also where images are decoded. The page's own commands (HeadlessView) may
// be sent from any thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace CorvaneEngine {

class HeadlessBrowserClient;

class HeadlessBrowser {
 public:
  struct Settings {
    std::string binary;  // empty: DefaultBinary()
    int32_t width = 1280;
    int32_t height = 720;
  };

  explicit HeadlessBrowser(HeadlessBrowserClient* client);
  ~HeadlessBrowser();  // Stop
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  // Starts the browser process and the reader thread; the page is created asynchronously
  // (PageCreated). False, with the path and the reason in `error`, when the binary cannot be
  // started. A browser that has not created the page within 10 s is ended (killed, reaped, its
  // profile folder removed) and reported with BrowserFailed.
  bool Start(const Settings& settings, std::string& error);
  // Ends the browser process (politely, then by force) and joins the reader thread; no
  // call-back runs after it returns. Idempotent.
  void Stop();

  // The browser process, or -1 when none runs.
  pid_t ProcessId() const;
  // Pages the browser holds open: the overlay's own and any popup not closed yet.
  int32_t OpenPageCount() const;

  static std::string DefaultBinary();
  // Whether the URL is the empty page a browser of this layer shows before its first load.
  static bool IsStartPage(const std::string& url);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace CorvaneEngine
