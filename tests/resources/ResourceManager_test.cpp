// The resource manager with test makers over real folders: registration, folder scans, loading
// on the main thread and on the resource thread, failed loads, the release/restore pair and the
// destruction order. Waits use generous deadlines; nothing here measures speed.
#include "resources/ResourceManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

using namespace CorvaneEngine;
using Clock = std::chrono::steady_clock;

namespace {

const NameHash kMainType("TestMain");
const NameHash kBackgroundType("TestBackground");

// What the makers and resources did, in order, from any thread.
struct Journal {
  struct Load {
    std::string name;
    std::thread::id thread;
    Clock::time_point start;
    Resource* result;
  };
  std::mutex lock;
  std::vector<std::string> events;
  std::vector<Load> loads;
  std::condition_variable changed;
  bool gateOpen = true;

  void Add(const std::string& event) {
    std::lock_guard<std::mutex> hold(lock);
    events.push_back(event);
    changed.notify_all();
  }
  void SetGate(bool open) {
    std::lock_guard<std::mutex> hold(lock);
    gateOpen = open;
    changed.notify_all();
  }
  std::vector<Load> Loads() { return Copy(loads); }
  std::vector<std::string> Events() { return Copy(events); }
  template <typename T>
  std::vector<T> Copy(const std::vector<T>& list) {
    std::lock_guard<std::mutex> hold(lock);
    return list;
  }
};

class TestResource : public Resource {
 public:
  TestResource(Journal& journal, std::string name) : journal(journal), name(std::move(name)) {}
  ~TestResource() override { journal.Add("destroy " + name); }
  void ReleaseGpuObjects() override { journal.Add("release " + name); }
  void RestoreGpuObjects() override { journal.Add("restore " + name); }

 private:
  Journal& journal;
  std::string name;
};

// Loads "*.dat" files; names containing "broken" cannot be used. Waits at the journal's gate.
class TestMaker : public ResourceMaker {
 public:
  TestMaker(bool mainThreadOnly, Journal& journal, std::string tag = "maker")
      : ResourceMaker(mainThreadOnly), journal(journal), tag(std::move(tag)) {}
  ~TestMaker() override { journal.Add(tag + " destroyed"); }

  Resource* Load(const ResourceRequest& request) override {
    std::string path = request.path.CStr();
    std::string name = path.substr(path.find_last_of('/') + 1);
    const Clock::time_point start = Clock::now();
    journal.Add("load " + name);
    {
      std::unique_lock<std::mutex> hold(journal.lock);
      journal.changed.wait(hold, [this] { return journal.gateOpen; });
    }
    Resource* result =
        name.find("broken") == std::string::npos ? new TestResource(journal, name) : nullptr;
    std::lock_guard<std::mutex> hold(journal.lock);
    journal.loads.push_back({name, std::this_thread::get_id(), start, result});
    journal.events.push_back("loaded " + name);
    journal.changed.notify_all();
    return result;
  }
  bool SupportsExtension(const SharedString& extension) const override {
    return extension == ".dat";
  }

