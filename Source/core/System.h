// System: the interface of every per-frame subsystem. The Engine calls Initialize when the
// System is added, Start and PostStart once before the first frame, Update once per frame with
// the previous frame's duration in seconds, and Shutdown once after the last frame (in reverse
// order of adding). Derived classes append their own operations after these.
//
// Threads: main thread only.
#pragma once

namespace CorvaneEngine {

class System {
public:
  virtual ~System() = default;
  virtual void Initialize() {}
  virtual void Start() {}
  virtual void PostStart() {}
  virtual void Shutdown() {}
  virtual void Update(double seconds) = 0;
};

}  // namespace CorvaneEngine
