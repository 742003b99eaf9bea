// PageBridge: messages between the game and its own pages. Every document of the overlay's page
// gets a small `corvane` object before its own scripts run (a script added for every new
// document, over a private protocol binding):
//
//   corvane.send(name, data)   data: any JSON value; the game's message handler for `name` gets
//                              it as JSON text, on the main thread during a frame, in order
//   corvane.call(name, data)   a Promise: the game's call handler answers through a PageReply
//                              (at once or frames later); a name without a handler rejects
//   corvane.on(name, fn)       fn(data) for each event the game sends under `name`; events that
//   corvane.off(name, fn)      came before the first listener of their name are kept (up to
//                              1,000) and handed to it
//
// Only the game's own documents are served: each call is checked against the URL of the frame
// that made it (GamePageURL: a file below the working directory), and the game's events and
// scripts go only to the main frame's document when it is such a page. A refusal is logged once
// per page.
//
// The game's events and scripts go to the page current when they are sent, or to the page the
// latest LoadURL asked for while that has not shown yet (they wait for its document; a later
// LoadURL, or a failed load, drops them). Events sent in one frame go to the page as one message.
// The page's messages wait at most kMaxWaitingMessages or kMaxWaitingBytes between two frames;
// beyond that they are dropped, with one log line per page.
//
// Threads: handlers, SendEvent, RunScript, PageRequested and Update on the main thread; the
// PageFeature call-backs on the browser's reader thread. `lock` guards the queues and what the
// two threads share of the page's state; nothing is sent to the browser while it is held.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "overlay/PageFeature.h"
#include "overlay/PageFrames.h"
#include "overlay/PageReply.h"

namespace CorvaneEngine {

class PageBridge : public PageFeature {
 public:
  static constexpr size_t kMaxWaitingMessages = 10000;
  static constexpr size_t kMaxWaitingBytes = 16u << 20;

  using MessageHandler = std::function<void(const std::string& json)>;
  using CallHandler = std::function<void(const std::string& json, PageReply reply)>;
  // A script's outcome: its value as JSON text, or the text of the exception it threw (also
  // "the page went away" when its document was gone before it could run).
  struct ScriptResult {
    bool ok = false;
    std::string value;
  };
  using ScriptCallback = std::function<void(const ScriptResult&)>;

  // An empty handler removes the name's handler.
  void SetMessageHandler(const std::string& name, MessageHandler handler);
  void SetCallHandler(const std::string& name, CallHandler handler);
  // False, with one log line and nothing sent, when `json` is not valid JSON.
  bool SendEvent(const std::string& name, const std::string& json);
  // The callback runs on the main thread during a frame, once (unless the overlay shuts down).
  void RunScript(const std::string& script, ScriptCallback callback);
  // The game asked for this page (before the load goes out).
  void PageRequested(const std::string& url);

  void PageCreated(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;
  void PageLoadFailed(HeadlessView& view, const std::string& url,
                      const std::string& reason) override;
  void RendererCrashed(HeadlessView& view) override;
  void Update(double seconds) override;

  // Hands a batch (a JSON array text of items) to the page's receiver in one context.
  static void Deliver(HeadlessView& view, const std::string& context, const std::string& batch);
  // `text` as a JSON string literal (bytes that are not UTF-8 become U+FFFD).
  static std::string JsonString(const std::string& text);

 private:
  // Where a message of the game goes: a document (its context and token), or, with an empty
  // context, the page of load `generation` once its document exists.
  struct Target {
    std::weak_ptr<HeadlessView> page;
    std::string context;
    DocumentToken document;
    uint64_t generation = 0;
  };
  struct Outgoing {
    Target target;
    std::string item;  // an event's batch item, or a script
    bool script = false;
    ScriptCallback callback;
  };
  struct Incoming {
    bool call = false;
    int64_t id = 0;
    std::string name;
    std::string data;
    Target from;
  };
  struct Finished {
    ScriptCallback callback;
    ScriptResult result;
  };
  struct Command {
    Target target;
    std::string batch;  // events
    std::string script;
    ScriptCallback callback;
  };

  void BindingCalled(HeadlessView& view, const nlohmann::json& params);
  void TakeMessages(const std::string& payload, const Target& from);
  void MainNavigated(HeadlessView& view);
  bool MatchesRequest(const std::string& url) const;
  void RefreshCurrent(HeadlessView& view);
  Target Stamp() const;
  bool Queue(Outgoing& message, const std::string& what);
  void RefuseOnce(const std::string& url);
  std::vector<Command> TakeCommands();
  void Send(const Command& command);
  void RunHandlers();

  std::mutex lock;
  PageFrames frames;  // reader thread only
  // The page's state as the two threads share it.
  uint64_t generation = 0;        // LoadURL calls so far
  bool awaiting = false;          // the page of the latest LoadURL has not shown yet
  bool generationFailed = false;  // the latest LoadURL's page failed to load
  std::string awaitedURL, awaitedPath;
  bool mainForeign = false;  // the main document is settled and is not a game page
  bool hasCurrent = false;
  Target current;  // the main document, when it is a game page
  bool refusalLogged = false;
  bool floodLogged = false;
  std::deque<Outgoing> outgoing;
  size_t outgoingBytes = 0;
  bool outgoingFullLogged = false;
  std::deque<Incoming> incoming;
  size_t incomingBytes = 0;
  std::vector<Finished> finished;
  // Main thread only.
  std::map<std::string, MessageHandler> messageHandlers;
  std::map<std::string, CallHandler> callHandlers;
  std::map<std::string, bool> unhandledLogged;  // names whose messages found no handler
};

}  // namespace CorvaneEngine
