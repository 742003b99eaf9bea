// The thread wrapper and the lock: naming, ids, finishing, mutual exclusion and the death of a
// Thread destroyed while its thread runs.
#include "resources/Thread.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "TestProbes.h"
#include "TestSupport.h"
#include "resources/LockGuard.h"
#include "resources/Mutex.h"

using namespace CorvaneEngine;

namespace {
struct Seen {
  char name[16] = {};
  std::atomic<uint32_t> systemId{0};
  std::atomic<bool> release{false};
};
}  // namespace

TEST(Thread, RunsNamedAndFinishesWhenItsFunctionReturns) {
  Seen seen;
  Thread thread(
      [](void* argument) {
        Seen* seen = static_cast<Seen*>(argument);
        pthread_getname_np(pthread_self(), seen->name, sizeof seen->name);
        seen->systemId = static_cast<uint32_t>(syscall(SYS_gettid));
        CorvaneTest::WaitUntil([seen] { return seen->release.load(); });
      },
      &seen);
  EXPECT_FALSE(thread.IsFinished());
  ASSERT_TRUE(CorvaneTest::WaitUntil([&] { return seen.systemId != 0; }));
  EXPECT_EQ(thread.GetId(), seen.systemId);  // the id the system shows for the thread
  seen.release = true;
  thread.Join();
  EXPECT_TRUE(thread.IsFinished() && thread.GetId() == 0u);
  EXPECT_STREQ(seen.name, "Resource Thread");
  for (int i = 0; i < 50; ++i) {  // the thread often ends before the constructor does
    Thread quick([](void*) {}, nullptr);
    quick.Join();
    EXPECT_TRUE(quick.IsFinished() && quick.GetId() == 0u);
  }
}

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
  EXPECT_DEATH(delete new Thread(
                   [](void*) {
                     for (;;) pause();
                   },
                   nullptr),
               "ERROR: Thread\\.cpp, line [0-9]+\nERROR: Thread [1-9][0-9]* is still executing "
               "when destructor was called\\. C\\+\\+11 standard specifies the program should "
               "now exit\\.");
}
