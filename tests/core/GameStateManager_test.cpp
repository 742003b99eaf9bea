// GameStateManager: the call order across switches, re-requests and destruction, and the two
// error boxes with their exact text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/GameStateManager.h"

using namespace CorvaneEngine;

namespace {

std::vector<std::string> calls;

class RecordingState : public GameState {
public:
  explicit RecordingState(std::string name) : name(std::move(name)) {}
  ~RecordingState() override { calls.push_back(name + " delete"); }
  void Load() override { calls.push_back(name + " Load"); }
  void Initialize() override { calls.push_back(name + " Initialize"); }
  void Update(double seconds) override {
    calls.push_back(name + " Update " + std::to_string(seconds));
  }
  void Shutdown() override { calls.push_back(name + " Shutdown"); }
  void Unload() override { calls.push_back(name + " Unload"); }

private:
  std::string name;
};

class GameStateManagerTest : public ::testing::Test {
protected:
  void SetUp() override { calls.clear(); }
  CorvaneTest::CapturedErrorReports reports;
};

TEST_F(GameStateManagerTest, SwitchesHappenAtTheNextUpdateInOrder) {
  auto* manager = new GameStateManager();
  manager->AddState("A", new RecordingState("A"));
  manager->AddState("B", new RecordingState("B"));
  manager->SetState("A");
  EXPECT_TRUE(calls.empty());
  manager->Update(0.0);
  EXPECT_EQ((std::vector<std::string>{"A Load", "A Initialize", "A Update 0.000000"}), calls);

  calls.clear();
  manager->SetState("A");  // already current: no re-entry
  manager->Update(0.25);
  EXPECT_EQ((std::vector<std::string>{"A Update 0.250000"}), calls);

  calls.clear();
  manager->SetState("B");
  manager->Update(0.5);
  EXPECT_EQ((std::vector<std::string>{"A Shutdown", "A Unload", "B Load", "B Initialize",
                                      "B Update 0.500000"}),
            calls);
  calls.clear();
  delete manager;
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ("B Shutdown", calls[0]);
  EXPECT_EQ("B Unload", calls[1]);
  EXPECT_EQ(2, std::count(calls.begin(), calls.end(), "A delete") +
                   std::count(calls.begin(), calls.end(), "B delete"));
  EXPECT_TRUE(reports.Reports().empty());
}

TEST_F(GameStateManagerTest, OnlyTheLastRequestIsEnteredAndRequestedOnlyStatesGetNoShutdown) {
  GameStateManager manager;
  manager.AddState("A", new RecordingState("A"));
  manager.AddState("B", new RecordingState("B"));
  manager.AddState("C", new RecordingState("C"));
  manager.SetState("A");
  manager.SetState("B");
  manager.Update(0.0);
  EXPECT_EQ((std::vector<std::string>{"B Load", "B Initialize", "B Update 0.000000"}), calls);
  manager.SetState("C");  // requested but never entered before destruction
  calls.clear();
  manager.~GameStateManager();
  new (&manager) GameStateManager();  // keep the object valid for its own destructor
  EXPECT_EQ("B Shutdown", calls.at(0));
  EXPECT_EQ("B Unload", calls.at(1));
  EXPECT_EQ(5u, calls.size());  // and three deletes, none of them a Shutdown of C
  EXPECT_EQ(0, std::count(calls.begin(), calls.end(), "C Shutdown"));
}

TEST_F(GameStateManagerTest, ADuplicateNameKeepsTheFirstState) {
  GameStateManager manager;
  auto* second = new RecordingState("second");
  manager.AddState("A", new RecordingState("first"));
  manager.AddState("A", second);
  manager.SetState("A");
  manager.Update(0.0);
  EXPECT_EQ("first Load", calls.at(0));
  delete second;  // not taken by the manager
}

TEST_F(GameStateManagerTest, MissingStatesAreReportedWithTheirExactText) {
  GameStateManager manager;
  manager.Update(0.0);
  manager.SetState("Nowhere");
  manager.Update(0.0);
  ASSERT_EQ(3u, reports.Reports().size());
  const std::string header = "ERROR: GameStateManager.cpp, line ";
  EXPECT_EQ(0u, reports.Reports()[0].find(header)) << reports.Reports()[0];
  EXPECT_NE(std::string::npos,
            reports.Reports()[0].find(
                "\nERROR: There is no GameState set when attempting to update the current state"));
  EXPECT_NE(std::string::npos,
            reports.Reports()[1].find("\nERROR: GameState \"Nowhere\" does not exist"));
  EXPECT_EQ(reports.Reports()[0], reports.Reports()[2]);  // every frame until a state is set
}

}  // namespace
