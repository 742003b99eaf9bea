// Thread: the engine's thread object, with the ownership rule of a standard library thread: the
// owner makes the thread function return and joins it before destroying the object. Destroying it
// while its thread still runs shows the error box and ends the process.
//
// The one user is the ResourceManager, whose background loader runs as "Resource Thread".
//
// Threads: the owner constructs, joins and destroys it; IsFinished and GetId may be called from
// any thread while the object lives. The running thread only sets `finished` (under `mutex`).
#pragma once

#include <cstdint>
#include <thread>

#include "resources/Mutex.h"

namespace CorvaneEngine {

class Thread {
 public:
  using EntryFunction = void (*)(void* argument);

  // Starts `entry(argument)` at once on a new thread named `name` (at most 15 characters are
  // shown by the system). A thread that cannot be created leaves the object finished.
  Thread(EntryFunction entry, void* argument, const char* name = "Resource Thread");
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool IsFinished();
  // The system's id of the running thread; 0 once it has finished (or never started).
  uint32_t GetId();
  // Waits without a time limit until the thread function has returned.
  void Join();

 private:
  struct ThreadStart;
  static void ThreadEntry(ThreadStart* start);

  std::thread handle;  // not joinable when creation failed
  Mutex mutex;         // guards finished and threadId
  bool finished;
  uint32_t threadId;
};

}  // namespace CorvaneEngine
