// Mutex: the lock that guards the resource manager's tables and a Thread's own state.
//
// A holder that locks again does not get in: the underlying lock lets its owner in again, and the
// `locked` byte then keeps it waiting (1000 ms steps, for ever). So never lock a Mutex that the
// calling thread already holds. Other threads simply wait inside the underlying lock.
//
// Threads: any thread may lock and unlock; `locked` is only read and written inside the lock.
#pragma once

#include <mutex>

namespace CorvaneEngine {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock();
  void Unlock();

 private:
  std::recursive_mutex section;  // lets its owner in again, like the critical section it replaces
  bool locked;
};

}  // namespace CorvaneEngine
