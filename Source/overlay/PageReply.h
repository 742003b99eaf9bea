// PageReply: the handle that answers one corvane.call of a page. The game's call handler gets it
// on the main thread and may answer at once or in any later frame, with a JSON value (the page's
// promise resolves with it) or an error message (the promise rejects with an Error of that
// message). Copies share one answer: the first one counts.
//
// An answer reaches only the document that made the call: once that document is gone (the page
// changed, reloaded or crashed, or the browser restarted), answering does nothing. A reply whose
// last copy is dropped unanswered rejects the page's promise, so that no page waits for ever.
//
// Threads: a reply may be answered, copied and dropped on any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace CorvaneEngine {

class HeadlessView;

class PageReply {
 public:
  PageReply() = default;  // answers nothing

  // Resolves the page's promise with `json`. False, with one log line and nothing sent (the call
  // stays open), when `json` is not valid JSON.
  bool Resolve(const std::string& json);
  // Rejects the page's promise with an Error whose message is `message` (UTF-8).
  void Reject(const std::string& message);
  // True once answered through any copy.
  bool Answered() const;
  // The name the page called.
  const std::string& Name() const;

 private:
  friend class PageBridge;
  // The open call (kept out of this header: it holds the browser layer's page and document).
  struct Pending;
  // For PageBridge: the reply to call `id` named `name` of the document `document` of `context`.
  static PageReply ForCall(std::weak_ptr<HeadlessView> page, std::string context,
                           std::shared_ptr<std::atomic<bool>> document, int64_t id,
                           std::string name);
  explicit PageReply(std::shared_ptr<Pending> pending) : pending(std::move(pending)) {}
  std::shared_ptr<Pending> pending;
};

}  // namespace CorvaneEngine
