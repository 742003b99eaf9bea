#include "CatchState.h"

#include <corvane/objects/GameObject.h>
#include <corvane/objects/ObjectFactory.h>
#include <corvane/objects/ObjectManager.h>
#include <corvane/overlay/Browser.h>
#include <corvane/presentation/BasicKeyboard.h>

using namespace CorvaneEngine;

namespace {

// World units: the camera (eye at z = 10, 45 degree field of view) sees about y = -4.1 to 4.1.
constexpr float kLaneWidth = 2.5f;
constexpr float kGround = -3.2f;    // the basket's height; a comet there is caught or lost
constexpr float kSky = 4.6f;        // where a comet appears
constexpr float kFallSpeed = 3.0f;  // units a second
constexpr float kHidden = 100.0f;   // a comet out of sight while the round is over

float LaneX(int lane) {
  return (lane - CatchState::kLanes / 2) * kLaneWidth;
}

bool KeyPressed(int32_t key, int32_t otherKey) {
  BasicKeyboard* keyboard = BasicKeyboard::instance;
  return keyboard != nullptr && (keyboard->IsPressed(key) || keyboard->IsPressed(otherKey));
}

}  // namespace

void CatchState::Initialize() {
  basketId = ObjectFactory::instance->CreateObject("basket");
  cometId = ObjectFactory::instance->CreateObject("comet");
  Restart();
  Browser* browser = Browser::instance;
  if (browser == nullptr) return;
  // Typing a name must not move the basket: A and D are the game's keys too.
  browser->KeepTypingFromGame(true);
  browser->OnPageMessage("name", [this](const std::string& json) {
    // The page sends a string; anything else, or a long text, is not a name.
    if (json.size() >= 2 && json.size() <= 200 && json.front() == '"') nameJson = json;
  });
  browser->OnPageCall("restart", [this](const std::string&, PageReply reply) {
    Restart();
    reply.Resolve("{\"restarted\":true}");
  });
  // A page that came back after a crash, or that asks, gets the HUD again.
  browser->OnPageReloadedAfterCrash([this](const std::string&) { sentHud.clear(); });
  browser->OnPageMessage("hudReady", [this](const std::string&) { sentHud.clear(); });
}

void CatchState::Shutdown() {
  Browser* browser = Browser::instance;
  if (browser == nullptr) return;
  browser->OnPageMessage("name", {});
  browser->OnPageCall("restart", {});
  browser->OnPageReloadedAfterCrash({});
  browser->OnPageMessage("hudReady", {});
}

void CatchState::Update(double seconds) {
  MoveBasket();
  if (lives > 0) DropComet(seconds);
  PlaceObjects();
  SendHud();
}

void CatchState::Restart() {
  lane = kLanes / 2;
  score = 0;
  lives = kLives;
  sequence = 2024;
  NextComet();
  PlaceObjects();
}

void CatchState::MoveBasket() {
  if (KeyPressed(KeyLeftArrow, 'a') && lane > 0) --lane;
  if (KeyPressed(KeyRightArrow, 'd') && lane < kLanes - 1) ++lane;
}

void CatchState::DropComet(double seconds) {
  cometHeight -= kFallSpeed * static_cast<float>(seconds);
  if (cometHeight > kGround) return;
  if (cometLane == lane) {
    ++score;
  } else {
    --lives;
  }
  NextComet();
}

void CatchState::NextComet() {
  sequence = sequence * 1103515245u + 12345u;
  cometLane = static_cast<int>((sequence >> 16) % kLanes);
  cometHeight = kSky;
}

void CatchState::PlaceObjects() {
  if (GameObject* basket = ObjectManager::instance->GetObject(basketId)) {
    basket->position[0] = LaneX(lane);
    basket->position[1] = kGround;
  }
  if (GameObject* comet = ObjectManager::instance->GetObject(cometId)) {
    comet->position[0] = LaneX(cometLane);
    comet->position[1] = lives > 0 ? cometHeight : kHidden;
  }
}

void CatchState::SendHud() {
  Browser* browser = Browser::instance;
  if (browser == nullptr) return;
  const bool keysToPage = browser->HasEditableFocus();
  std::string hud = "{\"score\":" + std::to_string(score) + ",\"lives\":" + std::to_string(lives) +
                    ",\"lane\":" + std::to_string(lane) + ",\"name\":" + nameJson +
                    ",\"keysToPage\":" + (keysToPage ? "true" : "false") + "}";
  if (hud == sentHud) return;
  // A name the page sent that is not valid JSON is refused here (logged); it is dropped.
  if (!browser->SendEvent("hud", hud)) nameJson = "\"\"";
  sentHud = hud;
}
