// ResourceManager: the engine's registry of loadable files. Folders are added with a type id; every
// file is then known by the NameHash of its bare file name ("ship.obj") and is loaded at most once,
// by the maker registered under that type id, into a Resource that the manager owns until it is
// destroyed. Files whose maker needs no OpenGL are loaded in the background by the resource thread,
// one per 100 ms; any other file is loaded by the first Get that asks for it.
//
// Owned by the Engine (ResourceManager::instance); it owns its makers, resources, thread and lock.
//
// Threads: every public operation is for the main thread; the resource thread runs the private
// loop. Each operation takes the lock only for its table accesses, and no maker's Load ever runs
// under it. Between ReleaseAllGpuObjects and RestoreAllGpuObjects the calling thread holds the lock
// and must call no other operation of the manager (the lock does not let its holder in again).
#pragma once

#include <atomic>
#include <cstdint>

#include "objects/SharedString.h"
#include "resources/NameHash.h"
#include "resources/NameHashMap.h"
#include "resources/Resource.h"
#include "resources/ResourceMaker.h"
#include "resources/ResourceRequest.h"
#include "resources/ResourceStatus.h"

namespace CorvaneEngine {

class Mutex;
class Thread;

class ResourceManager {
 public:
  static ResourceManager* instance;  // set and cleared by the Engine

  // Starts the resource thread.
  ResourceManager();
  // Stops and joins the resource thread, then destroys every maker and every loaded resource.
  // Requests still pending are dropped without being loaded.
  ~ResourceManager();
  ResourceManager(const ResourceManager&) = delete;
  ResourceManager& operator=(const ResourceManager&) = delete;

  // Takes ownership of `maker` under `typeId`: 0. A null maker: 1. An id that is already taken
  // keeps its first maker; the second one is destroyed at once and the answer is still 0.
  int RegisterMaker(ResourceMaker* maker, NameHash typeId);
  // The maker registered under `typeId`, or null: a game can check what the entry wired up.
  const ResourceMaker* FindMaker(NameHash typeId);
  // Queues every file of `folder` (not its sub-folders) whose extension the maker of `typeId`
  // supports: 0. A folder that does not exist: 2. No maker under `typeId`: 1. Files that are
  // already loaded or pending are left as they are.
  int AddDirectory(const SharedString& folder, NameHash typeId);
  ResourceStatus GetStatus(NameHash id);
  // The resource of `id`, loaded on the calling thread first when nobody has taken it yet; waits
  // while another thread loads it. Null for an unknown id and for a file its maker could not use.
  Resource* Get(NameHash id);

  // Drops the GPU objects of every loaded resource and keeps the lock ...
  void ReleaseAllGpuObjects();
  // ... until every resource has rebuilt them in the new context.
  void RestoreAllGpuObjects();

 private:
  static void ResourceThreadMain(void* manager);
  // One pass of the resource thread: loads the first pending file that may load off the main
  // thread, unless it is taken already.
  void LoadNextInBackground();
  // Runs the maker, then stores the result (if any) and ends the request, under the lock.
  Resource* LoadAndStore(NameHash id, ResourceRequest& request);

  NameHashMap<ResourceMaker*> makers;
  NameHashMap<Resource*> loaded;
  NameHashMap<ResourceRequest> pending;
  Thread* worker;
  Mutex* mutex;
  std::atomic<bool> running;
};

}  // namespace CorvaneEngine
