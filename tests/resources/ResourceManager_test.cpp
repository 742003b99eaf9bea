// The resource manager with test makers over real folders: registration, folder scans, loading
// on the main thread and on the resource thread, failed loads, the release/restore pair and the
// destruction order. Waits use generous deadlines; nothing here measures speed.
#include "resources/ResourceManager.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "TestSupport.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

const NameHash kMainType("TestMain"), kBackgroundType("TestBackground");

// What the makers and their resources did, in order, from any thread: "load x" when a load
// starts, "main loaded x" or "thread loaded x" when it ends. Loads wait while the gate is shut.
std::mutex journalLock;
std::vector<std::string> journal;
std::atomic<bool> gateOpen{true};
const std::thread::id mainThread = std::this_thread::get_id();

void Note(const std::string& event) {
  std::lock_guard<std::mutex> hold(journalLock);
  journal.push_back(event);
}
std::vector<std::string> Journal() {
  std::lock_guard<std::mutex> hold(journalLock);
  return journal;
}
// How many events contain the text.
int Seen(const std::string& text) {
  const std::vector<std::string> events = Journal();
  return std::count_if(events.begin(), events.end(),
                       [&](const std::string& e) { return e.find(text) != std::string::npos; });
}

struct TestResource : Resource {
  explicit TestResource(std::string name) : name(std::move(name)) {}
  ~TestResource() override { Note("destroy " + name); }
  void ReleaseGpuObjects() override { Note("release " + name); }
  void RestoreGpuObjects() override { Note("restore " + name); }
  const std::string name;
};

// Loads "*.dat" files; names containing "broken" cannot be used.
struct TestMaker : ResourceMaker {
  explicit TestMaker(bool mainThreadOnly) : ResourceMaker(mainThreadOnly) {}
  ~TestMaker() override { Note("maker gone"); }
  Resource* Load(const ResourceRequest& request) override {
    const std::string path = request.path.CStr(), name = path.substr(path.rfind('/') + 1);
    Note("load " + name);
    WaitUntil([] { return gateOpen.load(); }, 120);
    Note((std::this_thread::get_id() == mainThread ? "main loaded " : "thread loaded ") + name);
    return name.find("broken") == std::string::npos ? new TestResource(name) : nullptr;
  }
  bool SupportsExtension(const SharedString& extension) const override {
    return extension == ".dat";
  }
};

class ResourceManagerTest : public ::testing::Test {
 protected:
  ResourceManagerTest() {
    journal.clear();
    manager->RegisterMaker(new TestMaker(true), kMainType);
    manager->RegisterMaker(new TestMaker(false), kBackgroundType);
  }
  ~ResourceManagerTest() override {
    gateOpen = true;
    delete manager;
  }

  // Writes the files into a new sub-folder and returns its path.
  std::string Folder(const std::string& sub, const std::vector<std::string>& files) {
    for (const std::string& file : files) folder.Write(sub + "/" + file, "x");
    return (folder.Path() / sub).string();
  }
  int AddBackground(const std::string& sub, const std::vector<std::string>& files) {
    return manager->AddDirectory(Folder(sub, files).c_str(), kBackgroundType);
  }
  // "f0.dat" to "f<count - 1>.dat" in a new sub-folder, for the resource thread.
  int AddNumbered(const std::string& sub, int count) {
    for (int i = 0; i < count; ++i) folder.Write(sub + "/f" + std::to_string(i) + ".dat", "x");
    return manager->AddDirectory((folder.Path() / sub).c_str(), kBackgroundType);
  }
  ResourceStatus Status(const std::string& n) { return manager->GetStatus(NameHash(n.c_str())); }
  Resource* Get(const std::string& name) { return manager->Get(NameHash(name.c_str())); }

  ScratchDir folder{"resources"};
  ResourceManager* manager = new ResourceManager();
};

TEST_F(ResourceManagerTest, RegistrationAndFolderScan) {
  // A second maker under a taken id: answered 0, the first (main-thread) one stays, the second
  // (background) one is destroyed.
  EXPECT_EQ(manager->RegisterMaker(new TestMaker(false), kMainType), 0);
  EXPECT_EQ(Journal(), std::vector<std::string>{"maker gone"});

  const std::string first = Folder("a", {"ship.dat", "ship.DAT", "photo.dato", "nodot"});
  EXPECT_EQ(manager->AddDirectory((folder.Path() / "missing").c_str(), kMainType), 2);
  EXPECT_EQ(manager->AddDirectory(first.c_str(), NameHash("NoSuchType")), 1);
  EXPECT_EQ(Status("ship.dat"), ResourceStatus::Unknown);
  EXPECT_EQ(manager->AddDirectory(first.c_str(), kMainType), 0);
  EXPECT_EQ(manager->AddDirectory(Folder("b", {"ship.dat", "other.dat"}).c_str(), kMainType), 0);
  for (const char* name : {"ship.DAT", "photo.dato", "nodot"})
    EXPECT_EQ(Status(name), ResourceStatus::Unknown) << name;
  EXPECT_EQ(Status("other.dat"), ResourceStatus::QueuedForMainThread);
  // Of two files with the same name, the folder added first wins.
  ASSERT_NE(Get("ship.dat"), nullptr);
  EXPECT_EQ(std::string(Get("ship.dat")->path.CStr()), first + "/ship.dat");
}

