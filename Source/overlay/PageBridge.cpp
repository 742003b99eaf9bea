#include "overlay/PageBridge.h"

#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/GamePageURL.h"
#include "overlay/HeadlessView.h"
#include "overlay/JsonFields.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;
using JsonFields::Text;

// The protocol binding behind `corvane`, and the page's receiver of the game's batches.
constexpr char kBinding[] = "__corvaneBridge";
constexpr char kReceiver[] = "__corvaneIn";
constexpr char kGameFileOrigin[] = "file://";

// Runs in every frame, before the document's own scripts. Only file pages get `corvane` (the
// engine still checks every call: the binding itself is in every frame). The page's messages of
// one task go to the game as one binding call, each item [kind, call id, name, data as JSON].
constexpr char kScript[] = R"JS((function () {
  'use strict';
  var bridge = window.__corvaneBridge;
  if (typeof bridge !== 'function' || location.protocol !== 'file:' || window.corvane) return;
  var outgoing = [], flushing = false, nextCall = 1, calls = new Map();
  var listeners = new Map(), kept = new Map(), keptCount = 0, keptWarned = false;
  var kKeptLimit = 1000;
  function flush() {
    flushing = false;
    var batch = outgoing;
    outgoing = [];
    bridge(JSON.stringify(batch));
  }
  function post(item) {
    outgoing.push(item);
    if (!flushing) { flushing = true; queueMicrotask(flush); }
  }
  function text(data) {
    var t = JSON.stringify(data);
    return t === undefined ? 'null' : t;
  }
  // A listener's exception does not stop the others; it still reaches the console as uncaught.
  function deliver(fn, data) {
    try { fn(data); } catch (e) { setTimeout(function () { throw e; }); }
  }
  function dispatch(name, data) {
    var fns = listeners.get(name);
    if (fns && fns.length) { fns.slice().forEach(function (fn) { deliver(fn, data); }); return; }
    if (keptCount >= kKeptLimit) {
      if (!keptWarned) console.warn('corvane: ' + kKeptLimit + ' events wait for a listener; dropping "' + name + '"');
      keptWarned = true;
      return;
    }
    if (!kept.has(name)) kept.set(name, []);
    kept.get(name).push(data);
    keptCount++;
  }
  function answer(id, ok, value) {
    var call = calls.get(id);
    if (!call) return;
    calls.delete(id);
    if (ok) call.resolve(value); else call.reject(new Error(value));
  }
  var api = {
    send: function (name, data) { post(['s', 0, String(name), text(data)]); },
    call: function (name, data) {
      var body;
      try { body = text(data); } catch (e) { return Promise.reject(e); }
      return new Promise(function (resolve, reject) {
        var id = nextCall++;
        calls.set(id, {resolve: resolve, reject: reject});
        post(['c', id, String(name), body]);
      });
    },
    on: function (name, fn) {
      if (typeof fn !== 'function') throw new TypeError('corvane.on needs a function');
      name = String(name);
      if (!listeners.has(name)) listeners.set(name, []);
      listeners.get(name).push(fn);
      var waiting = kept.get(name);
      if (!waiting) return;
      kept.delete(name);
      keptCount -= waiting.length;
      queueMicrotask(function () { waiting.forEach(function (data) { deliver(fn, data); }); });
    },
    off: function (name, fn) {
      var fns = listeners.get(String(name));
      var at = fns ? fns.indexOf(fn) : -1;
      if (at >= 0) fns.splice(at, 1);
    }
  };
  Object.defineProperty(window, 'corvane', {value: Object.freeze(api)});
  Object.defineProperty(window, '__corvaneIn', {value: function (batch) {
    JSON.parse(batch).forEach(function (m) {
      if (m[0] === 'e') dispatch(m[1], m[2]); else answer(m[1], m[2], m[3]);
    });
  }});
})();)JS";

constexpr char kPageWentAway[] = "the page went away";

std::string WithoutFragment(const std::string& url) {
  return url.substr(0, url.find('#'));
}

// A script's answer as the game gets it.
PageBridge::ScriptResult ScriptOutcome(const Json& answer) {
  if (answer.contains("error")) return {false, kPageWentAway};
  const Json& result = answer.value("result", Json::object());
  auto exception = result.find("exceptionDetails");
  if (exception != result.end()) {
    std::string text = Text(exception->value("exception", Json::object()), "description");
    if (text.empty()) text = Text(*exception, "text");
    return {false, text};
  }
  const Json& value = result.value("result", Json::object());
  auto found = value.find("value");
  // undefined, and what JSON cannot hold (NaN, Infinity, -0, BigInt), come back as null.
  if (found == value.end()) return {true, "null"};
  return {true, found->dump(-1, ' ', false, Json::error_handler_t::replace)};
}

}  // namespace

