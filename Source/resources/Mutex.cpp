// Mutex over std::recursive_mutex plus the `locked` byte (see Mutex.h for why both).
#include "resources/Mutex.h"

#include <cassert>
#include <chrono>
#include <thread>

namespace CorvaneEngine {

Mutex::Mutex() : locked(false) {}

Mutex::~Mutex() = default;

void Mutex::Lock() {
  section.lock();
  // Only the holder itself can be in here while `locked` is set: a second Lock on the same thread.
  assert(!locked && "Mutex locked again by the thread that holds it");
  while (locked) std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  locked = true;
}

void Mutex::Unlock() {
  locked = false;
  section.unlock();
}

}  // namespace CorvaneEngine
