#include "overlay/PageReply.h"

#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/HeadlessView.h"
#include "overlay/PageBridge.h"

namespace CorvaneEngine {

namespace {
const std::string kNoName;
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
