#include "overlay/PageReply.h"

#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/HeadlessView.h"
#include "overlay/PageBridge.h"
#include "overlay/PageFrames.h"

namespace CorvaneEngine {

namespace {
const std::string kNoName;
}

struct PageReply::Pending {
  Pending(std::weak_ptr<HeadlessView> page, std::string context, DocumentToken document, int64_t id,
          std::string name)
      : page(std::move(page)),
        context(std::move(context)),
        document(std::move(document)),
        id(id),
        name(std::move(name)) {}
  ~Pending();  // rejects an unanswered call
  void Answer(const std::string& item);
  std::weak_ptr<HeadlessView> page;
  const std::string context;  // the calling document's context (browser-wide id)
  const DocumentToken document;
  const int64_t id;  // the page's number for the call
  const std::string name;
  std::atomic<bool> answered{false};
};

PageReply PageReply::ForCall(std::weak_ptr<HeadlessView> page, std::string context,
                             DocumentToken document, int64_t id, std::string name) {
  return PageReply(std::make_shared<Pending>(std::move(page), std::move(context),
                                             std::move(document), id, std::move(name)));
}

bool PageReply::Resolve(const std::string& json) {
  if (!pending) return false;
  if (!nlohmann::json::accept(json)) {
    Log << "ERROR: Browser: the answer to the page's call \"" << pending->name
        << "\" is not valid JSON; not sent" << std::endl;
    return false;
  }
  pending->Answer("[\"r\"," + std::to_string(pending->id) + ",true," + json + "]");
  return true;
}

void PageReply::Reject(const std::string& message) {
  if (!pending) return;
  pending->Answer("[\"r\"," + std::to_string(pending->id) + ",false," +
                  PageBridge::JsonString(message) + "]");
}

bool PageReply::Answered() const {
  return pending && pending->answered;
}

const std::string& PageReply::Name() const {
  return pending ? pending->name : kNoName;
}

void PageReply::Pending::Answer(const std::string& item) {
  if (answered.exchange(true) || !*document) return;
  if (std::shared_ptr<HeadlessView> view = page.lock())
    PageBridge::Deliver(*view, context, "[" + item + "]");
}

PageReply::Pending::~Pending() {
  if (answered || !*document) return;  // a call of a page that went away is simply dropped
  Log << "WARNING: Browser: the page's call \"" << name << "\" was dropped unanswered" << std::endl;
  Answer("[\"r\"," + std::to_string(id) + ",false," +
         PageBridge::JsonString("the game dropped the call \"" + name + "\" unanswered") + "]");
}

}  // namespace CorvaneEngine
