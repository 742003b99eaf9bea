// The lock's mutual exclusion and the death of a Thread destroyed while its thread runs. (Running,
// finishing and joining are the resource manager suite's matter: its resource thread is one.)
#include "resources/Thread.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "resources/LockGuard.h"
#include "resources/Mutex.h"

using namespace CorvaneEngine;

TEST(Mutex, ASecondLockerWaitsForTheHolderAndTheGuardGivesItBack) {
  Mutex mutex;
  std::atomic<pid_t> waiterThread{0};
  mutex.Lock();
  std::thread waiter([&] {
    waiterThread = static_cast<pid_t>(syscall(SYS_gettid));
    LockGuard guard(mutex);
  });
  const bool held = CorvaneTest::WaitUntil([&] { return waiterThread != 0; }) &&
                    CorvaneTest::WaitUntilBlocked(waiterThread);
  mutex.Unlock();
  waiter.join();
  EXPECT_TRUE(held) << "the second locker was not held at the lock";
  LockGuard again(mutex);  // hangs (until the test's time-out) if the guard kept it
}

TEST(ThreadDeathTest, DestroyingARunningThreadReportsAndEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("CORVANE_ERROR_BOX", "0", 1);
  auto forever = [](void*) {
    for (;;) pause();
  };
  EXPECT_DEATH(delete new Thread(forever, nullptr),
               "ERROR: Thread\\.cpp, line [0-9]+\nERROR: Thread [1-9][0-9]* is still executing "
               "when destructor was called\\. C\\+\\+11 standard specifies the program should "
               "now exit\\.");
}
