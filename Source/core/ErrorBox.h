// ErrorBox: the platform's modal message box with one OK button (the stand-in for the Windows
// box). Blocks until the user closes it. Does nothing when no display is open or when
// CORVANE_ERROR_BOX=0 asks for unattended runs.
#pragma once

namespace CorvaneEngine {

void ShowErrorBox(const char* title, const char* text);

}  // namespace CorvaneEngine
