// LockGuard: holds a Mutex for the lifetime of a scope (also when the scope is left early).
//
// Threads: belongs to the thread that made it.
#pragma once

#include "resources/Mutex.h"

namespace CorvaneEngine {

class LockGuard {
 public:
  explicit LockGuard(Mutex& mutex);
  ~LockGuard();
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Mutex& mutex;
};

}  // namespace CorvaneEngine