std::string PageBridge::JsonString(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void PageBridge::Deliver(HeadlessView& view, const std::string& context, const std::string& batch) {
  Json params{{"expression", std::string(kReceiver) + "(" + JsonString(batch) + ")"},
              {"uniqueContextId", context}};
  view.SendCommand("Runtime.evaluate", params.dump(-1, ' ', false, Json::error_handler_t::replace));
}

// ---- The game's side (main thread) ----

void PageBridge::SetMessageHandler(const std::string& name, MessageHandler handler) {
  if (handler)
    messageHandlers[name] = std::move(handler);
  else
    messageHandlers.erase(name);
}

void PageBridge::SetCallHandler(const std::string& name, CallHandler handler) {
  if (handler)
    callHandlers[name] = std::move(handler);
  else
    callHandlers.erase(name);
}

bool PageBridge::SendEvent(const std::string& name, const std::string& json) {
  if (!Json::accept(json)) {
    Log << "ERROR: Browser: the event \"" << name << "\" is not valid JSON; not sent" << std::endl;
    return false;
  }
  Outgoing message;
  message.item = "[\"e\"," + JsonString(name) + "," + json + "]";
  return Queue(message, "the event \"" + name + "\"");
}

void PageBridge::RunScript(const std::string& script, ScriptCallback callback) {
  Outgoing message;
  message.item = script;
  message.script = true;
  message.callback = std::move(callback);
  if (!Queue(message, "a script")) {
    std::lock_guard<std::mutex> guard(lock);
    finished.push_back(
        {std::move(message.callback), {false, "too many messages wait for the page"}});
  }
}

// False, with a log line (once until the queue drains), when the page is not taking messages
// and too many wait for it.
bool PageBridge::Queue(Outgoing& message, const std::string& what) {
  bool logFull = false;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (outgoing.size() < kMaxWaitingMessages &&
        outgoingBytes + message.item.size() <= kMaxWaitingBytes) {
      message.target = Stamp();
      outgoingBytes += message.item.size();
      outgoing.push_back(std::move(message));
      return true;
    }
    logFull = !outgoingFullLogged;
    outgoingFullLogged = true;
  }
  if (logFull)
    Log << "ERROR: Browser: too many messages wait for the page; dropped " << what
        << " and any more until it takes them" << std::endl;
  return false;
}

// Under `lock`: the document a message sent now goes to.
PageBridge::Target PageBridge::Stamp() const {
  if (hasCurrent) return current;
  Target pending;
  pending.generation = generation;
  return pending;
}

void PageBridge::PageRequested(const std::string& url) {
  const std::string path = CanonicalFilePath(url);
  std::lock_guard<std::mutex> guard(lock);
  ++generation;
  generationFailed = false;
  awaiting = true;
  awaitedURL = url;
  awaitedPath = path;
  mainForeign = false;
  hasCurrent = false;
}

void PageBridge::Update(double) {
  RunHandlers();
  std::vector<Command> commands;
  {
    std::lock_guard<std::mutex> guard(lock);
    commands = TakeCommands();
  }
  for (const Command& command : commands) Send(command);
  std::vector<Finished> done;
  {
    std::lock_guard<std::mutex> guard(lock);
    done.swap(finished);
  }
  for (Finished& script : done)
    if (script.callback) script.callback(script.result);
}

void PageBridge::RunHandlers() {
  std::deque<Incoming> messages;
  {
    std::lock_guard<std::mutex> guard(lock);
    messages.swap(incoming);
    incomingBytes = 0;
  }
  for (Incoming& message : messages) {
    if (!message.call) {
      auto handler = messageHandlers.find(message.name);
      if (handler != messageHandlers.end()) {
        MessageHandler call = handler->second;  // the handler may replace itself
        call(message.data);
      } else if (unhandledLogged.size() < 100 && !unhandledLogged[message.name]) {
        unhandledLogged[message.name] = true;
        Log << "WARNING: Browser: no handler for the page's message \"" << message.name << "\""
            << std::endl;
      }
      continue;
    }
    if (!*message.from.document) continue;  // its page went away: no one waits for the answer
    PageReply reply = PageReply::ForCall(message.from.page, message.from.context,
                                         message.from.document, message.id, message.name);
    auto handler = callHandlers.find(message.name);
    if (handler == callHandlers.end()) {
      reply.Reject("no handler for \"" + message.name + "\"");
      continue;
    }
    CallHandler call = handler->second;
    call(message.data, std::move(reply));
  }
}

