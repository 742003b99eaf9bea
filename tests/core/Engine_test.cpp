// Engine and program entry: the measured time step, the running flag, the order of Start,
// PostStart and Update, tear-down order (the settings go before the resource manager), and the
// command-line split.
#include "core/Engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ConfigData.h"
#include "core/GameIdentity.h"
#include "core/ProgramEntry.h"
#include "resources/ResourceMaker.h"
#include "resources/ResourceManager.h"

using namespace CorvaneEngine;

namespace {

std::vector<std::string> calls;
std::vector<double> steps;

class RecordingSystem : public System {
 public:
  RecordingSystem(std::string name, int stopAfterFrames = -1)
      : name(std::move(name)), stopAfter(stopAfterFrames) {}
  ~RecordingSystem() override { calls.push_back(name + " delete"); }
  void Initialize() override { calls.push_back(name + " Initialize"); }
  void Start() override { calls.push_back(name + " Start"); }
  void PostStart() override { calls.push_back(name + " PostStart"); }
  void Shutdown() override { calls.push_back(name + " Shutdown"); }
  void Update(double seconds) override {
    calls.push_back(name + " Update");
    if (name == "first") steps.push_back(seconds);
    if (++frames == stopAfter) Engine::instance->running = false;
  }

 private:
  std::string name;
  int stopAfter;
  int frames = 0;
};

// A loader that records, when the resource manager frees it, whether the settings are gone yet.
class RecordingMaker : public ResourceMaker {
 public:
  RecordingMaker() : ResourceMaker(false) {}
  ~RecordingMaker() override {
    calls.push_back(ConfigData::instance ? "maker delete, settings alive" : "maker delete");
  }
  Resource* Load(const ResourceRequest&) override { return nullptr; }
  bool SupportsExtension(const SharedString&) const override { return false; }
};

// A scripted millisecond clock: each reading returns the next value.
std::vector<uint32_t> clockReadings;
size_t clockIndex = 0;
uint32_t ScriptedClock() {
  return clockReadings.at(clockIndex++);
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    steps.clear();
    clockIndex = 0;
  }
  CorvaneTest::ScratchDir dir{"engine"};
  CorvaneTest::ChangeDir into{dir.Path()};
};

TEST_F(EngineTest, TimeStepIsThePreviousPassAndSurvivesAClockWrap) {
  auto* engine = new Engine();
  EXPECT_EQ(engine, Engine::instance);
  EXPECT_NE(nullptr, ConfigData::instance);
  clockReadings = {1000, 1016, 0xFFFFFFF0u, 0x0000000Au, 50, 53};
  engine->SetClock(&ScriptedClock);
  engine->AddSystem(new RecordingSystem("first", 3));
  engine->Run();
  ASSERT_EQ(3u, steps.size());
  EXPECT_EQ(0.0, steps[0]);
  EXPECT_DOUBLE_EQ(0.016, steps[1]);
  EXPECT_DOUBLE_EQ(0.026, steps[2]);  // 0x0A - 0xFFFFFFF0 taken as unsigned 32 bits
  TearDownProgram(engine);
  EXPECT_EQ(nullptr, Engine::instance);
  EXPECT_EQ(nullptr, ConfigData::instance);
}

TEST_F(EngineTest, ClearingRunningFinishesThePassAndTearDownIsReversed) {
  auto* engine = new Engine();
  engine->AddSystem(new RecordingSystem("first"));
  engine->AddSystem(new RecordingSystem("stopper", 1));
  engine->AddSystem(new RecordingSystem("last"));
  ResourceManager::instance->RegisterMaker(new RecordingMaker(), NameHash(1));
  engine->Run();
  TearDownProgram(engine);
  EXPECT_EQ(
      (std::vector<std::string>{
          "first Initialize", "stopper Initialize", "last Initialize", "first Start",
          "stopper Start", "last Start", "first PostStart", "stopper PostStart", "last PostStart",
          "first Update", "stopper Update", "last Update", "last Shutdown", "stopper Shutdown",
          "first Shutdown", "last delete", "stopper delete", "first delete", "maker delete"}),
      calls);
}

TEST(CommandLine, SplitsAtSpacesOnly) {
  auto texts = [](const char* line) {
    std::vector<std::string> out;
    for (const SharedString& a : SplitCommandLine(line)) out.emplace_back(a.CStr());
    return out;
  };
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), texts("one  two"));
  EXPECT_TRUE(texts("   ").empty());
  EXPECT_EQ((std::vector<std::string>{"a\tb", "c"}), texts(" a\tb c "));
  const char* argv[] = {"game", "--level", "two words", ""};
  EXPECT_STREQ("--level two words ", JoinArguments(4, argv).CStr());
  EXPECT_STREQ("", JoinArguments(1, argv).CStr());
}

// A game linked without GameStartup (or with another signature: another symbol) is told which
// function to write before anything starts.
TEST(ProgramEntry, WithoutTheStartUpHookTheProgramSaysWhichAndExitsWithCode2) {
  auto outcome = CorvaneTest::RunInChild([] {
    const char* argv[] = {"game", nullptr};
    return RunProgram(1, argv);
  });
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(2, outcome.code);
  EXPECT_NE(std::string::npos,
            outcome.errors.find(
                "  void GameStartup(const std::vector<CorvaneEngine::SharedString>& arguments)\n"))
      << outcome.errors;
}

TEST_F(EngineTest, TheGameIdentityNamesTheSettingsAndMayMoveThem) {
  GameIdentity identity = GameIdentity::Named("Kit Test 2");
  EXPECT_EQ("Kit Test 2", identity.caption);
  EXPECT_EQ("Kit_Test_2", identity.configRoot);
  EXPECT_EQ("_9_lives", GameIdentity::Named("9 lives").configRoot);
  EXPECT_EQ("./config.xml", identity.ConfigPath());
  identity.configFolder = "settings/kit";
  SetGameIdentity(identity);
  {
    Engine engine;
    ConfigData::instance->Save();
  }
  SetGameIdentity(GameIdentity());
  EXPECT_NE(std::string::npos,
            CorvaneTest::ReadFile(dir.Path() / "settings/kit/config.xml").find("<Kit_Test_2/>"));

  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ("/cfg/kit", GameIdentity::UserConfigFolder("kit"));
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the standard says
  setenv("HOME", "/home/x", 1);
  EXPECT_EQ("/home/x/.config/kit", GameIdentity::UserConfigFolder("kit"));
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
}

}  // namespace
