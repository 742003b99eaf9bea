// RepeatedReports: keeps the error box from coming back every frame with the same text. While
// the main loop runs, a report whose text equals the one before it, made in the same or the next
// frame, is not shown again but counted; the count goes to standard error in one line when the
// series ends (a frame without it, another text, the end of the loop), and at most once a second
// while it goes on. Outside the main loop every report is shown.
//
// Threads: any thread may report; the main loop calls BeginLoop, EndFrame and EndLoop.
#pragma once

namespace CorvaneEngine {

class RepeatedReports {
 public:
  // Whether the report with this text is to be shown (false: it was counted as a repeat).
  static bool Admit(const char* text);
  static void BeginLoop();
  // After every frame: a series without a report in this frame ends here.
  static void EndFrame();
  // Ends the series that runs and stops collapsing.
  static void EndLoop();
};

}  // namespace CorvaneEngine