// Under `lock`: the messages whose page exists, as commands (consecutive events to one
// document in one batch); dropped scripts are answered as finished.
std::vector<PageBridge::Command> PageBridge::TakeCommands() {
  std::vector<Command> commands;
  std::deque<Outgoing> waiting;
  size_t waitingBytes = 0, dropped = 0;
  for (Outgoing& message : outgoing) {
    Target target = message.target;
    if (target.context.empty()) {
      const bool superseded =
          target.generation < generation || (target.generation == generation && generationFailed);
      const bool refused = !awaiting && mainForeign;
      if (!superseded && hasCurrent) {
        target = current;
      } else if (!superseded && !refused) {
        waitingBytes += message.item.size();
        waiting.push_back(std::move(message));
        continue;
      }
    }
    if (target.context.empty() || !*target.document) {
      if (message.script)
        finished.push_back({std::move(message.callback), {false, kPageWentAway}});
      else
        ++dropped;
      continue;
    }
    if (message.script) {
      commands.push_back(
          {target, std::string(), std::move(message.item), std::move(message.callback)});
    } else if (!commands.empty() && commands.back().script.empty() &&
               commands.back().target.context == target.context) {
      commands.back().batch += "," + message.item;
    } else {
      commands.push_back({target, message.item, std::string(), nullptr});
    }
  }
  outgoing.swap(waiting);
  outgoingBytes = waitingBytes;
  if (outgoing.empty()) outgoingFullLogged = false;
  if (dropped > 0)
    Log << "WARNING: Browser: " << dropped << " event(s) for a page that went away or is not the "
        << "game's were dropped" << std::endl;
  return commands;
}

void PageBridge::Send(const Command& command) {
  std::shared_ptr<HeadlessView> view = command.target.page.lock();
  if (command.script.empty()) {
    if (view) Deliver(*view, command.target.context, "[" + command.batch + "]");
    return;
  }
  ScriptCallback callback = command.callback;
  int32_t sent = 0;
  if (view) {
    Json params{{"expression", command.script},
                {"uniqueContextId", command.target.context},
                {"returnByValue", true},
                {"awaitPromise", true}};
    sent = view->SendCommand("Runtime.evaluate",
                             params.dump(-1, ' ', false, Json::error_handler_t::replace),
                             [this, callback](const Json& answer) {
                               std::lock_guard<std::mutex> guard(lock);
                               finished.push_back({callback, ScriptOutcome(answer)});
                             });
  }
  if (sent == 0) {
    std::lock_guard<std::mutex> guard(lock);
    finished.push_back({callback, {false, kPageWentAway}});
  }
}

// ---- The page's side (reader thread) ----

void PageBridge::PageCreated(HeadlessView& view) {
  frames.Reset(view.TargetId());
  {
    std::lock_guard<std::mutex> guard(lock);
    hasCurrent = false;
    mainForeign = false;
    refusalLogged = false;
  }
  view.SendCommand("Runtime.enable", "{}");
  view.SendCommand("Runtime.addBinding", Json{{"name", kBinding}}.dump());
  view.SendCommand("Page.addScriptToEvaluateOnNewDocument", Json{{"source", kScript}}.dump());
}

void PageBridge::RendererCrashed(HeadlessView& view) {
  frames.Reset(view.TargetId());
  std::lock_guard<std::mutex> guard(lock);
  hasCurrent = false;
  mainForeign = false;
}

// What waited for the failed page is dropped; later messages go to the page still shown.
void PageBridge::PageLoadFailed(HeadlessView& view, const std::string& url, const std::string&) {
  const bool game = !frames.MainIsErrorPage() && IsGamePageURL(frames.MainURL());
  std::lock_guard<std::mutex> guard(lock);
  if (!awaiting || url != awaitedURL) return;
  awaiting = false;
  generationFailed = true;
  mainForeign = !game;
  RefreshCurrent(view);
}

void PageBridge::PageEvent(HeadlessView& view, const std::string& method,
                           const nlohmann::json& params) {
  if (!params.is_object()) return;
  if (method == "Runtime.bindingCalled") {
    if (Text(params, "name") == kBinding) BindingCalled(view, params);
    return;
  }
  if (method == "Runtime.executionContextCreated") {
    frames.ContextCreated(params.value("context", Json()));
  } else if (method == "Runtime.executionContextDestroyed") {
    const Json& id = params.value("executionContextId", Json());
    if (id.is_number_integer()) frames.ContextDestroyed(id.get<int64_t>());
  } else if (method == "Runtime.executionContextsCleared") {
    frames.ContextsCleared();
  } else if (method == "Page.frameNavigated") {
    if (frames.FrameNavigated(params.value("frame", Json()))) return MainNavigated(view);
  } else if (method == "Page.frameDetached") {
    frames.FrameDetached(Text(params, "frameId"));
  } else if (method == "Page.navigatedWithinDocument") {
    if (Text(params, "frameId") != frames.MainFrame()) return;
    std::lock_guard<std::mutex> guard(lock);
    if (awaiting && MatchesRequest(Text(params, "url"))) awaiting = false;
  } else {
    return;
  }
  std::lock_guard<std::mutex> guard(lock);
  RefreshCurrent(view);
}