TEST_F(ResourceManagerTest, MainThreadFilesLoadOnlyInGetOnceAndAllAreReleasedAndRestored) {
  const std::string dir = Folder("main", {"a.dat", "b.dat", "broken.dat"});
  ASSERT_EQ(manager->AddDirectory(dir.c_str(), kMainType), 0);
  // The resource thread makes passes over them, with and without a background file behind them.
  for (const std::string marker : {"m1.dat", "m2.dat"}) {
    ASSERT_EQ(AddBackground(marker + "-", {marker}), 0);
    ASSERT_TRUE(WaitUntil([&] { return Seen("thread loaded " + marker) == 1; }));
  }
  EXPECT_EQ(Seen("loaded "), 2);
  EXPECT_EQ(Status("a.dat"), ResourceStatus::QueuedForMainThread);

  Resource* a = Get("a.dat");
  ASSERT_TRUE(a != nullptr && a->maker != nullptr && a->maker->mainThreadOnly);
  EXPECT_EQ(Seen("main loaded a.dat"), 1);
  EXPECT_EQ(std::string(a->path.CStr()), dir + "/a.dat");
  EXPECT_EQ(Status("a.dat"), ResourceStatus::Loaded);
  // A file its maker cannot use: null, then Unknown, and it is not tried again.
  EXPECT_EQ(Get("broken.dat"), nullptr);
  EXPECT_EQ(Status("broken.dat"), ResourceStatus::Unknown);
  EXPECT_EQ(Get("broken.dat"), nullptr);
  // Adding the folder again queues only what is not loaded yet.
  ASSERT_EQ(manager->AddDirectory(dir.c_str(), kMainType), 0);
  EXPECT_EQ(Status("b.dat"), ResourceStatus::QueuedForMainThread);
  EXPECT_EQ(Get("a.dat"), a);
  EXPECT_EQ(Seen("loaded a.dat") + Seen("loaded broken.dat"), 2);

  // Release and restore visit every loaded resource (with the markers).
  Get("b.dat");
  manager->ReleaseAllGpuObjects();
  manager->RestoreAllGpuObjects();
  for (const std::string name : {"a.dat", "b.dat", "m1.dat", "m2.dat"})
    EXPECT_EQ(std::pair(Seen("release " + name), Seen("restore " + name)), std::pair(1, 1)) << name;
  EXPECT_EQ(Status("a.dat"), ResourceStatus::Loaded);  // the lock was given back
}

TEST_F(ResourceManagerTest, BackgroundFilesGoQueuedLoadingLoadedOnceAlsoWhenGetRacesTheThread) {
  gateOpen = false;
  ASSERT_EQ(AddBackground("bg", {"a.dat", "b.dat"}), 0);
  std::string taken = "a.dat", other = "b.dat";
  ASSERT_TRUE(WaitUntil([&] { return Seen("load ") == 1; }));
  if (Status(taken) != ResourceStatus::Loading) std::swap(taken, other);
  EXPECT_EQ(Status(taken), ResourceStatus::Loading);
  // The resource thread is held inside the first load, so the other file stays queued.
  EXPECT_EQ(Status(other), ResourceStatus::Queued);

  // A Get that finds the file Loading waits for the resource thread and returns its object.
  const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
  std::atomic<bool> inGet{false};
  std::thread opener([&] {
    WaitUntil([&] { return inGet.load(); });
    EXPECT_TRUE(WaitUntilBlocked(self)) << "the Get never waited";
    gateOpen = true;
  });
  inGet = true;
  Resource* resource = Get(taken);
  opener.join();
  EXPECT_TRUE(resource != nullptr && !resource->maker->mainThreadOnly);

  // A file that fails is loaded once and not tried again in later passes.
  ASSERT_EQ(AddBackground("more", {"broken.dat", "d.dat"}), 0);
  ASSERT_TRUE(WaitUntil([&] { return Seen("loaded d.dat") + Seen("loaded broken") == 2; }));
  ASSERT_EQ(AddBackground("last", {"e.dat"}), 0);
  ASSERT_TRUE(WaitUntil([&] { return Seen("loaded e.dat") == 1; }));  // passes went on
  EXPECT_EQ(std::pair(Seen("thread loaded "), Seen("main loaded ")), std::pair(5, 0));
  EXPECT_EQ(Status("broken.dat"), ResourceStatus::Unknown);
  EXPECT_EQ(Get("broken.dat"), nullptr);
  EXPECT_EQ(Status(other), ResourceStatus::Loaded);

  // Gets racing the resource thread never see null nor load twice.
  ASSERT_EQ(AddNumbered("race", 40), 0);
  ASSERT_TRUE(WaitUntil([&] { return Seen("load f") > 0; }));
  for (int i = 39; i >= 0; --i) EXPECT_NE(Get("f" + std::to_string(i) + ".dat"), nullptr) << i;
  EXPECT_EQ(Seen("loaded f"), 40);
}

TEST_F(ResourceManagerTest, DestructionJoinsTheLoadUnderWayAndLoadsNothingElse) {
  gateOpen = false;
  ASSERT_EQ(AddNumbered("bg", 30), 0);
  ASSERT_TRUE(WaitUntil([&] { return Seen("load ") == 1; }));  // at the gate
  std::atomic<pid_t> destroyerThread{0};
  std::thread destroyer([&] {
    destroyerThread = static_cast<pid_t>(syscall(SYS_gettid));
    delete manager;
  });
  // The gate opens only once the destruction waits in its join, that is after it stopped the loop.
  const bool joining =
      WaitUntil([&] { return destroyerThread != 0; }) && WaitUntilBlocked(destroyerThread);
  gateOpen = true;
  destroyer.join();
  manager = nullptr;
  ASSERT_TRUE(joining);

  // The load under way finished, was stored and destroyed after the makers; nothing else loaded.
  const std::string name = Journal()[0].substr(5);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"load " + name, "thread loaded " + name,
                                                 "maker gone", "maker gone", "destroy " + name}));
}
