// The resource manager with test makers over real folders: registration, folder scans, loading
// on the main thread and on the resource thread, failed loads, the release/restore pair and the
// destruction order. Waits use generous deadlines; nothing here measures speed.
#include "resources/ResourceManager.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TestProbes.h"
#include "TestSupport.h"

using namespace CorvaneEngine;
using Clock = std::chrono::steady_clock;
using CorvaneTest::WaitUntil;

namespace {

const NameHash kMainType("TestMain"), kBackgroundType("TestBackground");

// What the makers and resources did, in order, from any thread. Loads wait while the gate is shut.
struct Journal {
  struct Load {
    std::string name;
    std::thread::id thread;
    Clock::time_point start;
  };
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> events;
  std::vector<Load> loads;
  bool gateOpen = true;

  void Add(const std::string& event) {
    std::lock_guard<std::mutex> hold(lock);
    events.push_back(event);
  }
  void SetGate(bool open) {
    std::lock_guard<std::mutex> hold(lock);
    gateOpen = open;
    changed.notify_all();
  }
  template <typename List>
  List Copy(const List& list) {
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

// Loads "*.dat" files; names containing "broken" cannot be used.
class TestMaker : public ResourceMaker {
 public:
  TestMaker(bool mainThreadOnly, Journal& journal)
      : ResourceMaker(mainThreadOnly), journal(journal) {}
  ~TestMaker() override {
    journal.Add(mainThreadOnly ? "main maker gone" : "background maker gone");
  }

  Resource* Load(const ResourceRequest& request) override {
    const std::string path = request.path.CStr(), name = path.substr(path.rfind('/') + 1);
    const Clock::time_point start = Clock::now();
    journal.Add("load " + name);
    std::unique_lock<std::mutex> hold(journal.lock);
    journal.changed.wait(hold, [this] { return journal.gateOpen; });
    journal.loads.push_back({name, std::this_thread::get_id(), start});
    journal.events.push_back("loaded " + name);
    return name.find("broken") == std::string::npos ? new TestResource(journal, name) : nullptr;
  }
  bool SupportsExtension(const SharedString& extension) const override {
    return extension == ".dat";
  }

 private:
  Journal& journal;
};

class ResourceManagerTest : public ::testing::Test {
 protected:
  ResourceManagerTest() {
    manager->RegisterMaker(new TestMaker(true, journal), kMainType);
    manager->RegisterMaker(new TestMaker(false, journal), kBackgroundType);
  }
  ~ResourceManagerTest() override { delete manager; }

  // Writes the files into a new sub-folder and returns its path.
  std::string Folder(const std::string& sub, const std::vector<std::string>& files) {
    for (const std::string& file : files) folder.Write(sub + "/" + file, "x");
    return (folder.Path() / sub).string();
  }
  int LoadsOf(const std::string& name) {
    const auto loads = journal.Copy(journal.loads);
    return std::count_if(loads.begin(), loads.end(), [&](const auto& l) { return l.name == name; });
  }
  ResourceStatus Status(const std::string& name) {
    return manager->GetStatus(NameHash(name.c_str()));
  }
  Resource* Get(const std::string& name) { return manager->Get(NameHash(name.c_str())); }

  Journal journal;
  CorvaneTest::ScratchDir folder{"resources"};
  ResourceManager* manager = new ResourceManager();
};

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("f" + std::to_string(i) + ".dat");
  return names;
}

}  // namespace

TEST_F(ResourceManagerTest, RegistrationAndFolderScan) {
  EXPECT_EQ(manager->RegisterMaker(nullptr, NameHash("Other")), 1);
  // A second maker under a taken id: answered 0, the first stays, the second is destroyed.
  EXPECT_EQ(manager->RegisterMaker(new TestMaker(false, journal), kMainType), 0);
  EXPECT_EQ(journal.Copy(journal.events), std::vector<std::string>{"background maker gone"});

  const std::string first = Folder("a", {"ship.dat", "ship.DAT", "photo.dato", "nodot"});
  EXPECT_EQ(manager->AddDirectory((folder.Path() / "missing").c_str(), kMainType), 2);
  EXPECT_EQ(manager->AddDirectory(first.c_str(), NameHash("NoSuchType")), 1);
  EXPECT_EQ(Status("ship.dat"), ResourceStatus::Unknown);
  EXPECT_EQ(manager->AddDirectory(first.c_str(), kMainType), 0);
  EXPECT_EQ(manager->AddDirectory(Folder("b", {"ship.dat", "other.dat"}).c_str(), kMainType), 0);
  const std::pair<const char*, ResourceStatus> scanned[] = {
      {"ship.dat", ResourceStatus::QueuedForMainThread},
      {"other.dat", ResourceStatus::QueuedForMainThread},
      {"ship.DAT", ResourceStatus::Unknown},
      {"photo.dato", ResourceStatus::Unknown},
      {"nodot", ResourceStatus::Unknown}};
  for (const auto& [name, status] : scanned) EXPECT_EQ(Status(name), status) << name;
  // Of two files with the same name, the folder added first wins.
  Resource* ship = Get("ship.dat");
  ASSERT_NE(ship, nullptr);
  EXPECT_EQ(std::string(ship->path.CStr()), first + "/ship.dat");
}

TEST_F(ResourceManagerTest, MainThreadFilesLoadOnlyInGetOnceAndReleaseRestoreInOneOrder) {
  const std::string dir = Folder("main", {"a.dat", "b.dat", "broken.dat"});
  ASSERT_EQ(manager->AddDirectory(dir.c_str(), kMainType), 0);
  // The resource thread makes passes over them, with and without a background file behind them.
  for (const std::string marker : {"m1.dat", "m2.dat"}) {
    ASSERT_EQ(manager->AddDirectory(Folder(marker + "-", {marker}).c_str(), kBackgroundType), 0);
    ASSERT_TRUE(WaitUntil([&] { return LoadsOf(marker) == 1; }));
  }
  EXPECT_EQ(journal.Copy(journal.loads).size(), 2u);
  EXPECT_EQ(Status("a.dat"), ResourceStatus::QueuedForMainThread);

  Resource* a = Get("a.dat");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(journal.Copy(journal.loads).back().thread, std::this_thread::get_id());
  EXPECT_EQ(std::string(a->path.CStr()), dir + "/a.dat");
  ASSERT_NE(a->maker, nullptr);
  EXPECT_TRUE(a->maker->mainThreadOnly);
  EXPECT_EQ(Status("a.dat"), ResourceStatus::Loaded);
  // A file its maker cannot use: null, then Unknown, and it is not tried again.
  EXPECT_EQ(Get("broken.dat"), nullptr);
  EXPECT_EQ(Status("broken.dat"), ResourceStatus::Unknown);
  EXPECT_EQ(Get("broken.dat"), nullptr);
  // Adding the folder again queues only what is not loaded yet.
  ASSERT_EQ(manager->AddDirectory(dir.c_str(), kMainType), 0);
  EXPECT_EQ(Status("b.dat"), ResourceStatus::QueuedForMainThread);
  EXPECT_EQ(Get("a.dat"), a);
  EXPECT_EQ(LoadsOf("a.dat") + LoadsOf("broken.dat"), 2);

  // Release and restore visit every loaded resource, both in the same order.
  Get("b.dat");
  const size_t before = journal.Copy(journal.events).size();
  manager->ReleaseAllGpuObjects();
  manager->RestoreAllGpuObjects();
  const auto events = journal.Copy(journal.events);
  std::vector<std::string> released, restored;
  for (size_t i = before; i < events.size(); ++i) {
    (events[i].rfind("release ", 0) == 0 ? released : restored).push_back(events[i].substr(8));
  }
  EXPECT_EQ(released.size(), 4u);  // with the markers
  EXPECT_EQ(released, restored);
  EXPECT_EQ(Status("a.dat"), ResourceStatus::Loaded);  // the lock was given back
}

TEST_F(ResourceManagerTest, BackgroundFilesGoQueuedLoadingLoadedOnePer100Milliseconds) {
  journal.SetGate(false);
  ASSERT_EQ(manager->AddDirectory(Folder("bg", {"a.dat", "b.dat"}).c_str(), kBackgroundType), 0);
  std::string taken = "a.dat", other = "b.dat";
  ASSERT_TRUE(WaitUntil([&] { return !journal.Copy(journal.events).empty(); }));
  if (Status(taken) != ResourceStatus::Loading) std::swap(taken, other);
  EXPECT_EQ(Status(taken), ResourceStatus::Loading);
  // The resource thread is held inside the first load, so the other file stays queued.
  EXPECT_EQ(Status(other), ResourceStatus::Queued);

  // A Get that finds the file Loading waits for the resource thread and returns its object.
  const pid_t mainThread = static_cast<pid_t>(syscall(SYS_gettid));
  std::atomic<bool> inGet{false};
  std::thread opener([&] {
    WaitUntil([&] { return inGet.load(); });
    EXPECT_TRUE(CorvaneTest::WaitUntilBlocked(mainThread)) << "the Get never waited";
    journal.SetGate(true);
  });
  inGet = true;
  Resource* resource = Get(taken);
  opener.join();
  ASSERT_NE(resource, nullptr);
  EXPECT_FALSE(resource->maker->mainThreadOnly);

  // A file that fails is loaded once and not tried again in later passes.
  ASSERT_EQ(manager->AddDirectory(Folder("more", {"broken.dat", "d.dat"}).c_str(), kBackgroundType),
            0);
  ASSERT_TRUE(WaitUntil([&] { return LoadsOf("d.dat") + LoadsOf("broken.dat") == 2; }));
  ASSERT_EQ(manager->AddDirectory(Folder("last", {"e.dat"}).c_str(), kBackgroundType), 0);
  ASSERT_TRUE(WaitUntil([&] { return LoadsOf("e.dat") == 1; }));  // passes went on meanwhile
  const auto loads = journal.Copy(journal.loads);
  ASSERT_EQ(loads.size(), 5u);
  for (size_t i = 0; i < loads.size(); ++i) {
    EXPECT_NE(loads[i].thread, std::this_thread::get_id());
    if (i > 0) EXPECT_GE(loads[i].start - loads[i - 1].start, std::chrono::milliseconds(100));
  }
  EXPECT_EQ(Status("broken.dat"), ResourceStatus::Unknown);
  EXPECT_EQ(Get("broken.dat"), nullptr);
  EXPECT_EQ(Status(other), ResourceStatus::Loaded);
}

TEST_F(ResourceManagerTest, GetRacingTheResourceThreadNeverSeesNullNorLoadsTwice) {
  const std::vector<std::string> names = Numbered(40);
  ASSERT_EQ(manager->AddDirectory(Folder("bg", names).c_str(), kBackgroundType), 0);
  ASSERT_TRUE(WaitUntil([&] { return !journal.Copy(journal.events).empty(); }));
  for (auto it = names.rbegin(); it != names.rend(); ++it) EXPECT_NE(Get(*it), nullptr) << *it;
  EXPECT_EQ(journal.Copy(journal.loads).size(), names.size());
}

TEST_F(ResourceManagerTest, DestructionJoinsTheLoadUnderWayAndLoadsNothingElse) {
  journal.SetGate(false);
  ASSERT_EQ(manager->AddDirectory(Folder("bg", Numbered(30)).c_str(), kBackgroundType), 0);
  ASSERT_TRUE(WaitUntil([&] { return !journal.Copy(journal.events).empty(); }));  // at the gate
  std::atomic<pid_t> destroyerThread{0};
  std::thread destroyer([&] {
    destroyerThread = static_cast<pid_t>(syscall(SYS_gettid));
    delete manager;
  });
  // The gate opens only once the destruction waits in its join, that is after it stopped the loop.
  const bool joining = WaitUntil([&] { return destroyerThread != 0; }) &&
                       CorvaneTest::WaitUntilBlocked(destroyerThread);
  journal.SetGate(true);
  destroyer.join();
  manager = nullptr;
  ASSERT_TRUE(joining);

  // The load under way finished, was stored and destroyed after the makers; nothing else loaded.
  const auto loads = journal.Copy(journal.loads);
  ASSERT_EQ(loads.size(), 1u);
  const auto events = journal.Copy(journal.events);
  auto at = [&](const std::string& e) { return std::find(events.begin(), events.end(), e); };
  ASSERT_NE(at("background maker gone"), events.end());
  EXPECT_LT(at("loaded " + loads[0].name), at("background maker gone"));
  EXPECT_LT(at("background maker gone"), at("destroy " + loads[0].name));
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& e) { return e.rfind("destroy ", 0) == 0; }),
            1);
}
