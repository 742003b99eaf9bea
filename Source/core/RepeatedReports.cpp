#include "core/RepeatedReports.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace CorvaneEngine {

namespace {

using Clock = std::chrono::steady_clock;

struct Series {
  std::mutex lock;
  bool loopRunning = false;
  std::string text;  // the report that was shown last; empty after a series ended
  bool seenThisFrame = false;
  long uncounted = 0;  // repeats not written yet
  Clock::time_point lastLine;
};

Series& TheSeries() {
  static Series series;
  return series;
}

// One line: the header of the report (its file and line) and how often it came since the last
// line about it.
void WriteCount(Series& series) {
  if (series.uncounted == 0) return;
  std::string header = series.text.substr(0, series.text.find('\n'));
  std::fprintf(stderr, "%s: the same report came %ld more time%s\n", header.c_str(),
               series.uncounted, series.uncounted == 1 ? "" : "s");
  std::fflush(stderr);
  series.uncounted = 0;
  series.lastLine = Clock::now();
}

void EndSeries(Series& series) {
  WriteCount(series);
  series.text.clear();
}

}  // namespace

bool RepeatedReports::Admit(const char* text) {
  Series& series = TheSeries();
  std::lock_guard<std::mutex> guard(series.lock);
  if (!series.loopRunning) return true;
  series.seenThisFrame = true;
  if (!series.text.empty() && series.text == text) {
    ++series.uncounted;
    if (Clock::now() - series.lastLine >= std::chrono::seconds(1)) WriteCount(series);
    return false;
  }
  EndSeries(series);
  series.text = text;
  series.lastLine = Clock::now();
  return true;
}

void RepeatedReports::BeginLoop() {
  Series& series = TheSeries();
  std::lock_guard<std::mutex> guard(series.lock);
  series.loopRunning = true;
  series.seenThisFrame = false;
}

void RepeatedReports::EndFrame() {
  Series& series = TheSeries();
  std::lock_guard<std::mutex> guard(series.lock);
  if (!series.seenThisFrame) EndSeries(series);
  series.seenThisFrame = false;
}

void RepeatedReports::EndLoop() {
  Series& series = TheSeries();
  std::lock_guard<std::mutex> guard(series.lock);
  EndSeries(series);
  series.loopRunning = false;
}

}  // namespace CorvaneEngine
