// The input System's per-frame cost: KeyboardSystem_SDL::Update advancing all 323 key records
// from SDL's key array (no key down, and three keys held), against the cheapest edge detection
// there is, in the same run: copy the key array and compare it with the previous copy (the
// reference). Goal: under 2 microseconds per frame (about 0.01% of a 60 Hz frame).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>

#include "presentation/KeyboardSystem_SDL.h"

using namespace CorvaneEngine;

namespace {

void Hold(bool down) {
  Uint8* keys = SDL_GetKeyState(nullptr);
  for (int key : {SDLK_SPACE, SDLK_a, SDLK_LEFT}) keys[key] = down ? 1 : 0;
}

void KeyboardRecords(benchmark::State& state) {
  Hold(state.range(0) != 0);
  KeyboardSystem_SDL keyboard;
  for (auto _ : state) {
    keyboard.Update();
    benchmark::DoNotOptimize(keyboard.IsDown(SDLK_SPACE));
  }
  Hold(false);
}
BENCHMARK(KeyboardRecords)->Arg(0)->Arg(1)->ArgName("held");

void CopyAndCompareReference(benchmark::State& state) {
  Hold(state.range(0) != 0);
  const Uint8* keys = SDL_GetKeyState(nullptr);
  Uint8 previous[SDLK_LAST] = {};
  Uint8 pressed[SDLK_LAST];
  for (auto _ : state) {
    for (int i = 0; i < SDLK_LAST; ++i) pressed[i] = keys[i] & ~previous[i];
    std::memcpy(previous, keys, sizeof previous);
    benchmark::DoNotOptimize(pressed[SDLK_SPACE]);
    benchmark::ClobberMemory();
  }
  Hold(false);
}
BENCHMARK(CopyAndCompareReference)->Arg(0)->Arg(1)->ArgName("held");

}  // namespace
