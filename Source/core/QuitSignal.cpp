#include "core/QuitSignal.h"

#include <signal.h>

#include <atomic>

namespace CorvaneEngine {

namespace {

// Lock-free, so the handler may set it and any thread may read it.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnQuitSignal(int) {
  requested.store(true, std::memory_order_relaxed);
}

}  // namespace

void QuitSignal::Install() {
  struct sigaction action = {};
  action.sa_handler = &OnQuitSignal;
  sigemptyset(&action.sa_mask);
  // Without SA_RESTART a read or wait elsewhere in the program would fail with EINTR.
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool QuitSignal::Requested() {
  return requested.load(std::memory_order_relaxed);
}

}  // namespace CorvaneEngine
