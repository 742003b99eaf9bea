// A component that notes every call it receives in a shared journal, so tests can check the
// order in which objects, the manager and the factory drive components.
#pragma once

#include <string>
#include <vector>

#include "objects/GOComponent.h"
#include "objects/GameObject.h"

namespace CorvaneTest {

class RecordingComponent : public CorvaneEngine::GOComponent {
 public:
  RecordingComponent(std::string label, std::vector<std::string>* journal)
      : label(std::move(label)), journal(journal) {}
  ~RecordingComponent() override { journal->push_back(label + " delete"); }
  GOComponent* Clone() override { return new RecordingComponent(*this); }
  void Initialize() override {
    journal->push_back(label + " init " + std::to_string(owner ? owner->id : -2));
  }
  void Shutdown() override { journal->push_back(label + " shutdown"); }
  void Update(double seconds) override {
    journal->push_back(label + " update " + std::to_string(seconds).substr(0, 4));
  }

  std::string label;
  std::vector<std::string>* journal;
};

// An object with one recording component per label, in label order.
inline CorvaneEngine::GameObject* Recorded(std::vector<std::string>* journal,
                                           std::initializer_list<const char*> labels) {
  auto* object = new CorvaneEngine::GameObject();
  for (const char* label : labels) {
    object->components.push_back(new RecordingComponent(label, journal));
    object->components.back()->owner = object;
  }
  return object;
}

}  // namespace CorvaneTest
