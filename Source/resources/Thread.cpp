// Thread over std::thread; the system-specific parts (thread name, kernel thread id) use the
// pthread and Linux calls directly.
//
// The new thread publishes its id and, as its very last act on the Thread object, sets
// `finished`; both under `mutex`, which the constructor holds while it creates and names the
// thread, so a thread function that returns at once still finishes after the constructor.
#include "resources/Thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <exception>
#include <system_error>

#include "core/ReportError.h"
#include "resources/LockGuard.h"

namespace CorvaneEngine {

// Handed to the new thread, which frees it.
struct Thread::ThreadStart {
  EntryFunction entry;
  void* argument;
  Thread* owner;
};

namespace {

// The id the system shows for the thread (ps -L, top -H, debuggers).
uint32_t CurrentSystemThreadId() {
  return static_cast<uint32_t>(::syscall(SYS_gettid));
}

}  // namespace

Thread::Thread(EntryFunction entry, void* argument, const char* name)
    : finished(false), threadId(0) {
  {
    LockGuard guard(mutex);
    ThreadStart* start = new ThreadStart{entry, argument, this};
    finished = false;
    try {
      handle = std::thread(&Thread::ThreadEntry, start);
    } catch (const std::system_error&) {
      // No thread: the object is finished from the start and its owner's loop never runs.
      finished = true;
      delete start;
      return;
    }
    // The system keeps at most 15 characters; a longer name is refused and the thread stays
    // unnamed, which only debuggers would notice.
    pthread_setname_np(handle.native_handle(), name);
  }
  // Wait until the thread has published its id, so GetId answers from the first moment on.
  for (;;) {
    {
      LockGuard guard(mutex);
      if (threadId != 0 || finished) break;
    }
    std::this_thread::yield();
  }
}

void Thread::ThreadEntry(ThreadStart* start) {
  Thread* owner = start->owner;
  {
    LockGuard guard(owner->mutex);
    owner->threadId = CurrentSystemThreadId();
  }
  // An exception that escapes here ends the process (std::terminate), as with any std::thread.
  start->entry(start->argument);
  {
    LockGuard guard(owner->mutex);
    owner->finished = true;
  }
  // The owner may be gone from here on; only the start record is still ours.
  delete start;
}

bool Thread::IsFinished() {
  LockGuard guard(mutex);
  return finished;
}

uint32_t Thread::GetId() {
  LockGuard guard(mutex);
  return finished ? 0 : threadId;
}

void Thread::Join() {
  // A finished thread is past its last use of this object, so joining it returns at once.
  if (handle.joinable()) handle.join();
}

Thread::~Thread() {
  if (!IsFinished()) {
    // The owner broke the rule of the class; the running thread would use a dead object.
    REPORT_ERROR(
        "ERROR: Thread %d is still executing when destructor was called. C++11 standard "
        "specifies the program should now exit.",
        static_cast<int>(GetId()));
    if (!IsFinished()) std::terminate();
  }
  Join();
}

}  // namespace CorvaneEngine
