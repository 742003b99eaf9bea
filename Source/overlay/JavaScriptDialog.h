// JavaScriptDialog and DialogReply: a dialog a page opened (alert, confirm, prompt or the
// leave-page question before unload) as the game's dialog handler sees it, and the handle that
// answers it. The page is stopped until the answer arrives, so the handler may take its time
// (show its own box and answer frames later) but must answer: a reply whose last copy is dropped
// unanswered gives the dialog its default answer, so that no page is ever left frozen.
//
// A reply answers only the dialog it was made for: once that dialog is gone (its page closed,
// crashed or replaced after a browser restart), answering does nothing.
//
// Threads: the handler gets them on the main thread; a reply may be answered from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace CorvaneEngine {

class HeadlessView;

struct JavaScriptDialog {
  enum class Kind { Alert, Confirm, Prompt, BeforeUnload };
  Kind kind = Kind::Alert;
  std::string message;        // UTF-8, as the page gave it
  std::string defaultPrompt;  // a prompt's initial text
  std::string url;            // the page that asked
};

// The protocol's name of a kind ("alert", "confirm", "prompt", "beforeunload").
const char* DialogKindName(JavaScriptDialog::Kind kind);
// The answer a dialog gets when the game does not give one: alert and the leave-page question
// are accepted (the page goes on, the game's next page loads), confirm and prompt cancelled.
bool AcceptedByDefault(JavaScriptDialog::Kind kind);

class DialogReply {
 public:
  DialogReply() = default;  // answers nothing
  // OK (alert, confirm), the text typed (prompt), leaving the page (before unload).
  void Accept(const std::string& promptText = std::string());
  // Cancel: confirm gives false, prompt gives null, the page is not left.
  void Cancel();
  // True once answered by either call (also through another copy).
  bool Answered() const;

 private:
  friend class PageDialogs;
  // Shared by every copy of one reply. The page is held weakly: a page that went away is never
  // answered, and a later page is a different object.
  struct Pending {
    Pending(std::weak_ptr<HeadlessView> page, JavaScriptDialog dialog)
        : page(std::move(page)), dialog(std::move(dialog)) {}
    ~Pending();  // the default answer, when no copy answered
    void Answer(bool accept, const std::string& promptText);
    std::weak_ptr<HeadlessView> page;
    const JavaScriptDialog dialog;
    std::atomic<bool> answered{false};
    std::atomic<bool> gone{false};  // the dialog closed some other way
  };
  explicit DialogReply(std::shared_ptr<Pending> pending) : pending(std::move(pending)) {}
  std::shared_ptr<Pending> pending;
};

}  // namespace CorvaneEngine
