// ResourceManager: tables, folder scan, on-demand loading and the resource thread's loop.
//
// Sharing rule for strings: SharedString reference counts are not atomic, so no string record is
// ever shared between what the main thread holds and what the resource thread holds. Every path
// that goes into `pending`, and every copy that a loading thread takes out of it, is a private
// record made under the lock; a loading thread drops its copy before it publishes the resource.
#include "resources/ResourceManager.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "core/OutputStream.h"
#include "resources/LockGuard.h"
#include "resources/Mutex.h"
#include "resources/Thread.h"

namespace CorvaneEngine {

ResourceManager* ResourceManager::instance = nullptr;

namespace {

// A request whose path has a record of its own (see the sharing rule above).
ResourceRequest PrivateCopy(const ResourceRequest& request) {
  ResourceRequest copy;
  copy.path = SharedString(request.path.CStr(), request.path.Length());
  copy.maker = request.maker;
  copy.inProgress = request.inProgress;
  return copy;
}

// The bare file name of a path, with '\' read as '/': "./art\ship.obj" -> "ship.obj".
SharedString FileNameOf(const SharedString& path) {
  SharedString normalized(path.CStr(), path.Length());
  normalized.Replace('\\', '/');
  return normalized.Tail(normalized.FindLast('/') + 1);
}

constexpr auto kPassPause = std::chrono::milliseconds(100);
constexpr auto kPauseSlice = std::chrono::milliseconds(10);
constexpr auto kLoadingPoll = std::chrono::milliseconds(10);

}  // namespace

ResourceManager::ResourceManager() : worker(nullptr), mutex(new Mutex()), running(true) {
  // The thread reads `running`, `mutex` and the tables from its first pass on: start it last.
  worker = new Thread(&ResourceManager::ResourceThreadMain, this, "Resource Thread");
}

ResourceManager::~ResourceManager() {
  running = false;
  // A load under way completes and is stored before the tables go.
  worker->Join();

  makers.ForEach([](NameHashMap<ResourceMaker*>::Entry& entry) { delete entry.value; });
  makers.Clear();
  loaded.ForEach([](NameHashMap<Resource*>::Entry& entry) { delete entry.value; });
  loaded.Clear();
  if (worker->IsFinished()) {
    delete mutex;
    delete worker;
  }
  // Requests still pending are dropped unloaded; the tables free themselves.
  pending.Clear();
}

// ---- Registration ----

int ResourceManager::RegisterMaker(ResourceMaker* maker, NameHash typeId) {
  if (!maker) return 1;
  ResourceMaker* registered;
  {
    LockGuard guard(*mutex);
    auto* entry = makers.Find(typeId);
    registered = entry ? entry->value : maker;
    if (!entry) makers.Insert(typeId, maker);
  }
  // The caller handed the maker over; the one registered first stays, so this one goes now.
  if (registered != maker) delete maker;
  return 0;
}

const ResourceMaker* ResourceManager::FindMaker(NameHash typeId) {
  LockGuard guard(*mutex);
  auto* entry = makers.Find(typeId);
  return entry ? entry->value : nullptr;
}

int ResourceManager::AddDirectory(const SharedString& folder, NameHash typeId) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folderPath(folder.CStr());
  fs::file_status status = fs::status(folderPath, error);
  if (error || !fs::exists(status)) return 2;

  ResourceMaker* maker = nullptr;
  {
    LockGuard guard(*mutex);
    if (auto* entry = makers.Find(typeId)) maker = entry->value;
  }
  if (!maker) return 1;

  fs::directory_iterator it(folderPath, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string pathText = it->path().string();
    SharedString path(pathText.c_str(), static_cast<uint32_t>(pathText.size()));
    if (!maker->SupportsExtension(path.Tail(path.FindLast('.')))) continue;

    const NameHash id(FileNameOf(path));
    LockGuard guard(*mutex);
    // A file that is loaded already stays loaded; one that is pending keeps its first request.
    if (loaded.Find(id) || pending.Find(id)) continue;
    ResourceRequest request;
    request.path = path;
    request.maker = maker;
    pending.Insert(id, PrivateCopy(request));
  }
  if (error) {
    Log << "ERROR: Could not list the folder \"" << folder.CStr() << "\": " << error.message()
        << std::endl;
  }
  return 0;
}

