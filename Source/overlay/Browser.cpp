#include "overlay/Browser.h"

#include "core/Clock.h"
#include "overlay/BrowserClient.h"
#include "overlay/EditableFocus.h"
#include "overlay/HeadlessBrowser.h"
#include "overlay/HeadlessView.h"
#include "overlay/KeyTranslation.h"
#include "overlay/SelectPicker.h"
#include "presentation/BasicMouse.h"
#include "overlay/PageCursor.h"
#include "overlay/PageKeyboard.h"
#include "overlay/CrashRecovery.h"
#include "overlay/HeadlessBrowser.h"
#include "overlay/HeadlessView.h"
#include "overlay/KeyTranslation.h"
#include "overlay/PageDialogs.h"
#include "overlay/DebugPort.h"
#include "overlay/PageBridge.h"
#include "overlay/PageConsole.h"
#include "overlay/PageLifecycle.h"
#include "presentation/BasicWindowSystem.h"
#include "presentation/GraphicsSystem_GL.h"

namespace CorvaneEngine {

namespace {

constexpr int32_t kWheelUp = 4;    // SDL_BUTTON_WHEELUP
constexpr int32_t kWheelDown = 5;  // SDL_BUTTON_WHEELDOWN
constexpr int32_t kWheelNotch = 50;

HeadlessView::MouseButton ButtonType(int32_t sdlButton) {
  if (sdlButton == 1) return HeadlessView::MouseButton::Left;
  if (sdlButton == 3) return HeadlessView::MouseButton::Right;
  return HeadlessView::MouseButton::Middle;  // the middle button, and the wheel's releases
}

}  // namespace

Browser* Browser::instance = nullptr;

Browser::Browser() : client(new BrowserClient()) {
  client->AddFeature(std::make_unique<SelectPicker>());
  auto focus = std::make_unique<EditableFocus>();
  editableFocus = focus.get();
  client->AddFeature(std::move(focus));
  std::unique_ptr<PageCursor> pageCursor(new PageCursor());
  cursor = pageCursor.get();
  client->AddFeature(std::move(pageCursor));
  auto pageKeyboard = std::make_unique<PageKeyboard>(*client);
  keyboard = pageKeyboard.get();
  client->AddFeature(std::move(pageKeyboard));
  auto pageDialogs = std::make_unique<PageDialogs>();
  dialogs = pageDialogs.get();
  client->AddFeature(std::move(pageDialogs));
  auto crashRecovery = std::make_unique<CrashRecovery>();
  recovery = crashRecovery.get();
  client->SetCrashRecovery(recovery);
  client->AddFeature(std::move(crashRecovery));
  auto pageBridge = std::make_unique<PageBridge>();
  bridge = pageBridge.get();
  client->AddFeature(std::move(pageBridge));
  auto pageLifecycle = std::make_unique<PageLifecycle>();
  lifecycle = pageLifecycle.get();
  client->AddFeature(std::move(pageLifecycle));
  client->AddFeature(std::make_unique<PageConsole>());
  client->AddFeature(std::make_unique<DebugPort>());
}

Browser::~Browser() {
  headless.reset();  // joins the reader thread: no call-back reaches the client after this
  delete client;
  if (instance == this) instance = nullptr;
}

void Browser::Initialize() {
  std::string error;
  // Without a browser the overlay stays transparent and every operation is dropped.
  if (!StartBrowser(error)) client->ReportFailure("cannot start " + error);
}

bool Browser::StartBrowser(std::string& error) {
  HeadlessBrowser::Settings settings;
  int32_t width, height;
  BrowserClient::GetViewRect(width, height);
  if (width > 0 && height > 0) {
    settings.width = width;
    settings.height = height;
  }
  headless.reset(new HeadlessBrowser(client));
  return headless->Start(settings, error);
}

// Main thread: a process is started only here, never from the reader thread that saw the old
// one die.
void Browser::Restart(const std::string& url) {
  headless->Stop();  // joins the dead browser's reader thread: its page is closed by then
  if (!url.empty()) client->LoadURL(url);  // kept for the new page
  std::string error;
  if (!StartBrowser(error)) recovery->RestartFailed(error);
}

void Browser::Shutdown() {
  if (std::shared_ptr<HeadlessView> page = client->ReadyBrowser()) page->Close();
  if (headless) headless->Stop();
}

void Browser::Update(double seconds) {
  for (const auto& feature : client->Features()) feature->Update(seconds);
  std::string url;
  if (headless && recovery->TakeRestart(url)) Restart(url);
}

void Browser::SetDialogHandler(DialogHandler handler) {
  dialogs->SetHandler(std::move(handler));
}

bool Browser::IsReady() const {
  return client->IsReady();
}

bool Browser::HasEditableFocus() const {
  return editableFocus->HasFocus();
}

void Browser::KeepTypingFromGame(bool keep) {
  editableFocus->KeepKeysFromGame(keep);
}

bool Browser::IsPointerOverPage() const {
  BasicMouse* mouse = BasicMouse::instance;
  return mouse != nullptr && IsPageDrawnAt(mouse->GetX(), mouse->GetY());
}

bool Browser::IsPageDrawnAt(int32_t x, int32_t y) const {
  return GraphicsSystem_GL::BrowserTextureAlphaAt(x, y) > 0;
}

void Browser::LoadURL(const char* url) {
  if (url == nullptr) return;
  recovery->PageRequested(url);  // after the overlay gave up on a crashing browser: once more
  bridge->PageRequested(url);    // the game's messages from now on are for this page
  client->LoadURL(url);
}

void Browser::Resize() {
  std::shared_ptr<HeadlessView> page = client->ReadyBrowser();
  if (!page) return;
  int32_t width, height;
  BrowserClient::GetViewRect(width, height);
  page->SetSize(width, height);
  page->Reload();
}

void Browser::KeyDown(int32_t symbol, int32_t modifiers, uint32_t character, int32_t scancode) {
  keyboard->KeyDown(symbol, static_cast<uint32_t>(modifiers), character, scancode);
}

void Browser::KeyUp(int32_t symbol, int32_t modifiers, int32_t scancode) {
  keyboard->KeyUp(symbol, static_cast<uint32_t>(modifiers), scancode);
}

void Browser::CharInput(uint32_t character, uint32_t modifiers) {
  keyboard->CharInput(character, modifiers);
}

void Browser::MouseMove(int32_t x, int32_t y) {
  if (std::shared_ptr<HeadlessView> page = client->ReadyBrowser()) {
    page->SendMouseMoveEvent(x, y, false);
  }
}

void Browser::MouseDown(int32_t button, int32_t x, int32_t y) {
  std::shared_ptr<HeadlessView> page = client->ReadyBrowser();
  if (!page) return;
  if (button == kWheelUp) {
    page->SendMouseWheelEvent(x, y, kWheelNotch);
  } else if (button == kWheelDown) {
    page->SendMouseWheelEvent(x, y, -kWheelNotch);
  } else {
    page->SendMouseClickEvent(x, y, ButtonType(button), false,
                              clicks.Press(button, x, y, TimeGetTime()));
  }
}

void Browser::MouseUp(int32_t x, int32_t y, int32_t button) {
  // A wheel notch is a press and a release in SDL, but only the wheel event in a browser.
  if (button == kWheelUp || button == kWheelDown) return;
  if (std::shared_ptr<HeadlessView> page = client->ReadyBrowser()) {
    page->SendMouseClickEvent(x, y, ButtonType(button), true, clicks.Release(button));
  }
}

void Browser::MouseLeave() {
  if (std::shared_ptr<HeadlessView> page = client->ReadyBrowser()) {
    page->SendMouseMoveEvent(-1, -1, true);
  }
}

void Browser::OnPageMessage(const std::string& name, PageMessageHandler handler) {
  bridge->SetMessageHandler(name, std::move(handler));
}

void Browser::OnPageCall(const std::string& name, PageCallHandler handler) {
  bridge->SetCallHandler(name, std::move(handler));
}

bool Browser::SendEvent(const std::string& name, const std::string& json) {
  return bridge->SendEvent(name, json);
}

void Browser::RunScript(const std::string& script, ScriptCallback done) {
  bridge->RunScript(script, [done](const PageBridge::ScriptResult& result) {
    if (done) done(result.ok, result.value);
  });
}

void Browser::OnPageReady(std::function<void(const std::string& url)> handler) {
  lifecycle->OnReady(std::move(handler));
}

void Browser::OnPageFailed(
    std::function<void(const std::string& url, const std::string& reason)> handler) {
  lifecycle->OnFailed(std::move(handler));
}

void Browser::OnPageReloadedAfterCrash(std::function<void(const std::string& url)> handler) {
  lifecycle->OnReloadedAfterCrash(std::move(handler));
}

PointerShape Browser::GetPointerShape() const {
  return cursor->Shape();
}

}  // namespace CorvaneEngine