// The main frame shows a new document: the page the game asked for, one the page went to by
// itself, or one from elsewhere.
void PageBridge::MainNavigated(HeadlessView& view) {
  const std::string url = frames.MainURL();
  const bool game = !frames.MainIsErrorPage() && IsGamePageURL(url);
  std::lock_guard<std::mutex> guard(lock);
  refusalLogged = false;
  floodLogged = false;
  if (awaiting && !frames.MainIsErrorPage() && MatchesRequest(url)) awaiting = false;
  mainForeign = !awaiting && !game;
  RefreshCurrent(view);
}

// Under `lock`.
bool PageBridge::MatchesRequest(const std::string& url) const {
  if (!awaitedPath.empty()) return CanonicalFilePath(url) == awaitedPath;
  return WithoutFragment(url) == WithoutFragment(awaitedURL);
}

// Under `lock`: the main document is the game's messages' target when it is a game page that the
// game is not waiting to replace.
void PageBridge::RefreshCurrent(HeadlessView& view) {
  hasCurrent = false;
  if (awaiting || mainForeign) return;
  const PageFrames::Context* main = frames.MainContext();
  if (main == nullptr || !*main->document || main->origin != kGameFileOrigin ||
      !IsGamePageURL(frames.MainURL()))
    return;
  current.page = view.weak_from_this();
  current.context = main->uniqueId;
  current.document = main->document;
  current.generation = generation;
  hasCurrent = true;
}

void PageBridge::BindingCalled(HeadlessView& view, const nlohmann::json& params) {
  const Json& id = params.value("executionContextId", Json());
  const PageFrames::Context* context =
      id.is_number_integer() ? frames.FindContext(id.get<int64_t>()) : nullptr;
  const std::string url = context ? frames.FrameURL(context->frameId) : std::string();
  // The frame that called, judged by the document it shows now: the events of one renderer come
  // in order, so that is the document whose script made the call.
  if (context == nullptr || !context->isDefault || context->origin != kGameFileOrigin ||
      !IsGamePageURL(url)) {
    return RefuseOnce(url.empty() ? std::string("a frame of unknown origin") : url);
  }
  Target from;
  from.page = view.weak_from_this();
  from.context = context->uniqueId;
  from.document = context->document;
  TakeMessages(Text(params, "payload"), from);
}

void PageBridge::RefuseOnce(const std::string& url) {
  {
    std::lock_guard<std::mutex> guard(lock);
    if (refusalLogged) return;
    refusalLogged = true;
  }
  Log << "WARNING: Browser: refused the game's page bridge to " << url
      << ": not a page of the game's folder" << std::endl;
}

void PageBridge::TakeMessages(const std::string& payload, const Target& from) {
  Json batch = Json::parse(payload, nullptr, false);
  bool malformed = !batch.is_array(), flooded = false;
  {
    std::lock_guard<std::mutex> guard(lock);
    for (Json& item : malformed ? Json::array_t() : batch.get_ref<Json::array_t&>()) {
      if (!item.is_array() || item.size() != 4 || !item[0].is_string() ||
          !item[1].is_number_integer() || !item[2].is_string() || !item[3].is_string() ||
          !Json::accept(item[3].get_ref<const std::string&>())) {
        malformed = true;
        continue;
      }
      std::string& data = item[3].get_ref<std::string&>();
      if (incoming.size() >= kMaxWaitingMessages ||
          incomingBytes + data.size() > kMaxWaitingBytes) {
        flooded = flooded || !floodLogged;
        floodLogged = true;
        continue;
      }
      incomingBytes += data.size();
      incoming.push_back({item[0].get_ref<const std::string&>() == "c", item[1].get<int64_t>(),
                          std::move(item[2].get_ref<std::string&>()), std::move(data), from});
    }
  }
  if (malformed) Log << "WARNING: Browser: skipped a malformed message from the page" << std::endl;
  if (flooded)
    Log << "ERROR: Browser: the page sends faster than the game takes its messages; over "
        << kMaxWaitingMessages << " messages or " << (kMaxWaitingBytes >> 20)
        << " MB waiting, the rest are dropped" << std::endl;
}

}  // namespace CorvaneEngine
