// PageDialogs: answers every JavaScript dialog of the overlay's page, so that no alert, confirm,
// prompt or leave-page question stops the page for good (the headless browser shows none of
// them and waits for an answer). With a handler from the game, each dialog is handed to it on
// the main thread during a frame, with a reply it may answer then or in a later frame. Without
// one, alert and the leave-page question are accepted, confirm and prompt are cancelled, at once,
// and each dialog gives one log line with its kind and text.
//
// Threads: PageCreated and PageEvent on the browser's reader thread; SetHandler and Update on
// the main thread. `lock` guards the handler's presence, the queue and the open dialog.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "overlay/JavaScriptDialog.h"
#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class PageDialogs : public PageFeature {
 public:
  using Handler = std::function<void(const JavaScriptDialog&, DialogReply)>;

  // Empty: the default answers. A dialog still waiting for its frame then gets its default too.
  void SetHandler(Handler handler);

  void PageCreated(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;
  void Update(double seconds) override;

  // Answers with the default of the dialog's kind and logs it (any thread).
  static void AnswerByDefault(DialogReply reply, const JavaScriptDialog& dialog);

 private:
  struct Waiting {
    JavaScriptDialog dialog;
    DialogReply reply;
  };
  void DialogOpening(HeadlessView& view, const nlohmann::json& params);
  void DialogGone();

  std::mutex lock;
  Handler handler;  // called on the main thread only, outside the lock
  std::deque<Waiting> waiting;
  std::weak_ptr<DialogReply::Pending> open;  // the page's dialog now showing, if any
};

}  // namespace CorvaneEngine