 private:
  Journal& journal;
  std::string tag;
};

template <typename Condition>
bool WaitUntil(Condition condition) {
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class ResourceManagerTest : public ::testing::Test {
 protected:
  ResourceManagerTest() : folder("resources") {
    manager = new ResourceManager();
    manager->RegisterMaker(new TestMaker(true, journal, "main maker"), kMainType);
    manager->RegisterMaker(new TestMaker(false, journal, "background maker"), kBackgroundType);
  }
  ~ResourceManagerTest() override { delete manager; }

  std::string Folder(const std::string& sub, const std::vector<std::string>& files) {
    for (const std::string& file : files) folder.Write(sub + "/" + file, "x");
    return (folder.Path() / sub).string();
  }
  int LoadsOf(const std::string& name) {
    auto loads = journal.Loads();
    return static_cast<int>(std::count_if(loads.begin(), loads.end(),
                                          [&](const Journal::Load& l) { return l.name == name; }));
  }

  Journal journal;
  CorvaneTest::ScratchDir folder;
  ResourceManager* manager;
};

}  // namespace

TEST_F(ResourceManagerTest, RegistrationAndFolderScan) {
  EXPECT_EQ(manager->RegisterMaker(nullptr, NameHash("Other")), 1);
  // A second maker under a taken id: answered 0, the first stays, the second is destroyed.
  EXPECT_EQ(manager->RegisterMaker(new TestMaker(false, journal, "duplicate"), kMainType), 0);
  EXPECT_EQ(journal.Events(), std::vector<std::string>{"duplicate destroyed"});

  const std::string first = Folder("a", {"ship.dat", "ship.DAT", "photo.dato", "nodot", "x.dat/y"});
  const std::string second = Folder("b", {"ship.dat", "other.dat"});
  EXPECT_EQ(manager->AddDirectory((folder.Path() / "missing").c_str(), kMainType), 2);
  EXPECT_EQ(manager->AddDirectory(first.c_str(), NameHash("NoSuchType")), 1);
  EXPECT_EQ(manager->GetStatus(NameHash("ship.dat")), ResourceStatus::Unknown);
  EXPECT_EQ(manager->AddDirectory(first.c_str(), kMainType), 0);
  EXPECT_EQ(manager->AddDirectory(second.c_str(), kMainType), 0);

  auto status = [&](const char* name) { return manager->GetStatus(NameHash(name)); };
  EXPECT_EQ(status("ship.dat"), ResourceStatus::QueuedForMainThread);
  EXPECT_EQ(status("other.dat"), ResourceStatus::QueuedForMainThread);
  EXPECT_EQ(status("x.dat"), ResourceStatus::QueuedForMainThread);  // a folder counts as a file
  EXPECT_EQ(status("ship.DAT"), ResourceStatus::Unknown);
  EXPECT_EQ(status("photo.dato"), ResourceStatus::Unknown);
  EXPECT_EQ(status("nodot"), ResourceStatus::Unknown);
  // Of two files with the same name, the folder added first wins.
  Resource* ship = manager->Get(NameHash("ship.dat"));
  ASSERT_NE(ship, nullptr);
  EXPECT_EQ(std::string(ship->path.CStr()), first + "/ship.dat");
}

TEST_F(ResourceManagerTest, MainThreadFilesLoadOnlyInGetAndOnlyOnce) {
  const std::string dir = Folder("main", {"a.dat", "b.dat", "broken.dat"});
  ASSERT_EQ(manager->AddDirectory(dir.c_str(), kMainType), 0);
  // Let the resource thread make several passes: a background file behind them shows it ran.
  ASSERT_EQ(manager->AddDirectory(Folder("bg", {"marker.dat"}).c_str(), kBackgroundType), 0);
  ASSERT_TRUE(WaitUntil([&] { return LoadsOf("marker.dat") == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(LoadsOf("a.dat") + LoadsOf("b.dat") + LoadsOf("broken.dat"), 0);
  EXPECT_EQ(manager->GetStatus(NameHash("a.dat")), ResourceStatus::QueuedForMainThread);

  Resource* a = manager->Get(NameHash("a.dat"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(journal.Loads().back().thread, std::this_thread::get_id());
  EXPECT_EQ(journal.Loads().back().result, a);
  EXPECT_EQ(std::string(a->path.CStr()), dir + "/a.dat");
  ASSERT_NE(a->maker, nullptr);
  EXPECT_TRUE(a->maker->mainThreadOnly);
  EXPECT_EQ(manager->GetStatus(NameHash("a.dat")), ResourceStatus::Loaded);
  EXPECT_EQ(manager->Get(NameHash("a.dat")), a);

  // A file its maker cannot use: null, then Unknown, and it is not tried again.
  EXPECT_EQ(manager->Get(NameHash("broken.dat")), nullptr);
  EXPECT_EQ(manager->GetStatus(NameHash("broken.dat")), ResourceStatus::Unknown);
  EXPECT_EQ(manager->Get(NameHash("broken.dat")), nullptr);
  EXPECT_EQ(LoadsOf("broken.dat"), 1);

  // Adding the folder again queues only what is not loaded yet.
  ASSERT_EQ(manager->AddDirectory(dir.c_str(), kMainType), 0);
  EXPECT_EQ(manager->GetStatus(NameHash("a.dat")), ResourceStatus::Loaded);
  EXPECT_EQ(manager->GetStatus(NameHash("b.dat")), ResourceStatus::QueuedForMainThread);
  EXPECT_EQ(manager->Get(NameHash("a.dat")), a);
  EXPECT_EQ(LoadsOf("a.dat"), 1);
}

TEST_F(ResourceManagerTest, BackgroundFilesGoQueuedLoadingLoaded) {
  journal.SetGate(false);
  ASSERT_EQ(manager->AddDirectory(Folder("bg", {"a.dat", "b.dat"}).c_str(), kBackgroundType), 0);
  NameHash taken("a.dat"), other("b.dat");
  ASSERT_TRUE(WaitUntil([&] { return !journal.Events().empty(); }));
  if (manager->GetStatus(taken) != ResourceStatus::Loading) std::swap(taken, other);
  EXPECT_EQ(manager->GetStatus(taken), ResourceStatus::Loading);
  // The resource thread is held inside the first load, so the other file stays queued.
  EXPECT_EQ(manager->GetStatus(other), ResourceStatus::Queued);

  // A Get that finds the file Loading waits for the resource thread and returns its object.
  std::atomic<bool> getting{false};
  std::thread opener([&] {
    while (!getting) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    journal.SetGate(true);
  });
  getting = true;
  Resource* resource = manager->Get(taken);
  opener.join();
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(manager->GetStatus(taken), ResourceStatus::Loaded);
  EXPECT_FALSE(resource->maker->mainThreadOnly);

  ASSERT_TRUE(WaitUntil([&] { return manager->GetStatus(other) == ResourceStatus::Loaded; }));
  auto loads = journal.Loads();
  ASSERT_EQ(loads.size(), 2u);
  EXPECT_EQ(resource, loads[0].result);
  for (const auto& load : loads) EXPECT_NE(load.thread, std::this_thread::get_id());
}

TEST_F(ResourceManagerTest, ResourceThreadLoadsOneFilePer100Milliseconds) {
  const std::vector<std::string> names = {"1.dat", "2.dat", "3.dat", "broken.dat", "5.dat"};
  ASSERT_EQ(manager->AddDirectory(Folder("bg", names).c_str(), kBackgroundType), 0);
  ASSERT_TRUE(WaitUntil([&] {
    return std::all_of(names.begin(), names.end(), [&](const std::string& n) {
      ResourceStatus s = manager->GetStatus(NameHash(n.c_str()));
      return s == ResourceStatus::Loaded || s == ResourceStatus::Unknown;
    });
  }));
  // A few more passes: the failed file must not come back.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  auto loads = journal.Loads();
  ASSERT_EQ(loads.size(), names.size());
  for (size_t i = 0; i < loads.size(); ++i) {
    EXPECT_NE(loads[i].thread, std::this_thread::get_id());
    EXPECT_EQ(LoadsOf(names[i]), 1) << names[i];
    if (i > 0) {
      EXPECT_GE(loads[i].start - loads[i - 1].start, std::chrono::milliseconds(100));
    }
  }
  EXPECT_EQ(manager->GetStatus(NameHash("broken.dat")), ResourceStatus::Unknown);
  EXPECT_EQ(manager->Get(NameHash("broken.dat")), nullptr);
  EXPECT_EQ(manager->GetStatus(NameHash("5.dat")), ResourceStatus::Loaded);
}

TEST_F(ResourceManagerTest, GetRacingTheResourceThreadNeverSeesNullNorLoadsTwice) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("f" + std::to_string(i) + ".dat");
  ASSERT_EQ(manager->AddDirectory(Folder("bg", names).c_str(), kBackgroundType), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    EXPECT_NE(manager->Get(NameHash(it->c_str())), nullptr) << *it;
  }
  EXPECT_EQ(journal.Loads().size(), names.size());
}

TEST_F(ResourceManagerTest, ReleaseAndRestoreVisitEveryResourceInOneOrder) {
  ASSERT_EQ(manager->AddDirectory(Folder("main", {"a.dat", "b.dat", "c.dat"}).c_str(), kMainType),
            0);
  for (const char* name : {"a.dat", "b.dat", "c.dat"}) manager->Get(NameHash(name));
  size_t before = journal.Events().size();
  manager->ReleaseAllGpuObjects();
  manager->RestoreAllGpuObjects();
  auto events = journal.Events();
  std::vector<std::string> released, restored;
  for (size_t i = before; i < events.size(); ++i) {
    (events[i].rfind("release ", 0) == 0 ? released : restored).push_back(events[i].substr(8));
  }
  EXPECT_EQ(released.size(), 3u);
  EXPECT_EQ(released, restored);
  EXPECT_EQ(manager->GetStatus(NameHash("a.dat")), ResourceStatus::Loaded);  // lock given back
}

TEST_F(ResourceManagerTest, DestructionJoinsTheLoadUnderWayAndLoadsNothingElse) {
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) names.push_back("f" + std::to_string(i) + ".dat");
  ASSERT_EQ(manager->AddDirectory(Folder("bg", names).c_str(), kBackgroundType), 0);
  journal.SetGate(false);
  ASSERT_TRUE(WaitUntil([&] {
    auto events = journal.Events();
    return std::any_of(events.begin(), events.end(),
                       [](const std::string& e) { return e.rfind("load ", 0) == 0; });
  }));

  std::thread destroyer([&] { delete manager; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it reach the join
  journal.SetGate(true);
  destroyer.join();
  manager = nullptr;

  // The load under way finished, was stored and destroyed after the makers; nothing else loaded.
  auto loads = journal.Loads();
  ASSERT_LE(loads.size(), 2u);
  auto events = journal.Events();
  auto at = [&](const std::string& e) { return std::find(events.begin(), events.end(), e); };
  const std::string last = loads.back().name;
  ASSERT_NE(at("background maker destroyed"), events.end());
  EXPECT_LT(at("loaded " + last), at("background maker destroyed"));
  EXPECT_LT(at("background maker destroyed"), at("destroy " + last));
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& e) { return e.rfind("destroy ", 0) == 0; }),
            static_cast<long>(loads.size()));
}
