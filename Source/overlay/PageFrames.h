// PageFrames: which frame of the page each of its script contexts belongs to, and which document
// each frame shows, so that a call from the page can be judged by the URL of the frame that made
// it. Fed with the page's protocol events in the order the browser sent them (context created
// and destroyed, frame navigated and detached). A frame may keep its context across a
// navigation (an iframe leaving its first empty document for a page of the same origin), so each
// context carries a token per document: it is cleared when its frame shows another document,
// and whatever was made for the old document (a call's reply, an event on its way) goes nowhere.
//
// Threads: the browser's reader thread only (the tokens may be read from any thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace CorvaneEngine {

// True while the document it was made for is still shown.
using DocumentToken = std::shared_ptr<std::atomic<bool>>;

class PageFrames {
 public:
  struct Context {
    std::string frameId;
    std::string uniqueId;  // the browser-wide id: never names a context of another page
    std::string origin;
    bool isDefault = false;  // the page's own world, not an isolated one
    DocumentToken document;
  };

  // A new page (or the page's renderer is gone): every context is gone. `mainFrame` is the
  // page's top frame (the target's id).
  void Reset(const std::string& mainFrame);
  void ContextCreated(const nlohmann::json& description);
  void ContextDestroyed(int64_t id);
  void ContextsCleared();
  // A frame shows a new document; true when it is the main frame.
  bool FrameNavigated(const nlohmann::json& frame);
  void FrameDetached(const std::string& frameId);

  const Context* FindContext(int64_t id) const;
  // The frame's URL ("" when unknown), with "#fragment" when it has one.
  std::string FrameURL(const std::string& frameId) const;
  // The main frame's document URL, and whether it is an error page (a load that failed).
  std::string MainURL() const { return FrameURL(mainFrame); }
  bool MainIsErrorPage() const { return mainErrorPage; }
  // The main frame's default context (null while there is none).
  const Context* MainContext() const;
  const std::string& MainFrame() const { return mainFrame; }

 private:
  void EndDocuments(const std::string& frameId);

  std::map<int64_t, Context> contexts;
  std::map<std::string, std::string> frameURLs;
  std::string mainFrame;
  bool mainErrorPage = false;
};

}  // namespace CorvaneEngine
