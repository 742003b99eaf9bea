// Engine and program entry: the measured time step, the order of Start, PostStart and Update,
// tear-down order (the settings go before the resource manager), the command line and the missing
// start-up hook.
#include "core/Engine.h"

#include <gmock/gmock.h>

#include "TestSupport.h"
#include "core/ConfigData.h"
#include "core/ProgramEntry.h"
#include "resources/ResourceMaker.h"
#include "resources/ResourceManager.h"

using namespace CorvaneEngine;

static std::vector<std::string> calls;

// Records its calls, with the time step in seconds; stops the loop after `left` frames when that is
// positive.
struct RecordingSystem : System {
  RecordingSystem(std::string name, int left) : name(std::move(name)), left(left) {}
  ~RecordingSystem() override { calls.push_back(name + " delete"); }
  void Initialize() override { calls.push_back(name + " Initialize"); }
  void Start() override { calls.push_back(name + " Start"); }
  void PostStart() override { calls.push_back(name + " PostStart"); }
  void Shutdown() override { calls.push_back(name + " Shutdown"); }
  void Update(double seconds) override {
    calls.push_back(name + " Update " + std::to_string(seconds));
    if (--left == 0) Engine::instance->running = false;
  }
  std::string name;
  int left;
};

// A loader that records, when the resource manager frees it, whether the settings are gone yet
// ("maker early" when they are not, "maker" when they are).
struct RecordingMaker : ResourceMaker {
  RecordingMaker() : ResourceMaker(false) {}
  ~RecordingMaker() override { calls.push_back(ConfigData::instance ? "maker early" : "maker"); }
  Resource* Load(const ResourceRequest&) override { return nullptr; }
  bool SupportsExtension(const SharedString&) const override { return false; }
};

// Three frames on a scripted millisecond clock; the middle System clears `running` in the third.
TEST(Engine, TimeStepIsThePreviousPassClearingRunningFinishesItAndTearDownIsReversed) {
  CorvaneTest::ScratchDir dir{"engine"};
  CorvaneTest::ChangeDir into{dir.Path()};
  auto* engine = new Engine();
  engine->SetClock([] {  // each reading returns the next value
    static const uint32_t readings[] = {1000, 1016, 0xFFFFFFF0u, 0x0000000Au, 50, 53};
    static size_t next = 0;
    return readings[next < 5 ? next++ : 5];
  });
  for (auto [name, stop] : {std::pair{"first", -1}, {"stopper", 3}, {"last", -1}})
    engine->AddSystem(new RecordingSystem(name, stop));
  ResourceManager::instance->RegisterMaker(new RecordingMaker(), NameHash(1));
  engine->Run();
  TearDownProgram(engine);
  // Steps in seconds, one per System and frame; 0x0A - 0xFFFFFFF0 is taken as unsigned 32 bits.
  std::vector<std::string> expected;
  for (std::string phase : {"Initialize", "Start", "PostStart", "Update 0.000000",
                            "Update 0.016000", "Update 0.026000"})
    for (const char* name : {"first", "stopper", "last"}) expected.push_back(name + (" " + phase));
  for (std::string phase : {"Shutdown", "delete"})
    for (const char* name : {"last", "stopper", "first"}) expected.push_back(name + (" " + phase));
  expected.push_back("maker");  // freed after the settings
  EXPECT_EQ(calls, expected);
}

TEST(ProgramEntry, SplitsTheCommandLineAtSpacesAndWithoutTheHookSaysWhichToWrite) {
  const char* argv[] = {"game", " a\tb", " c ", nullptr};
  EXPECT_EQ(SplitCommandLine(JoinArguments(3, argv).CStr()),
            (std::vector<SharedString>{"a\tb", "c"}));

  // A game linked without GameStartup (or with another signature: another symbol) is told which
  // function to write before anything starts.
  auto outcome = CorvaneTest::RunInChild([&] { return RunProgram(1, argv); });
  EXPECT_TRUE(outcome.ended && outcome.code == 2);
  EXPECT_THAT(outcome.errors, testing::HasSubstr("  void GameStartup(const std::vector<"
                                                 "CorvaneEngine::SharedString>& arguments)\n"));
}
