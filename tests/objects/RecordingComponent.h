// A component that writes every call it receives into a shared journal, so tests can check the
// order in which objects and the manager drive their components.
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
  ~RecordingComponent() override { Note("delete"); }

  GOComponent* Clone() override { return new RecordingComponent(*this); }
  void Initialize() override {
    Note("init");
    idSeenInInitialize = owner ? owner->id : -2;
  }
  void Shutdown() override { Note("shutdown"); }
  void Update(double seconds) override {
    Note("update");
    lastSeconds = seconds;
  }

  std::string label;
  std::vector<std::string>* journal;
  int idSeenInInitialize = -2;
  double lastSeconds = 0.0;

 private:
  void Note(const char* what) {
    if (journal) journal->push_back(label + " " + what);
  }
};

}  // namespace CorvaneTest