// ---- Lookups ----

ResourceStatus ResourceManager::GetStatus(NameHash id) {
  LockGuard guard(*mutex);
  if (auto* entry = pending.Find(id)) {
    if (entry->value.inProgress) return ResourceStatus::Loading;
    return entry->value.maker->mainThreadOnly ? ResourceStatus::QueuedForMainThread
                                              : ResourceStatus::Queued;
  }
  return loaded.Find(id) ? ResourceStatus::Loaded : ResourceStatus::Unknown;
}

Resource* ResourceManager::Get(NameHash id) {
  // Built only when this call takes the request: a SharedString allocates even when empty, and
  // the common case, a loaded resource, must cost one probe and nothing more.
  std::optional<ResourceRequest> request;
  {
    // Both lookups under one hold of the lock: a load that completes in between cannot make the
    // file look unknown.
    LockGuard guard(*mutex);
    if (auto* entry = loaded.Find(id)) return entry->value;
    auto* entry = pending.Find(id);
    if (!entry) return nullptr;
    if (!entry->value.inProgress) {
      entry->value.inProgress = true;  // this call has taken the request
      request.emplace(PrivateCopy(entry->value));
    }
  }
  if (request) return LoadAndStore(id, *request);

  // Another thread is loading the file: wait for it, then take what it stored (null when its
  // maker could not use the file).
  while (GetStatus(id) == ResourceStatus::Loading) std::this_thread::sleep_for(kLoadingPoll);
  LockGuard guard(*mutex);
  auto* entry = loaded.Find(id);
  return entry ? entry->value : nullptr;
}

// ---- Context change ----

void ResourceManager::ReleaseAllGpuObjects() {
  // Held until RestoreAllGpuObjects: the resource thread must not publish a resource whose GPU
  // objects would miss the release or the rebuild.
  mutex->Lock();
  loaded.ForEach([](NameHashMap<Resource*>::Entry& entry) { entry.value->ReleaseGpuObjects(); });
}

void ResourceManager::RestoreAllGpuObjects() {
  loaded.ForEach([](NameHashMap<Resource*>::Entry& entry) { entry.value->RestoreGpuObjects(); });
  mutex->Unlock();
}

// ---- Loading ----

Resource* ResourceManager::LoadAndStore(NameHash id, ResourceRequest& request) {
  Resource* resource = request.maker->Load(request);
  if (resource) {
    resource->path = request.path;
    resource->maker = request.maker;
  }
  // The loading thread lets go of the path before the resource becomes visible to other threads.
  request.path = SharedString();

  LockGuard guard(*mutex);
  // A failed load is not stored and its request leaves `pending` too: the file is then Unknown
  // and nobody tries it again.
  if (resource) loaded.Insert(id, resource);
  pending.Remove(id);
  return resource;
}

void ResourceManager::ResourceThreadMain(void* argument) {
  ResourceManager* manager = static_cast<ResourceManager*>(argument);
  while (manager->running) {
    manager->LoadNextInBackground();
    // At most one file per 100 ms. The pause is cut into slices so that destruction does not wait
    // for a whole one.
    for (auto slept = std::chrono::milliseconds(0); slept < kPassPause && manager->running;
         slept += kPauseSlice) {
      std::this_thread::sleep_for(kPauseSlice);
    }
  }
}

void ResourceManager::LoadNextInBackground() {
  NameHash id;
  ResourceRequest request;
  {
    LockGuard guard(*mutex);
    if (pending.Count() == 0) return;
    NameHashMap<ResourceRequest>::Entry* first = nullptr;
    pending.ForEach([&first](NameHashMap<ResourceRequest>::Entry& entry) {
      if (!first && !entry.value.maker->mainThreadOnly) first = &entry;
    });
    // Only the first file that may load here is considered in a pass, even when a Get has it.
    if (!first || first->value.inProgress) return;
    first->value.inProgress = true;
    id = first->key();
    request = PrivateCopy(first->value);
  }
  request.path.Replace('\\', '/');
  LoadAndStore(id, request);
}

}  // namespace CorvaneEngine
