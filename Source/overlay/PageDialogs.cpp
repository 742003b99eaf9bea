#include "overlay/PageDialogs.h"

#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/HeadlessView.h"
#include "overlay/JsonFields.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;
using JsonFields::Text;

JavaScriptDialog::Kind KindOf(const std::string& type) {
  if (type == "confirm") return JavaScriptDialog::Kind::Confirm;
  if (type == "prompt") return JavaScriptDialog::Kind::Prompt;
  if (type == "beforeunload") return JavaScriptDialog::Kind::BeforeUnload;
  return JavaScriptDialog::Kind::Alert;
}

// The dialog's text on one log line: line breaks and other control characters become spaces.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

}  // namespace

void PageDialogs::SetHandler(Handler newHandler) {
  std::lock_guard<std::mutex> guard(lock);
  handler = std::move(newHandler);
}

void PageDialogs::AnswerByDefault(DialogReply reply, const JavaScriptDialog& dialog) {
  const bool accept = AcceptedByDefault(dialog.kind);
  Log << "Browser: " << DialogKindName(dialog.kind) << " dialog "
      << (accept ? "accepted" : "cancelled") << ": " << OneLine(dialog.message) << std::endl;
  if (accept)
    reply.Accept();
  else
    reply.Cancel();
}

void PageDialogs::PageCreated(HeadlessView&) {
  DialogGone();  // a dialog of an earlier page is never answered into this one
}

void PageDialogs::PageEvent(HeadlessView& view, const std::string& method,
                            const nlohmann::json& params) {
  if (method == "Page.javascriptDialogOpening") {
    DialogOpening(view, params);
  } else if (method == "Page.javascriptDialogClosed" || method == "Inspector.targetCrashed") {
    DialogGone();
  }
}

void PageDialogs::DialogOpening(HeadlessView& view, const nlohmann::json& params) {
  JavaScriptDialog dialog;
  dialog.kind = KindOf(Text(params, "type"));
  dialog.message = Text(params, "message");
  dialog.defaultPrompt = Text(params, "defaultPrompt");
  dialog.url = Text(params, "url");
  auto pending = std::make_shared<DialogReply::Pending>(view.weak_from_this(), dialog);
  DialogReply reply(pending);
  {
    std::lock_guard<std::mutex> guard(lock);
    if (auto earlier = open.lock()) earlier->gone = true;
    open = pending;
    if (handler) {
      waiting.push_back(Waiting{std::move(dialog), std::move(reply)});
      return;
    }
  }
  // No handler: answered here and now, so the page goes on even while no frame runs.
  AnswerByDefault(std::move(reply), dialog);
}

void PageDialogs::DialogGone() {
  std::lock_guard<std::mutex> guard(lock);
  if (auto dialog = open.lock()) dialog->gone = true;
  open.reset();
}

void PageDialogs::Update(double) {
  for (;;) {
    Waiting next;
    Handler call;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (waiting.empty()) return;
      next = std::move(waiting.front());
      waiting.pop_front();
      call = handler;
    }
    if (next.reply.pending->gone) continue;  // closed before its frame came
    if (call)
      call(next.dialog, next.reply);
    else
      AnswerByDefault(next.reply, next.dialog);
  }
}

}  // namespace CorvaneEngine
