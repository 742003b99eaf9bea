// GOComponent: the base of every piece of per-object state and behaviour (Renderable_GL, Camera,
// the game's Behavior). A component belongs to the GameObject in `owner`, which deletes it;
// prototypes held by the ObjectFactory have no owner. A component reaches its object's transform
// and its sibling components only through `owner`.
//
// Threads: main thread only.
#pragma once

namespace CorvaneEngine {

class BaseSerializer;
class GameObject;

class GOComponent {
 public:
  GOComponent() = default;
  GOComponent(const GOComponent&) = default;
  GOComponent& operator=(const GOComponent&) = default;

  // Slot 0: called when the owning object (or, for a prototype, the factory) is destroyed.
  virtual ~GOComponent() = default;
  // Slot 1: a new component with the same settings. The caller sets the copy's owner.
  virtual GOComponent* Clone();
  // Slot 2: the owning object has just been added to the ObjectManager (its id still reads -1).
  virtual void Initialize() {}
  // Slot 3: reads (or writes) the component's element; the cursor stands on that element and
  // must stand there again on return.
  virtual void Serialize(BaseSerializer& /*serializer*/) {}
  // Slot 4: the owning object is about to be destroyed by the ObjectManager's deferred pass.
  virtual void Shutdown() {}
  // Slot 5: once per frame, through the owning object, with the time step in seconds.
  virtual void Update(double /*seconds*/) {}

  GameObject* owner = nullptr;
};

}  // namespace CorvaneEngine
