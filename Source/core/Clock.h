// Clock: the engine's millisecond clock (the stand-in for timeGetTime). A monotonic count of
// milliseconds as unsigned 32 bits; it may wrap, so only differences are meaningful.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

uint32_t TimeGetTime();

}  // namespace CorvaneEngine
