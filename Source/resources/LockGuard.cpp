#include "resources/LockGuard.h"

namespace CorvaneEngine {

LockGuard::LockGuard(Mutex& mutex) : mutex(mutex) {
  mutex.Lock();
}

LockGuard::~LockGuard() {
  mutex.Unlock();
}

}  // namespace CorvaneEngine
