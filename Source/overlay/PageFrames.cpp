#include "overlay/PageFrames.h"

#include <nlohmann/json.hpp>

#include "overlay/JsonFields.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;
using JsonFields::Text;

DocumentToken NewDocument() {
  return std::make_shared<std::atomic<bool>>(true);
}

}  // namespace

void PageFrames::Reset(const std::string& frame) {
  ContextsCleared();
  frameURLs.clear();
  mainFrame = frame;
  mainErrorPage = false;
}

void PageFrames::ContextCreated(const nlohmann::json& description) {
  if (!description.is_object()) return;
  auto id = description.find("id");
  if (id == description.end() || !id->is_number_integer()) return;
  Context context;
  context.uniqueId = Text(description, "uniqueId");
  context.origin = Text(description, "origin");
  auto aux = description.find("auxData");
  if (aux != description.end() && aux->is_object()) {
    context.frameId = Text(*aux, "frameId");
    auto isDefault = aux->find("isDefault");
    context.isDefault =
        isDefault != aux->end() && isDefault->is_boolean() && isDefault->get<bool>();
  }
  context.document = NewDocument();
  Context& slot = contexts[id->get<int64_t>()];
  if (slot.document) *slot.document = false;
  slot = std::move(context);
}

void PageFrames::ContextDestroyed(int64_t id) {
  auto found = contexts.find(id);
  if (found == contexts.end()) return;
  *found->second.document = false;
  contexts.erase(found);
}

void PageFrames::ContextsCleared() {
  for (auto& entry : contexts) *entry.second.document = false;
  contexts.clear();
}

bool PageFrames::FrameNavigated(const nlohmann::json& frame) {
  const std::string id = Text(frame, "id");
  if (id.empty()) return false;
  std::string url = Text(frame, "url") + Text(frame, "urlFragment");
  const std::string unreachable = Text(frame, "unreachableUrl");
  frameURLs[id] = url;
  EndDocuments(id);
  const bool main = frame.is_object() && !frame.contains("parentId");
  if (main) {
    mainFrame = id;
    mainErrorPage = !unreachable.empty();
  }
  return main;
}

// A context that outlives its frame's navigation serves the new document under a new token.
void PageFrames::EndDocuments(const std::string& frameId) {
  for (auto& entry : contexts) {
    if (entry.second.frameId != frameId) continue;
    *entry.second.document = false;
    entry.second.document = NewDocument();
  }
}

void PageFrames::FrameDetached(const std::string& frameId) {
  frameURLs.erase(frameId);
  for (auto it = contexts.begin(); it != contexts.end();) {
    if (it->second.frameId == frameId) {
      *it->second.document = false;
      it = contexts.erase(it);
    } else {
      ++it;
    }
  }
}

const PageFrames::Context* PageFrames::FindContext(int64_t id) const {
  auto found = contexts.find(id);
  return found == contexts.end() ? nullptr : &found->second;
}

std::string PageFrames::FrameURL(const std::string& frameId) const {
  auto found = frameURLs.find(frameId);
  return found == frameURLs.end() ? std::string() : found->second;
}

const PageFrames::Context* PageFrames::MainContext() const {
  // The newest one: ids grow, and the context of the document before may not be gone yet.
  for (auto it = contexts.rbegin(); it != contexts.rend(); ++it)
    if (it->second.isDefault && it->second.frameId == mainFrame) return &it->second;
  return nullptr;
}

}  // namespace CorvaneEngine
