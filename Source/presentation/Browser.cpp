// Placeholder until the overlay lands: every operation is dropped, as before the browser is ready.
#include "presentation/Browser.h"

namespace CorvaneEngine {

Browser* Browser::instance = nullptr;

Browser::Browser() {}
Browser::~Browser() {}
void Browser::Initialize() {}
void Browser::Shutdown() {}
void Browser::LoadURL(const char*) {}
void Browser::Resize() {}
void Browser::KeyDown(int32_t, int32_t) {}
void Browser::KeyUp(int32_t) {}
void Browser::CharInput(uint32_t, uint32_t) {}
void Browser::MouseMove(int32_t, int32_t) {}
void Browser::MouseDown(int32_t, int32_t, int32_t) {}
void Browser::MouseUp(int32_t, int32_t, int32_t) {}

}  // namespace CorvaneEngine
