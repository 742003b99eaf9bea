#include "overlay/JavaScriptDialog.h"

#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/HeadlessView.h"

namespace CorvaneEngine {

const char* DialogKindName(JavaScriptDialog::Kind kind) {
  switch (kind) {
    case JavaScriptDialog::Kind::Confirm:
      return "confirm";
    case JavaScriptDialog::Kind::Prompt:
      return "prompt";
    case JavaScriptDialog::Kind::BeforeUnload:
      return "beforeunload";
    default:
      return "alert";
  }
}

bool AcceptedByDefault(JavaScriptDialog::Kind kind) {
  return kind == JavaScriptDialog::Kind::Alert || kind == JavaScriptDialog::Kind::BeforeUnload;
}

void DialogReply::Pending::Answer(bool accept, const std::string& promptText) {
  if (answered.exchange(true) || gone) return;
  std::shared_ptr<HeadlessView> view = page.lock();
  if (!view) return;
  nlohmann::json params{{"accept", accept}};
  if (accept && dialog.kind == JavaScriptDialog::Kind::Prompt) params["promptText"] = promptText;
  // Text from the game that is not UTF-8 goes out with its bad bytes replaced.
  view->SendCommand("Page.handleJavaScriptDialog",
                    params.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

DialogReply::Pending::~Pending() {
  if (answered || gone) return;
  Log << "WARNING: Browser: a " << DialogKindName(dialog.kind)
      << " dialog was dropped unanswered; it gets its default answer" << std::endl;
  Answer(AcceptedByDefault(dialog.kind), std::string());
}

void DialogReply::Accept(const std::string& promptText) {
  if (pending) pending->Answer(true, promptText);
}

void DialogReply::Cancel() {
  if (pending) pending->Answer(false, std::string());
}

bool DialogReply::Answered() const {
  return pending && pending->answered;
}

}  // namespace CorvaneEngine
