// GameStateManager: the call order across switches, re-requests and destruction, and the two
// error boxes with their exact text.
#include "core/GameStateManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/ReportError.h"

using namespace CorvaneEngine;
using Calls = std::vector<std::string>;

static Calls calls;

struct RecordingState : GameState {
  explicit RecordingState(std::string name) : name(std::move(name)) {}
  ~RecordingState() override { calls.push_back(name + " delete"); }
  void Load() override { calls.push_back(name + " Load"); }
  void Initialize() override { calls.push_back(name + " Initialize"); }
  void Update(double s) override { calls.push_back(name + " Update " + std::to_string(s)); }
  void Shutdown() override { calls.push_back(name + " Shutdown"); }
  void Unload() override { calls.push_back(name + " Unload"); }
  std::string name;
};

TEST(GameStateManager, SwitchesHappenAtTheNextUpdateInOrderAndMissingStatesAreReported) {
  // Error reports join the calls: the line after the call site's.
  SetErrorReportHandler([](const char* text) { calls.push_back(std::strchr(text, '\n') + 1); });
  auto* manager = new GameStateManager();
  manager->Update(0.0);
  manager->SetState("Nowhere");
  manager->Update(0.0);
  for (const char* name : {"A", "B", "C"}) manager->AddState(name, new RecordingState(name));
  RecordingState second("second");  // a duplicate name: not taken by the manager
  manager->AddState("A", &second);
  manager->SetState("C");
  manager->SetState("A");
  EXPECT_EQ(calls.size(), 3u);  // the switch waits for the next Update
  manager->Update(0.0);
  manager->SetState("A");  // already current: no re-entry
  manager->Update(0.25);
  manager->SetState("B");
  manager->Update(0.5);
  manager->SetState("C");  // requested but never entered before destruction: no Shutdown
  delete manager;
  std::sort(calls.end() - 3, calls.end());  // the states go in the map's order
  const std::string none =                  // every frame without a state is told
      "ERROR: There is no GameState set when attempting to update the current state";
  EXPECT_EQ(calls, (Calls{none, "ERROR: GameState \"Nowhere\" does not exist", none, "A Load",
                          "A Initialize", "A Update 0.000000", "A Update 0.250000", "A Shutdown",
                          "A Unload", "B Load", "B Initialize", "B Update 0.500000", "B Shutdown",
                          "B Unload", "A delete", "B delete", "C delete"}));
  SetErrorReportHandler(nullptr);
}
